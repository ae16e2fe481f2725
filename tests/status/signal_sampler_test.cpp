#include "status/signal_sampler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "support/test_clocks.h"

namespace {

// The tick count and the waits of every thread, driven by the test: a wait that nothing ends
// early advances the clock to its end at once, so minutes of sampling pass in microseconds.
class CDrivenTime final : public platform::Clock {
public:
    explicit CDrivenTime(std::uint32_t start) : m_now(start) {}

    std::uint64_t Milliseconds() override { return m_now.load(); }
    void SleepFor(DWORD milliseconds) override { m_now += milliseconds; }
    bool WaitFor(platform::ClockWaiter& waiter, std::unique_lock<std::mutex>& lock,
                 std::condition_variable& changed, DWORD milliseconds,
                 const std::function<bool()>& ready) override {
        if (milliseconds == INFINITE)
            return platform::Clock::WaitFor(waiter, lock, changed, milliseconds, ready);
        if (ready()) return true;
        m_now += milliseconds;
        // A little real time with the lock released, so that the sampler does not spin while
        // the test waits.
        changed.wait_for(lock, std::chrono::microseconds(100), ready);
        return ready();
    }

    std::uint32_t Now() const { return m_now.load(); }
    void Advance(std::uint32_t milliseconds) { m_now += milliseconds; }

private:
    std::atomic<std::uint32_t> m_now;
};

class CDrivenClock : public CScopedClock<CDrivenTime> {
public:
    explicit CDrivenClock(std::uint32_t start) : CScopedClock(start) {}
    std::uint32_t Now() const { return (*this)->Now(); }
    void Advance(std::uint32_t milliseconds) { (*this)->Advance(milliseconds); }
};

// What the listener was given, awaited with a deadline in real time.
class CDelivered {
public:
    void Add(const MeterSample& sample) {
        {
            const std::lock_guard lock(m_lock);
            m_samples.push_back(sample);
        }
        m_added.notify_all();
    }
    bool WaitFor(std::size_t count) {
        std::unique_lock lock(m_lock);
        return m_added.wait_for(lock, std::chrono::seconds(10),
                                [&] { return m_samples.size() >= count; });
    }
    std::vector<MeterSample> Samples() {
        const std::lock_guard lock(m_lock);
        return m_samples;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_added;
    std::vector<MeterSample> m_samples;
};

SignalMeasureResult Measured(double carrierToNoiseDb, double levelDbm) {
    SignalMeasureResult result;
    result.ok = true;
    result.carrierToNoiseDb = carrierToNoiseDb;
    result.levelDbm = levelDbm;
    return result;
}

// Readings start one period apart, however long a read takes within the period; a read slower
// than the period is followed at once, with no burst to catch up; the wrap of the tick count does
// not stall the meter. The default period gives the meter at least five updates a second.
TEST(SignalSamplerTest, UpdateRateInDrivenTime) {
    struct Case {
        const char* name;
        std::uint32_t startTick;
        DWORD periodMs;
        std::uint32_t readMs;
        std::uint32_t spacingMs;
    };
    const Case cases[] = {
        {"default period, instant read", 1000, CSignalSampler::kDefaultPeriodMs, 0, 150},
        {"a 40 ms read inside the period", 1000, CSignalSampler::kDefaultPeriodMs, 40, 150},
        {"a read slower than the period", 1000, CSignalSampler::kDefaultPeriodMs, 400, 400},
        {"a period longer than one wait", 1000, 1000, 0, 1000},
        {"across the wrap of the tick count", 0xFFFFFC00U, CSignalSampler::kDefaultPeriodMs, 10,
         150},
    };
    constexpr std::size_t kSamples = 41;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDrivenClock clock(c.startTick);
        CDelivered delivered;
        CSignalSampler sampler(
            [&] {
                clock.Advance(c.readMs);
                return Measured(10.0, -40.0);
            },
            [&](const MeterSample& sample) { delivered.Add(sample); }, c.periodMs);
        sampler.SetRunning(true);
        ASSERT_TRUE(delivered.WaitFor(kSamples));
        sampler.Stop();

        const std::vector<MeterSample> samples = delivered.Samples();
        EXPECT_EQ(samples.front().tickMs, c.startTick);
        for (std::size_t i = 1; i < samples.size(); ++i)
            ASSERT_EQ(static_cast<std::uint32_t>(samples[i].tickMs - samples[i - 1].tickMs),
                      c.spacingMs)
                << "between readings " << i - 1 << " and " << i;
        const std::uint32_t spanMs = samples[kSamples - 1].tickMs - samples[0].tickMs;
        const double perSecond = (kSamples - 1) * 1000.0 / spanMs;
        if (c.periodMs == CSignalSampler::kDefaultPeriodMs && c.readMs < c.periodMs) {
            std::printf("[ measured ] %s: %.2f updates a second\n", c.name, perSecond);
            EXPECT_GE(perSecond, 5.0);
        }
    }
}

// The card's figures reach the listener as they were read; a failed read is a reading without
// figures (a gap in the plot), not a missing reading.
TEST(SignalSamplerTest, SampleCarriesWhatTheCardReported) {
    SignalMeasureResult onlyLevel;
    onlyLevel.ok = true;
    onlyLevel.levelDbm = -61.5;
    SignalMeasureResult failedWithLeftovers = Measured(9.0, -40.0);
    failedWithLeftovers.ok = false;
    struct Case {
        const char* name;
        SignalMeasureResult measure;
        std::optional<double> carrierToNoiseDb;
        std::optional<double> levelDbm;
    };
    const Case cases[] = {
        {"both", Measured(12.25, -45.5), 12.25, -45.5},
        {"level only", onlyLevel, std::nullopt, -61.5},
        {"failed read", failedWithLeftovers, std::nullopt, std::nullopt},
        {"no tuner", SignalMeasureResult{}, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDrivenClock clock(5000);
        CDelivered delivered;
        CSignalSampler sampler([&] { return c.measure; },
                               [&](const MeterSample& sample) { delivered.Add(sample); });
        sampler.SetRunning(true);
        ASSERT_TRUE(delivered.WaitFor(1));
        sampler.Stop();
        const MeterSample sample = delivered.Samples().front();
        EXPECT_EQ(sample.tickMs, 5000U);
        EXPECT_EQ(sample.carrierToNoiseDb, c.carrierToNoiseDb);
        EXPECT_EQ(sample.levelDbm, c.levelDbm);
    }
}

// Paused (the window hidden), the sampler neither reads nor sleeps; the reading under way when it
// was paused is still delivered; resumed, it reads at once rather than a period later.
TEST(SignalSamplerTest, PauseAndResume) {
    CDrivenClock clock(1000);
    CDelivered delivered;
    std::atomic<int> reads{0};
    CSignalSampler* self = nullptr;
    CSignalSampler sampler(
        [&] {
            if (++reads == 3) self->SetRunning(false);  // paused during the third read
            return Measured(10.0, -40.0);
        },
        [&](const MeterSample& sample) { delivered.Add(sample); });
    self = &sampler;
    sampler.SetRunning(true);
    ASSERT_TRUE(delivered.WaitFor(3));
    const std::uint32_t pausedAt = clock.Now();
    // Absence cannot be awaited: give a wrongly running sampler time to show itself (in driven
    // time it would make thousands of readings in this while).
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(reads.load(), 3);
    EXPECT_EQ(clock.Now(), pausedAt) << "the sampler slept while paused";
    EXPECT_EQ(delivered.Samples().size(), 3U);

    clock.Advance(7000);  // hidden for a while
    sampler.SetRunning(true);
    ASSERT_TRUE(delivered.WaitFor(5));
    sampler.Stop();
    const std::vector<MeterSample> samples = delivered.Samples();
    EXPECT_EQ(samples[2].tickMs, 1300U);
    EXPECT_EQ(samples[3].tickMs, pausedAt + 7000) << "resumed a period late";
    EXPECT_EQ(samples[4].tickMs, pausedAt + 7000 + CSignalSampler::kDefaultPeriodMs);
}

// Stop ends a sampler waiting out a ten-minute period at once, on the system's clock: the wait
// itself hears of it. A sampler that was never started stops as well.
TEST(SignalSamplerTest, StopEndsPromptly) {
    constexpr DWORD kTenMinutes = 600000;
    {
        CDelivered delivered;
        CSignalSampler sampler([] { return Measured(10.0, -40.0); },
                               [&](const MeterSample& sample) { delivered.Add(sample); },
                               kTenMinutes);
        sampler.SetRunning(true);
        ASSERT_TRUE(delivered.WaitFor(1));
        const auto stopAsked = std::chrono::steady_clock::now();
        sampler.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - stopAsked, std::chrono::seconds(1));
        EXPECT_EQ(delivered.Samples().size(), 1U);
        sampler.Stop();  // a second Stop does nothing
    }
    {
        std::atomic<int> reads{0};
        CSignalSampler idle(
            [&] {
                ++reads;
                return SignalMeasureResult{};
            },
            [](const MeterSample&) {});
        idle.Stop();
        EXPECT_EQ(reads.load(), 0);
    }
}

}  // namespace
