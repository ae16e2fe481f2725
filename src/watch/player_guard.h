#pragma once
// The guard between the program and a media player: a process forked from the program that
// starts the player in a process group of its own and ends that whole group (the player, a
// shell's children, whatever they started) when the program asks for it or is gone, however it
// went: a crash or a SIGKILL closes the program's end of the keep pipe just as a Stop does, and
// that is what the guard waits for. As a subreaper it also inherits what the player leaves
// behind, so those are ended when the player ends by itself.
//
// The guard exits as the player did (the same exit status, or killed by the same signal), so
// the program reads the player's end from the guard's.
//
// RunPlayerGuard runs in the child of a fork() of a threaded program: it calls only
// async-signal-safe functions and allocates nothing; everything it needs is prepared before.
#include <chrono>

namespace player_guard {

struct Plan {
    const char* program = nullptr;  // a path, searched before the fork
    char* const* argv = nullptr;
    char* const* envp = nullptr;
    int streamRead = -1;  // the player's standard input
    int logWrite = -1;    // its standard output and error
    int keepRead = -1;    // end of file here: end the player's group
    // How long the player's group has after SIGTERM before SIGKILL.
    std::chrono::milliseconds grace{1500};
};

// In the forked child; never returns. The three descriptors must be above 2.
[[noreturn]] void RunPlayerGuard(const Plan& plan);

}  // namespace player_guard
