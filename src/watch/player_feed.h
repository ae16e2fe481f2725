#pragma once
// Plays the live stream in a media player: the player is started with a pipe on its standard
// input, and the tap's packets (or those of one service) are written into it. The write end is
// non-blocking and the pipe large: when the player does not keep up, whole packets are dropped
// and counted, so the tap's thread never waits for it. A packet cut by a short write keeps its
// remainder for the next call, so the player sees only whole packets.
//
// The player runs behind a guard process (player_guard.h) that ends the player's whole process
// group on Stop and when this program is gone, however it ends. The player's output comes back
// through a pipe into a log turned at a size (rotating_log.h): no file of the user's is opened by
// the child.
//
// Threads: OnPackets runs on the tap's worker thread; Start, Stop and the queries on the page's.
// A thread of the feed keeps the player's log and waits for the guard to exit, and reports the
// player's end through the end callback. m_writeLock guards the pipe and the service filter;
// m_stateLock the child's state and the keep pipe. Neither is held while the callback runs.
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "services/service_pid_filter.h"
#include "services/transport_packet_consumer.h"

// How the player ended.
struct PlayerEnd {
    bool exited = false;  // ended by exit (exitCode), else by a signal (signal)
    int exitCode = 0;
    int signal = 0;
    bool stopped = false;  // Stop asked for it: not the user's news
    std::string text;  // for the page, e.g. "The player command was not found (exit status 127)."
};

class CPlayerFeed final : public ITransportPacketConsumer {
public:
    using EndCallback = std::function<void(const PlayerEnd&)>;

    struct Options {
        // The program and its arguments; argv[0] without '/' is searched on PATH.
        std::vector<std::string> argv;
        // Only this service (PID filter), or the whole transport stream.
        std::optional<std::uint16_t> service;
        // Where the player's standard output and error are kept; dropped when empty.
        std::string logPath;
        // The log's size; beyond it the log becomes "<log>.1" and a new one starts.
        std::uint64_t logCap = std::uint64_t{1} << 20;
        std::size_t pipeSize = 1 << 20;  // asked for; the system may give less
        // How long Stop waits for the player to go after its input closed, then after SIGTERM
        // (to its whole process group).
        std::chrono::milliseconds grace{1500};
        // Called once, on the feed's own thread, when the player has exited. It must not call
        // Stop (which joins that thread): post to the page instead.
        EndCallback onEnd;
    };

    CPlayerFeed() = default;
    CPlayerFeed(const CPlayerFeed&) = delete;
    CPlayerFeed& operator=(const CPlayerFeed&) = delete;
    ~CPlayerFeed() override;

    // The first of mpv, ffplay and vlc found in `searchPath` (a PATH value), with the
    // arguments that make it play its standard input; empty when none is there.
    static std::vector<std::string> FindPlayer(std::string_view searchPath);
    // The same on this process's PATH.
    static std::vector<std::string> DefaultPlayer();
    // A command line of the user's, run by /bin/sh with the stream on its standard input.
    static std::vector<std::string> ShellCommand(const std::string& commandLine);
    // The page's words for how a player ended.
    static std::string EndText(const PlayerEnd& end);

    // Starts the player. False with the reason in `error` ("Player not found: mpv", ...) when
    // it could not be started; a feed runs at most once.
    bool Start(Options options, std::string* error);
    // Closes the player's input, gives it the grace to exit, then SIGTERM (and SIGKILL after
    // another grace) to its group, and reaps it. Safe to call more than once, and without Start.
    void Stop();
    // The same, but returns at once (a window must not wait out the grace of a player that stays
    // open after its input ends): the grace and the signals run on a thread of the feed, and the
    // end callback tells when the player is gone. Stop and the destructor wait for that thread.
    void RequestStop();

    void OnPackets(std::span<const std::uint8_t> packets) override;

    // The pipe broke or the player exited: nothing more is written.
    bool HasEnded() const { return m_bEnded.load(std::memory_order_acquire); }
    // How the player ended, once it was reaped.
    std::optional<PlayerEnd> End() const;
    std::uint64_t WrittenBytes() const { return m_nWritten.load(std::memory_order_relaxed); }
    std::uint64_t DroppedBytes() const { return m_nDropped.load(std::memory_order_relaxed); }
    // The pipe's size as the system granted it.
    std::size_t PipeSize() const { return m_nPipeSize; }

private:
    // Keeps the player's output in the log until the guard exits, then reaps it.
    void WaitForExit(std::string logPath, std::uint64_t logCap);
    // Marks the stop as ours and closes the player's input.
    void BeginStop();
    // The grace, then the guard's word to end the player's group, until the guard is reaped.
    void EndPlayer();
    void CloseKeepLocked();
    void WriteLocked(std::span<const std::uint8_t> data);
    void CloseInput();

    std::mutex m_writeLock;
    int m_hPipe = -1;                       // write end
    std::vector<std::uint8_t> m_remainder;  // the unwritten rest of a cut packet
    std::unique_ptr<CServicePidFilter> m_pFilter;
    std::vector<std::uint8_t> m_filtered;

    int m_hLog = -1;  // read end of the player's output; the waiting thread's alone

    mutable std::mutex m_stateLock;
    std::condition_variable m_exitChanged;
    pid_t m_nChild = -1;  // the guard
    int m_hKeep = -1;     // closing it tells the guard to end the player
    bool m_bReaped = false;
    bool m_bStopping = false;
    std::optional<PlayerEnd> m_end;

    std::thread m_waiter;
    std::thread m_stopper;  // RequestStop's; started and joined on the thread that owns the feed
    EndCallback m_onEnd;
    std::chrono::milliseconds m_grace{1500};
    std::size_t m_nPipeSize = 0;
    std::atomic<bool> m_bEnded{false};
    std::atomic<std::uint64_t> m_nWritten{0};
    std::atomic<std::uint64_t> m_nDropped{0};
};
