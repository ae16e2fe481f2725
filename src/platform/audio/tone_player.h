#pragma once
// The alignment tone on the sound card, through ALSA: 48 kHz, signed 16-bit mono, about 80 ms
// of buffer so a new pitch is heard within a tenth of a second.
//
// Threads: a writer thread of its own makes the samples and blocks in the device's write; it
// alone touches the generator and the device while it runs. SetFrequency may be called from any
// thread (the wanted pitch is handed over under m_lock); Start and Stop from one thread.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/audio/tone_generator.h"

class CTonePlayer {
public:
    CTonePlayer() = default;
    ~CTonePlayer();
    CTonePlayer(const CTonePlayer&) = delete;
    CTonePlayer& operator=(const CTonePlayer&) = delete;

    // Opens the ALSA device and starts playing the pitch last set (silence if none). On failure
    // returns false and, when `error` is given, a text for the user that says ALSA's reason and
    // what to do. Starting while playing does nothing and succeeds.
    bool Start(std::string* error = nullptr, const std::string& device = "default");
    // Hertz; empty for silence. Glides there without a click.
    void SetFrequency(std::optional<double> hertz);
    // Fades out, lets the device play what it holds, closes it and joins the writer.
    void Stop();

    bool IsPlaying() const { return m_hPcm != nullptr; }
    // Frames the device accepted since the last Start.
    std::uint64_t FramesWritten() const { return m_nFramesWritten.load(); }

private:
    void Write();

    // The open ALSA PCM (snd_pcm_t), kept opaque so that users of the player need no ALSA headers.
    void* m_hPcm = nullptr;
    std::thread m_writer;
    std::atomic<bool> m_bStopping{false};
    std::atomic<std::uint64_t> m_nFramesWritten{0};
    std::mutex m_lock;
    std::optional<double> m_wanted;      // guarded by m_lock
    std::uint64_t m_nWantedVersion = 0;  // guarded by m_lock; changes with each SetFrequency
};
