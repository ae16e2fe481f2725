#include "watch/player_guard.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace player_guard {
namespace {

// The shell's codes for a command it could not find or not run.
constexpr int kExitNotFound = 127;
constexpr int kExitCannotRun = 126;
constexpr long long kPollStepMs = 10;

// Signals that end a process by default and reach the guard from a terminal, a closed session
// or a pipe: the guard outlives them until it has ended the player's group.
constexpr int kHeldSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE};

void SetDisposition(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

void UnblockAllSignals() {
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

long long NowMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SleepMs(long long milliseconds) {
    timespec pause{0, static_cast<long>(milliseconds) * 1000000L};
    while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

// Closes every descriptor in [first, last].
void CloseRange(unsigned first, unsigned last) {
    if (first > last) return;
    if (::close_range(first, last, 0) == 0) return;
    // Kernels before 5.9: one at a time, up to the descriptor limit.
    rlimit limit{};
    unsigned end = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        end = static_cast<unsigned>(limit.rlim_cur);
    for (unsigned fd = first; fd <= last && fd < end; ++fd) ::close(static_cast<int>(fd));
}

// The guard keeps the descriptors of the plan and nothing else of the program's: a copy of the
// record file's descriptor would hold its lock, a copy of another feed's pipe would keep that
// player from seeing the end of its input.
void KeepOnly(int a, int b, int c) {
    int keep[3] = {a, b, c};
    for (int i = 1; i < 3; ++i)
        for (int j = i; j > 0 && keep[j - 1] > keep[j]; --j) {
            const int swap = keep[j];
            keep[j] = keep[j - 1];
            keep[j - 1] = swap;
        }
    unsigned next = 3;
    for (int fd : keep) {
        CloseRange(next, static_cast<unsigned>(fd) - 1);
        next = static_cast<unsigned>(fd) + 1;
    }
    CloseRange(next, UINT_MAX);
}

[[noreturn]] void StartPlayer(const Plan& plan) {
    ::setpgid(0, 0);
    for (int signal : kHeldSignals) SetDisposition(signal, SIG_DFL);
    UnblockAllSignals();
    ::dup2(plan.streamRead, STDIN_FILENO);
    ::dup2(plan.logWrite, STDOUT_FILENO);
    ::dup2(plan.logWrite, STDERR_FILENO);
    CloseRange(3, UINT_MAX);
    ::execve(plan.program, plan.argv, plan.envp);
    ::_exit(errno == ENOENT ? kExitNotFound : kExitCannotRun);
}

// Whether the player has exited (it stays unreaped, so its pid and group id stay ours).
bool HasExited(pid_t player) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(player), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == player;
}

// Waits until the player has exited or the deadline (NowMs, -1: none) has passed.
bool WaitForExit(pid_t player, int exitFd, long long deadline) {
    while (!HasExited(player)) {
        const long long left = deadline < 0 ? -1 : deadline - NowMs();
        if (deadline >= 0 && left <= 0) return false;
        if (exitFd >= 0) {
            pollfd exited{exitFd, POLLIN, 0};
            ::poll(&exited, 1, static_cast<int>(left < 0 ? -1 : left));
        } else {
            SleepMs(left < 0 ? kPollStepMs : (left < kPollStepMs ? left : kPollStepMs));
        }
    }
    return true;
}

// Waits for the program's word (the end of the keep pipe) or the player's exit.
void WaitForStopOrExit(const Plan& plan, pid_t player, int exitFd) {
    pollfd watched[2] = {{plan.keepRead, POLLIN, 0}, {exitFd, POLLIN, 0}};
    while (!HasExited(player)) {
        const int ready =
            ::poll(watched, exitFd >= 0 ? 2 : 1, exitFd >= 0 ? -1 : static_cast<int>(kPollStepMs));
        if (ready <= 0 || watched[0].revents == 0) continue;
        ::kill(-player, SIGTERM);
        if (!WaitForExit(player, exitFd, NowMs() + plan.grace.count())) {
            ::kill(-player, SIGKILL);
            WaitForExit(player, exitFd, -1);
        }
        return;
    }
}

// Ends what the player left behind: its group, and the orphans it left us as their subreaper.
void EndLeftovers(pid_t player, long long grace) {
    long long deadline = NowMs() + grace;
    bool killed = false;
    for (;;) {
        int status = 0;
        const pid_t reaped = ::waitpid(-1, &status, WNOHANG);
        if (reaped > 0) continue;
        if (reaped < 0 && errno != EINTR) return;  // no child is left
        if (NowMs() >= deadline) {
            // Whatever is still there left the player's group; it is not ours to chase.
            if (killed) return;
            ::kill(-player, SIGKILL);
            killed = true;
            deadline = NowMs() + grace;
        }
        SleepMs(kPollStepMs);
    }
}

[[noreturn]] void ExitAs(const siginfo_t& end) {
    if (end.si_code == CLD_EXITED) ::_exit(end.si_status);
    const int signal = end.si_status;
    SetDisposition(signal, SIG_DFL);
    UnblockAllSignals();
    ::kill(::getpid(), signal);
    ::_exit(128 + signal);
}

}  // namespace

void RunPlayerGuard(const Plan& plan) {
    // Handlers of the program make no sense here; the guard's image of the player's crash must
    // not be a core file the size of the program.
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) SetDisposition(signal, SIG_DFL);
    }
    for (int signal : kHeldSignals) SetDisposition(signal, SIG_IGN);
    UnblockAllSignals();
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    KeepOnly(plan.streamRead, plan.logWrite, plan.keepRead);
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);

    const pid_t player = ::fork();
    if (player == 0) StartPlayer(plan);
    if (player < 0) ::_exit(kExitCannotRun);
    ::setpgid(player, player);  // also here: a stop may come before the player ran setpgid
    ::close(plan.streamRead);
    ::close(plan.logWrite);
    const int exitFd = static_cast<int>(::syscall(SYS_pidfd_open, player, 0));

    WaitForStopOrExit(plan, player, exitFd);
    siginfo_t end{};
    ::waitid(P_PID, static_cast<id_t>(player), &end, WEXITED | WNOWAIT);
    // While the player is unreaped its group id cannot be taken by anyone else.
    ::kill(-player, SIGTERM);
    siginfo_t reaped{};
    while (::waitid(P_PID, static_cast<id_t>(player), &reaped, WEXITED) != 0 && errno == EINTR) {
    }
    EndLeftovers(player, plan.grace.count());
    ExitAs(end);
}

}  // namespace player_guard
