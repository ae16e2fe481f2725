#include "platform/audio/tone_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_folder.h"

namespace {

// Polls until `done`, for at most ten seconds.
template <typename Done>
bool WaitUntil(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::vector<std::int16_t> ReadSamples(const std::string& path) {
    const std::string bytes = ReadWholeFile(path);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Without the device the user is told ALSA's reason and what to do, and nothing plays.
TEST(TonePlayerTest, NoDeviceIsExplained) {
    CTonePlayer player;
    std::string error;
    EXPECT_FALSE(player.Start(&error, "no-such-device"));
    EXPECT_EQ(error,
              "No sound output: No such file or directory (device \"no-such-device\"). Connect or "
              "switch on a sound device, or close the program that holds it, then switch the tone "
              "on again.");
    EXPECT_FALSE(player.IsPlaying());
    player.Stop();
}

// End to end through ALSA into a raw file (its file plugin, on the "null" device): the pitch set
// is what was written, at the tone's amplitude, and the stop fades out to silence.
TEST(TonePlayerTest, WritesTheToneThroughAlsa) {
    const CTempFolder folder;
    const std::string path = folder.File("tone.raw");
    CTonePlayer player;
    player.SetFrequency(1000.0);
    std::string error;
    ASSERT_TRUE(player.Start(&error, "file:FILE=" + path + ",FORMAT=raw")) << error;
    // The plugin has no clock of its own: a second of tone is written at once.
    ASSERT_TRUE(WaitUntil([&] { return player.FramesWritten() >= 48000; }));
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());

    const std::vector<std::int16_t> samples = ReadSamples(path);
    ASSERT_GE(samples.size(), 48000U);
    const std::span<const std::int16_t> second(samples.data() + 480, 48000 - 480);
    int crossings = 0;
    int loudest = 0;
    for (std::size_t i = 1; i < second.size(); ++i) {
        if (second[i - 1] < 0 && second[i] >= 0) ++crossings;
        loudest = std::max(loudest, std::abs(int{second[i]}));
    }
    EXPECT_NEAR(crossings, 990, 1);  // 1000 Hz for 0.99 s
    EXPECT_NEAR(loudest, CToneGenerator::kAmplitude * 32767, 100);
    EXPECT_EQ(samples.back(), 0) << "the stop did not fade out";
}

// On the "null" device, the machine's stand-in for a sound card: the pitch changes from another
// thread while the writer runs, Stop joins, and the player starts again after a stop.
TEST(TonePlayerTest, PlaysStopsAndRestartsOnNull) {
    CTonePlayer player;
    std::string error;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(player.Start(&error, "null")) << error;
        EXPECT_TRUE(player.IsPlaying());
        EXPECT_TRUE(player.Start(&error, "null")) << "starting while playing";
        for (int step = 0; step < 20; ++step) {
            player.SetFrequency(step % 5 == 4 ? std::nullopt : std::optional(200.0 + step * 90.0));
            const std::uint64_t before = player.FramesWritten();
            ASSERT_TRUE(WaitUntil([&] { return player.FramesWritten() > before; }));
        }
        player.Stop();
        EXPECT_FALSE(player.IsPlaying());
        const std::uint64_t written = player.FramesWritten();
        EXPECT_GT(written, 0U);
        EXPECT_EQ(player.FramesWritten(), written) << "written after Stop returned";
    }
}

}  // namespace
