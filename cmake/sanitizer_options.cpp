// Options that every executable of the tree carries under ThreadSanitizer (the program, the build
// tools, the tests). Debian's Qt is not built with ThreadSanitizer: without these, TSan reports
// races inside Qt in every run. Linked as an object file, because the sanitizer runtime's weak
// defaults would otherwise win over an archive member.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options() {
    return "ignore_noninstrumented_modules=1 halt_on_error=1 second_deadlock_stack=1";
}
extern "C" const char* __tsan_default_suppressions() { return "race:invokeMethod\n"; }
#endif
