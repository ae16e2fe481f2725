#include "watch/player_feed.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform/win/rotating_log.h"
#include "watch/player_guard.h"

namespace {

constexpr std::size_t kSmallestPipe = std::size_t{64} * 1024;
constexpr std::size_t kLogChunk = std::size_t{64} * 1024;

void CloseAll(int (&fds)[2]) {
    for (int& fd : fds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

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

// The executable `program` names: itself when it holds a '/', else the first on `searchPath`
// (a PATH value; an empty entry is the current folder, as for the shell). Empty when none is.
std::string FindOnPath(std::string_view searchPath, const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string_view::npos) end = searchPath.size();
        std::string folder(searchPath.substr(start, end - start));
        if (folder.empty()) folder = ".";
        std::string path = folder + "/" + program;
        if (IsExecutableFile(path)) return path;
        start = end + 1;
    }
    return {};
}

std::string_view SearchPath() {
    const char* path = std::getenv("PATH");
    return path != nullptr ? path : "/usr/bin:/bin";
}

// The guard's copies must not land on 0, 1 or 2, which the player's side overwrites.
int AboveStandardStreams(int fd) {
    if (fd < 0 || fd > STDERR_FILENO) return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(fd);
    return moved;
}

// A pipe of close-on-exec ends above the standard streams; false when the system gave none.
bool MakePipe(int (&fds)[2]) {
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    fds[0] = AboveStandardStreams(fds[0]);
    fds[1] = AboveStandardStreams(fds[1]);
    if (fds[0] >= 0 && fds[1] >= 0) return true;
    CloseAll(fds);
    return false;
}

}  // namespace

CPlayerFeed::~CPlayerFeed() {
    Stop();
}

std::vector<std::string> CPlayerFeed::FindPlayer(std::string_view searchPath) {
    for (const PlayerRow& player : Players()) {
        const std::string path = FindOnPath(searchPath, player.program);
        if (path.empty()) continue;
        std::vector<std::string> argv{path};
        argv.insert(argv.end(), player.arguments.begin(), player.arguments.end());
        return argv;
    }
    return {};
}

std::vector<std::string> CPlayerFeed::DefaultPlayer() {
    return FindPlayer(SearchPath());
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
    const std::string& name = options.argv[0];
    // Found here, not in the forked guard, which may not allocate.
    const std::string program = FindOnPath(SearchPath(), name);
    if (program.empty() || ::access(program.c_str(), F_OK) != 0)
        return fail("Player not found: " + name);
    if (!IsExecutableFile(program))
        return fail("Cannot start " + name + ": " + std::strerror(EACCES));
    IgnoreBrokenPipes();

    int stream[2] = {-1, -1};
    int log[2] = {-1, -1};
    int keep[2] = {-1, -1};
    if (!MakePipe(stream) || !MakePipe(log) || !MakePipe(keep)) {
        const int cause = errno;
        CloseAll(stream);
        CloseAll(log);
        CloseAll(keep);
        return fail(std::string("No pipe: ") + std::strerror(cause));
    }
    ::fcntl(stream[1], F_SETFL, O_NONBLOCK);
    // The system caps a pipe's size for ordinary users; take the largest it allows.
    for (std::size_t size = options.pipeSize; size >= kSmallestPipe; size /= 2) {
        if (::fcntl(stream[1], F_SETPIPE_SZ, static_cast<int>(size)) >= 0) break;
    }
    const int granted = ::fcntl(stream[1], F_GETPIPE_SZ);
    m_nPipeSize = granted > 0 ? static_cast<std::size_t>(granted) : 0;

    std::vector<char*> argv;
    for (std::string& argument : options.argv) argv.push_back(argument.data());
    argv.push_back(nullptr);
    player_guard::Plan plan;
    plan.program = program.c_str();
    plan.argv = argv.data();
    plan.envp = environ;
    plan.streamRead = stream[0];
    plan.logWrite = log[1];
    plan.keepRead = keep[0];
    plan.grace = options.grace;
    const pid_t guardPid = ::fork();
    if (guardPid == 0) player_guard::RunPlayerGuard(plan);
    const int cause = errno;
    ::close(stream[0]);
    ::close(log[1]);
    ::close(keep[0]);
    if (guardPid < 0) {
        ::close(stream[1]);
        ::close(log[0]);
        ::close(keep[1]);
        return fail("Cannot start " + name + ": " + std::strerror(cause));
    }

    {
        std::lock_guard guard(m_writeLock);
        m_hPipe = stream[1];
        if (options.service) m_pFilter = std::make_unique<CServicePidFilter>(*options.service);
    }
    {
        std::lock_guard lock(m_stateLock);
        m_nChild = guardPid;
        m_hKeep = keep[1];
    }
    m_hLog = log[0];
    m_onEnd = std::move(options.onEnd);
    m_grace = options.grace;
    m_waiter = std::thread(&CPlayerFeed::WaitForExit, this, std::move(options.logPath),
                           std::max<std::uint64_t>(options.logCap, 1));
    return true;
}

void CPlayerFeed::WaitForExit(std::string logPath, std::uint64_t logCap) {
    pid_t child = -1;
    {
        std::lock_guard guard(m_stateLock);
        child = m_nChild;
    }
    // The guard is not reaped before it has exited, so its pid is still ours to watch.
    const int exitFd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    const auto exited = [child] {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == child;
    };
    std::vector<char> buffer(kLogChunk);
    const auto readLog = [&] {
        const ssize_t got = ::read(m_hLog, buffer.data(), buffer.size());
        if (got <= 0 || logPath.empty()) return got;
        std::string_view piece(buffer.data(), static_cast<std::size_t>(got));
        // Of a piece larger than the log only its end is kept: the newest messages tell most.
        if (piece.size() > logCap) piece.remove_prefix(piece.size() - logCap);
        // Players of this program take turns at the log (one stopping beside a new one).
        static std::mutex logLock;
        std::lock_guard guard(logLock);
        rotating_log::Append(logPath, piece, logCap);
        return got;
    };
    // The player's output until the guard is gone; without a pidfd (old kernels) a look at the
    // guard every 100 ms.
    pollfd watched[2] = {{m_hLog, POLLIN, 0}, {exitFd, POLLIN, 0}};
    while (!exited()) {
        const int ready = ::poll(watched, exitFd >= 0 ? 2 : 1, exitFd >= 0 ? -1 : 100);
        if (ready > 0 && watched[0].revents != 0 && readLog() == 0) watched[0].fd = -1;
    }
    if (exitFd >= 0) ::close(exitFd);
    // What is in the pipe still; a process that left the player's group may still write, so
    // only as much as the pipe can hold.
    ::fcntl(m_hLog, F_SETFL, O_NONBLOCK);
    for (std::size_t taken = 0; taken < kSmallestPipe * 16;) {
        const ssize_t got = readLog();
        if (got <= 0) break;
        taken += static_cast<std::size_t>(got);
    }
    ::close(m_hLog);

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
        CloseKeepLocked();
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

void CPlayerFeed::CloseKeepLocked() {
    if (m_hKeep >= 0) ::close(m_hKeep);
    m_hKeep = -1;
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
    if (m_exitChanged.wait_for(lock, m_grace, reaped)) return;
    // The guard gives the group SIGTERM, its grace, then SIGKILL.
    CloseKeepLocked();
    if (m_exitChanged.wait_for(lock, 2 * m_grace + std::chrono::seconds(1), reaped)) return;
    // A guard that does not go (stopped by someone) is not waited for: the player's group
    // already had its SIGKILL. Unreaped, its pid cannot be anyone else's.
    ::kill(m_nChild, SIGKILL);
    m_exitChanged.wait(lock, reaped);
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
