#include "watch/player_feed.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <mutex>

#include "platform/media/wait_until.h"
#include "support/hang_watchdog.h"
#include "support/process_state.h"
#include "support/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// `count` packets of PID 0x100 whose bytes differ from packet to packet.
Bytes Packets(std::size_t count, std::size_t first = 0) {
    Bytes out(count * 188);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t packet = first + i / 188;
        out[i] = i % 188 == 0 ? 0x47 : static_cast<std::uint8_t>(packet * 13 + i % 188);
    }
    return out;
}

CPlayerFeed::Options Command(std::vector<std::string> argv,
                             std::chrono::milliseconds grace = std::chrono::milliseconds(5000),
                             CPlayerFeed::EndCallback onEnd = {}) {
    CPlayerFeed::Options options;
    options.argv = std::move(argv);
    options.grace = grace;
    options.onEnd = std::move(onEnd);
    return options;
}

std::string AsString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

struct Ends {
    std::mutex lock;
    std::vector<PlayerEnd> seen;
    CPlayerFeed::EndCallback Callback() {
        return [this](const PlayerEnd& end) {
            std::lock_guard guard(lock);
            seen.push_back(end);
        };
    }
    std::size_t Count() {
        std::lock_guard guard(lock);
        return seen.size();
    }
};

TEST(PlayerFeedTest, AShellCommandGetsTheStreamByteForByte) {
    CTempFolder folder;
    const std::string file = folder.File("out.ts");
    Ends ends;
    CPlayerFeed feed;
    std::string error;
    ASSERT_TRUE(feed.Start(Command(CPlayerFeed::ShellCommand("cat > '" + file + "'"),
                                   std::chrono::milliseconds(5000), ends.Callback()),
                           &error))
        << error;
    // Less than the smallest pipe the feed accepts: nothing can be dropped.
    const Bytes data = Packets(300);
    for (std::size_t at = 0; at < data.size(); at += 188 * 7)
        feed.OnPackets(
            std::span(data).subspan(at, std::min<std::size_t>(188 * 7, data.size() - at)));
    feed.Stop();
    EXPECT_EQ(ReadWholeFile(file), AsString(data));
    EXPECT_EQ(feed.WrittenBytes(), data.size());
    EXPECT_EQ(feed.DroppedBytes(), 0u);
    ASSERT_EQ(ends.Count(), 1u);
    EXPECT_TRUE(ends.seen[0].exited);
    EXPECT_EQ(ends.seen[0].exitCode, 0);
    EXPECT_TRUE(ends.seen[0].stopped);
}

TEST(PlayerFeedTest, APlayerThatExitsEarlyEndsTheFeedAndIsReported) {
    CTempFolder folder;
    const std::string file = folder.File("head.ts");
    Ends ends;
    CPlayerFeed feed;
    std::string error;
    ASSERT_TRUE(feed.Start(Command(CPlayerFeed::ShellCommand("head -c 1880 > '" + file + "'"),
                                   std::chrono::milliseconds(5000), ends.Callback()),
                           &error));
    const Bytes data = Packets(50);
    std::size_t sent = 0;
    ASSERT_TRUE(WaitUntil([&] {
        feed.OnPackets(data);
        sent += data.size();
        return feed.HasEnded();
    }));
    ASSERT_TRUE(WaitUntil([&] { return ends.Count() == 1; }));
    const PlayerEnd end = *feed.End();
    EXPECT_TRUE(end.exited);
    EXPECT_EQ(end.exitCode, 0);
    EXPECT_FALSE(end.stopped);
    EXPECT_EQ(end.text, "The player ended with exit status 0.");
    EXPECT_EQ(ReadWholeFile(file), AsString(Packets(10)));
    const std::uint64_t written = feed.WrittenBytes();
    feed.OnPackets(data);
    EXPECT_EQ(feed.WrittenBytes(), written) << "nothing is written after the end";
    feed.Stop();
    EXPECT_EQ(ends.Count(), 1u);
}

// Guards against the tap's thread waiting for a player that does not read.
TEST(PlayerFeedTest, APlayerThatNeverReadsCostsWholeDroppedPacketsNeverAWait) {
    const CHangWatchdog watchdog("player that never reads", std::chrono::seconds(60));
    Ends ends;
    CPlayerFeed feed;
    std::string error;
    ASSERT_TRUE(feed.Start(Command(CPlayerFeed::ShellCommand("exec sleep 60"),
                                   std::chrono::milliseconds(200), ends.Callback()),
                           &error));
    const Bytes data = Packets(1000);  // 188 000 bytes a call
    const std::size_t calls = 2 * feed.PipeSize() / data.size() + 2;
    for (std::size_t i = 0; i < calls; ++i) feed.OnPackets(data);
    EXPECT_FALSE(feed.HasEnded());
    EXPECT_GT(feed.DroppedBytes(), 0u);
    EXPECT_EQ(feed.DroppedBytes() % 188, 0u) << "only whole packets are dropped";
    EXPECT_LE(feed.WrittenBytes(), feed.PipeSize());
    // What was neither written nor dropped is the rest of one cut packet, kept for later.
    EXPECT_LT(calls * data.size() - feed.WrittenBytes() - feed.DroppedBytes(), 188u);

    // The window's stop returns at once; the grace and SIGTERM follow on the feed's thread.
    const auto asked = std::chrono::steady_clock::now();
    feed.RequestStop();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(100));
    feed.Stop();
    ASSERT_EQ(ends.Count(), 1u);
    EXPECT_FALSE(ends.seen[0].exited);
    EXPECT_EQ(ends.seen[0].signal, SIGTERM);
    EXPECT_TRUE(ends.seen[0].stopped);
    EXPECT_EQ(ends.seen[0].text, "The player was ended by signal 15 (SIGTERM).");
}

TEST(PlayerFeedTest, ACommandThatIsNotThereIsToldInPlainWords) {
    CPlayerFeed direct;
    std::string error;
    EXPECT_FALSE(direct.Start(Command({"no-such-player-4711", "-"}), &error));
    EXPECT_EQ(error, "Player not found: no-such-player-4711");
    direct.Stop();

    CPlayerFeed none;
    EXPECT_FALSE(none.Start({}, &error));
    EXPECT_EQ(error, "No media player found (mpv, ffplay or vlc).");

    Ends ends;
    CPlayerFeed shell;
    ASSERT_TRUE(shell.Start(Command(CPlayerFeed::ShellCommand("no-such-player-4711 -"),
                                    std::chrono::milliseconds(5000), ends.Callback()),
                            &error));
    ASSERT_TRUE(WaitUntil([&] { return ends.Count() == 1; }));
    EXPECT_EQ(shell.End()->exitCode, 127);
    EXPECT_EQ(shell.End()->text, "The player command was not found (exit status 127).");
    EXPECT_FALSE(shell.Start(Command(CPlayerFeed::ShellCommand("true")), &error));
    EXPECT_EQ(error, "The player was started already.");
}

std::uint64_t FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

TEST(PlayerFeedTest, AFloodingPlayerLeavesTwoLogsUnderTheCapEndingWithItsLastWords) {
    CTempFolder folder;
    const std::string log = folder.File("player.log");
    // Four times a read of the pipe, so the full log is more than half full when it turns.
    constexpr std::uint64_t kCap = 256 * 1024;
    Ends ends;
    auto options =
        Command(CPlayerFeed::ShellCommand(
                    "head -c 3000000 /dev/zero | tr '\\0' x >&2; echo; echo last words >&2"),
                std::chrono::milliseconds(5000), ends.Callback());
    options.logPath = log;
    options.logCap = kCap;
    CPlayerFeed feed;
    std::string error;
    ASSERT_TRUE(feed.Start(std::move(options), &error)) << error;
    ASSERT_TRUE(WaitUntil([&] { return ends.Count() == 1; }));
    feed.Stop();
    EXPECT_LE(FileSize(log), kCap);
    EXPECT_LE(FileSize(log + ".1"), kCap);
    EXPECT_GT(FileSize(log + ".1"), kCap / 2) << "the full log was turned into the old one";
    const std::string kept = ReadWholeFile(log);
    EXPECT_TRUE(kept.ends_with("\nlast words\n"))
        << kept.substr(kept.size() - std::min<std::size_t>(kept.size(), 40));
}

// A player's shell that starts a child, writes both pids into `file`, then waits or exits.
std::string ShellWithAChild(const std::string& file, bool waits) {
    return "sleep 300 & echo $$ $! > '" + file + ".new' && mv '" + file + ".new' '" + file + "'" +
           (waits ? "; wait" : "");
}

// Starts the holder program with a player of `command`; returns its pid.
pid_t StartHolder(const std::string& command) {
    std::string program = VLK_PLAYER_FEED_HOLDER;
    std::string argument = command;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t holder = -1;
    EXPECT_EQ(::posix_spawn(&holder, argv[0], nullptr, nullptr, argv, environ), 0);
    return holder;
}

// However the player's end comes, its whole process group goes with it: the shell and what
// the shell started.
TEST(PlayerFeedTest, NoProcessOfAPlayerOutlivesItsEnd) {
    const CHangWatchdog watchdog("the ends of players", std::chrono::seconds(60));
    enum class Ending { Stop, FeedGoes, PlayerLeavesAChild, ProgramKilled };
    const struct {
        const char* name;
        Ending ending;
    } rows[] = {
        {"Stop", Ending::Stop},
        {"the feed goes, as the window or the program closes", Ending::FeedGoes},
        {"the player exits leaving a child", Ending::PlayerLeavesAChild},
        {"the program is killed with SIGKILL", Ending::ProgramKilled},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CTempFolder folder;
        const std::string pids = folder.File("pids");
        const std::string command = ShellWithAChild(pids, row.ending != Ending::PlayerLeavesAChild);
        std::vector<pid_t> players;
        if (row.ending == Ending::ProgramKilled) {
            const pid_t holder = StartHolder(command);
            players = WaitForPidsIn(pids);
            ASSERT_EQ(players.size(), 2u);
            ::kill(holder, SIGKILL);
            ::waitpid(holder, nullptr, 0);
        } else {
            Ends ends;
            auto feed = std::make_unique<CPlayerFeed>();
            std::string error;
            ASSERT_TRUE(feed->Start(Command(CPlayerFeed::ShellCommand(command),
                                            std::chrono::milliseconds(200), ends.Callback()),
                                    &error))
                << error;
            players = WaitForPidsIn(pids);
            ASSERT_EQ(players.size(), 2u);
            if (row.ending == Ending::Stop) feed->Stop();
            if (row.ending == Ending::PlayerLeavesAChild) {
                ASSERT_TRUE(WaitUntil([&] { return ends.Count() == 1; }));
                EXPECT_EQ(feed->End()->text, "The player ended with exit status 0.");
            }
            feed.reset();
            for (pid_t pid : players)
                EXPECT_FALSE(IsProcessRunning(pid)) << pid << " is still running";
        }
        EXPECT_TRUE(WaitUntil([&] {
            return std::none_of(players.begin(), players.end(), IsProcessRunning);
        })) << "a process of the player is still running";
    }
}

TEST(PlayerFeedTest, ThePlayersAreLookedForInOrderWithTheirStdinArguments) {
    CTempFolder first;
    CTempFolder second;
    const auto place = [](const std::string& path, mode_t mode) {
        WriteWholeFile(path, "#!/bin/sh\n");
        ::chmod(path.c_str(), mode);
    };
    place(first.File("mpv"), 0644);  // not executable: passed over
    place(first.File("vlc"), 0755);
    place(second.File("ffplay"), 0755);
    const std::string path = first.Path() + ":" + second.Path();
    struct Row {
        std::string searchPath;
        std::vector<std::string> argv;
    };
    const Row rows[] = {
        {path,
         {second.File("ffplay"), "-hide_banner", "-loglevel", "error", "-autoexit", "-i",
          "pipe:0"}},
        {first.Path(), {first.File("vlc"), "fd://0"}},
        {"/nonexistent", {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CPlayerFeed::FindPlayer(row.searchPath), row.argv) << row.searchPath;
    place(second.File("mpv"), 0755);
    EXPECT_EQ(CPlayerFeed::FindPlayer(path),
              (std::vector<std::string>{second.File("mpv"), "--force-window=immediate", "-"}));
}

}  // namespace
