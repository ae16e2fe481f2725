#include "watch/player_feed.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

constexpr std::size_t kSmallestPipe = std::size_t{64} * 1024;

// A player that goes away must give EPIPE, which ends the feed, not end the process.
void IgnoreBrokenPipes() {
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// What each player needs to play its standard input, from its manual: mpv takes "-" as stdin,
// ffplay reads the pipe protocol's descriptor 0, VLC opens descriptor 0 by its fd:// access.
struct PlayerRow {
    const char* program;
    std::vector<std::string> arguments;
};

const std::vector<PlayerRow>& Players() {
    static const std::vector<PlayerRow> players{
        {"mpv", {"--force-window=immediate", "-"}},
        {"ffplay", {"-hide_banner", "-loglevel", "error", "-autoexit", "-i", "pipe:0"}},
        {"vlc", {"fd://0"}},
    };
    return players;
}

class CSpawnSetup {
public:
    CSpawnSetup() {
        ::posix_spawn_file_actions_init(&m_actions);
        ::posix_spawnattr_init(&m_attr);
    }
    ~CSpawnSetup() {
        ::posix_spawnattr_destroy(&m_attr);
        ::posix_spawn_file_actions_destroy(&m_actions);
    }
    CSpawnSetup(const CSpawnSetup&) = delete;
    CSpawnSetup& operator=(const CSpawnSetup&) = delete;

    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attr;
};

}  // namespace

CPlayerFeed::~CPlayerFeed() {
    Stop();
}

std::vector<std::string> CPlayerFeed::FindPlayer(std::string_view searchPath) {
    for (const PlayerRow& player : Players()) {
        std::size_t start = 0;
        while (start <= searchPath.size()) {
            std::size_t end = searchPath.find(':', start);
            if (end == std::string_view::npos) end = searchPath.size();
            // An empty entry is the current folder, as for the shell.
            std::string folder(searchPath.substr(start, end - start));
            if (folder.empty()) folder = ".";
            const std::string path = folder + "/" + player.program;
            if (IsExecutableFile(path)) {
                std::vector<std::string> argv{path};
                argv.insert(argv.end(), player.arguments.begin(), player.arguments.end());
                return argv;
            }
            start = end + 1;
        }
    }
    return {};
}

std::vector<std::string> CPlayerFeed::DefaultPlayer() {
    const char* path = std::getenv("PATH");
    return FindPlayer(path != nullptr ? path : "/usr/bin:/bin");
}

std::vector<std::string> CPlayerFeed::ShellCommand(const std::string& commandLine) {
    return {"/bin/sh", "-c", commandLine};
}

std::string CPlayerFeed::EndText(const PlayerEnd& end) {
    if (end.exited) {
        const std::string code = std::to_string(end.exitCode);
        // The shell's codes for a command it could not find or not run.
        if (end.exitCode == 127)
            return "The player command was not found (exit status " + code + ").";
        if (end.exitCode == 126)
            return "The player command could not be run (exit status " + code + ").";
        return "The player ended with exit status " + code + ".";
    }
    if (end.signal != 0) {
        const char* name = ::sigabbrev_np(end.signal);
        return "The player was ended by signal " + std::to_string(end.signal) +
               (name != nullptr ? std::string(" (SIG") + name + ")" : std::string()) + ".";
    }
    return "The player's end could not be read.";
}

bool CPlayerFeed::Start(Options options, std::string* error) {
    const auto fail = [&](std::string text) {
        if (error != nullptr) *error = std::move(text);
        return false;
    };
    {
        std::lock_guard guard(m_stateLock);
        if (m_nChild >= 0) return fail("The player was started already.");
    }
    if (options.argv.empty() || options.argv[0].empty())
        return fail("No media player found (mpv, ffplay or vlc).");
    IgnoreBrokenPipes();

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return fail(std::string("No pipe: ") + std::strerror(errno));
    ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
    // The system caps a pipe's size for ordinary users; take the largest it allows.
    for (std::size_t size = options.pipeSize; size >= kSmallestPipe; size /= 2) {
        if (::fcntl(fds[1], F_SETPIPE_SZ, static_cast<int>(size)) >= 0) break;
    }
    const int granted = ::fcntl(fds[1], F_GETPIPE_SZ);
    m_nPipeSize = granted > 0 ? static_cast<std::size_t>(granted) : 0;

    CSpawnSetup setup;
    const std::string log = options.logPath.empty() ? "/dev/null" : options.logPath;
    ::posix_spawn_file_actions_adddup2(&setup.m_actions, fds[0], STDIN_FILENO);
    ::posix_spawn_file_actions_addopen(&setup.m_actions, STDOUT_FILENO, log.c_str(),
                                       O_WRONLY | O_CREAT | O_APPEND, 0644);
    ::posix_spawn_file_actions_adddup2(&setup.m_actions, STDOUT_FILENO, STDERR_FILENO);
    // We ignore SIGPIPE and the caller may block signals; the player gets the defaults. Its own
    // process group lets Stop end a shell's children with it.
    sigset_t signals;
    sigemptyset(&signals);
    ::posix_spawnattr_setsigmask(&setup.m_attr, &signals);
    sigaddset(&signals, SIGPIPE);
    ::posix_spawnattr_setsigdefault(&setup.m_attr, &signals);
    ::posix_spawnattr_setpgroup(&setup.m_attr, 0);
    ::posix_spawnattr_setflags(
        &setup.m_attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> argv;
    for (std::string& argument : options.argv) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    const int result =
        ::posix_spawnp(&child, argv[0], &setup.m_actions, &setup.m_attr, argv.data(), environ);
    ::close(fds[0]);
    if (result != 0) {
        ::close(fds[1]);
        if (result == ENOENT) return fail("Player not found: " + options.argv[0]);
        return fail("Cannot start " + options.argv[0] + ": " + std::strerror(result));
    }

    {
        std::lock_guard guard(m_writeLock);
        m_hPipe = fds[1];
        if (options.service) m_pFilter = std::make_unique<CServicePidFilter>(*options.service);
    }
    {
        std::lock_guard guard(m_stateLock);
        m_nChild = child;
    }
    m_onEnd = std::move(options.onEnd);
    m_grace = options.grace;
    m_waiter = std::thread(&CPlayerFeed::WaitForExit, this);
    return true;
}

void CPlayerFeed::WaitForExit() {
    pid_t child = -1;
    {
        std::lock_guard guard(m_stateLock);
        child = m_nChild;
    }
    // Wait without reaping: until Stop sees m_bReaped, the pid (and its group) cannot be reused,
    // so its signals reach our player and nobody else.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT) != 0 &&
           errno == EINTR) {
    }
    PlayerEnd end;
    {
        std::lock_guard guard(m_stateLock);
        int status = 0;
        pid_t reaped = -1;
        do {
            reaped = ::waitpid(child, &status, 0);
        } while (reaped < 0 && errno == EINTR);
        if (reaped == child && WIFEXITED(status)) {
            end.exited = true;
            end.exitCode = WEXITSTATUS(status);
        } else if (reaped == child && WIFSIGNALED(status)) {
            end.signal = WTERMSIG(status);
        }
        end.stopped = m_bStopping;
        end.text = EndText(end);
        m_end = end;
        m_bReaped = true;
    }
    m_bEnded.store(true, std::memory_order_release);
    m_exitChanged.notify_all();
    if (m_onEnd) m_onEnd(end);
}

std::optional<PlayerEnd> CPlayerFeed::End() const {
    std::lock_guard guard(m_stateLock);
    return m_end;
}

void CPlayerFeed::CloseInput() {
    std::lock_guard guard(m_writeLock);
    if (m_hPipe >= 0) ::close(m_hPipe);
    m_hPipe = -1;
    m_remainder.clear();
}

void CPlayerFeed::BeginStop() {
    {
        // Before the input closes: a player that ends on it ends because we stopped it.
        std::lock_guard guard(m_stateLock);
        m_bStopping = true;
    }
    // End of input is what tells a player reading a pipe to finish.
    CloseInput();
}

void CPlayerFeed::EndPlayer() {
    std::unique_lock lock(m_stateLock);
    const auto reaped = [this] { return m_bReaped; };
    // The lock is held at each kill: a player not yet reaped keeps its pid, so the signal cannot
    // reach another process.
    if (!m_exitChanged.wait_for(lock, m_grace, reaped)) {
        ::kill(-m_nChild, SIGTERM);
        if (!m_exitChanged.wait_for(lock, m_grace, reaped)) ::kill(-m_nChild, SIGKILL);
        m_exitChanged.wait(lock, reaped);
    }
}

void CPlayerFeed::Stop() {
    BeginStop();
    if (m_nChild < 0 || !m_waiter.joinable()) return;
    EndPlayer();
    if (m_stopper.joinable()) m_stopper.join();
    m_waiter.join();
}

void CPlayerFeed::RequestStop() {
    BeginStop();
    if (m_nChild < 0 || !m_waiter.joinable() || m_stopper.joinable()) return;
    m_stopper = std::thread(&CPlayerFeed::EndPlayer, this);
}

void CPlayerFeed::OnPackets(std::span<const std::uint8_t> packets) {
    if (HasEnded()) return;
    std::lock_guard guard(m_writeLock);
    if (m_hPipe < 0) return;
    std::span<const std::uint8_t> data = packets.first(packets.size() / kPacketSize * kPacketSize);
    if (m_pFilter) {
        m_filtered.clear();
        m_pFilter->Filter(data, m_filtered);
        data = m_filtered;
    }
    if (!data.empty()) WriteLocked(data);
}

void CPlayerFeed::WriteLocked(std::span<const std::uint8_t> data) {
    const auto broken = [this](int error) {
        // EAGAIN: the pipe is full. Anything else (EPIPE: the player closed its input) ends the
        // feed; the waiting thread reports the player's exit.
        if (error == EAGAIN || error == EINTR) return false;
        m_bEnded.store(true, std::memory_order_release);
        return true;
    };
    if (!m_remainder.empty()) {
        const ssize_t n = ::write(m_hPipe, m_remainder.data(), m_remainder.size());
        if (n < 0 && broken(errno)) return;
        if (n > 0) {
            m_nWritten.fetch_add(static_cast<std::uint64_t>(n), std::memory_order_relaxed);
            m_remainder.erase(m_remainder.begin(), m_remainder.begin() + n);
        }
        if (!m_remainder.empty()) {
            m_nDropped.fetch_add(data.size(), std::memory_order_relaxed);
            return;
        }
    }
    const ssize_t n = ::write(m_hPipe, data.data(), data.size());
    if (n < 0) {
        if (!broken(errno)) m_nDropped.fetch_add(data.size(), std::memory_order_relaxed);
        return;
    }
    const auto written = static_cast<std::size_t>(n);
    m_nWritten.fetch_add(written, std::memory_order_relaxed);
    std::size_t taken = written;
    if (const std::size_t cut = written % kPacketSize; cut != 0) {
        // Keep the packet whole: its rest goes first next time.
        taken = written - cut + kPacketSize;
        m_remainder.assign(data.begin() + static_cast<std::ptrdiff_t>(written),
                           data.begin() + static_cast<std::ptrdiff_t>(taken));
    }
    m_nDropped.fetch_add(data.size() - taken, std::memory_order_relaxed);
}
