// Options that every executable of the tree carries under ThreadSanitizer (the program, the build
// tools, the tests). Debian's Qt is not built with ThreadSanitizer: without these, TSan reports
// races inside Qt in every run. Linked as an object file, because the sanitizer runtime's weak
// defaults would otherwise win over an archive member.
//
// A call queued to the UI thread (invokeMethod) is handed over inside Qt, where TSan sees no
// synchronisation; the suppression below matches such a report by the stack of the queuing
// thread. history_size=7, the largest, keeps that stack restorable when the UI thread runs the
// call only after the worker has done much more (a busy whole-program test); with the default,
// such reports came out with "[failed to restore the stack]" and escaped the suppression.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options() {
    return "ignore_noninstrumented_modules=1 halt_on_error=1 second_deadlock_stack=1 "
           "history_size=7";
}
extern "C" const char* __tsan_default_suppressions() {
    return "race:invokeMethod\n";
}
#endif
