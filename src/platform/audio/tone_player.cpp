#include "platform/audio/tone_player.h"

#include <alsa/asoundlib.h>

#include <array>
#include <span>

namespace {

constexpr unsigned kLatencyUs = 80000;
// 10 ms a write: the pitch follows the meter within one chunk after the buffer.
constexpr snd_pcm_uframes_t kChunkFrames = CToneGenerator::kSampleRate / 100;

std::string NoSoundText(int alsaError, const std::string& device) {
    return "No sound output: " + std::string(snd_strerror(alsaError)) + " (device \"" + device +
           "\"). Connect or switch on a sound device, or close the program that holds it, then "
           "switch the tone on again.";
}

snd_pcm_t* Pcm(void* handle) {
    return static_cast<snd_pcm_t*>(handle);
}

}  // namespace

CTonePlayer::~CTonePlayer() {
    Stop();
}

bool CTonePlayer::Start(std::string* error, const std::string& device) {
    if (m_hPcm != nullptr) return true;
    snd_pcm_t* pcm = nullptr;
    int result = snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
    if (result >= 0) {
        result = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                                    CToneGenerator::kSampleRate, 1, kLatencyUs);
        if (result < 0) snd_pcm_close(pcm);
    }
    if (result < 0) {
        if (error != nullptr) *error = NoSoundText(result, device);
        return false;
    }
    m_hPcm = pcm;
    m_bStopping = false;
    m_nFramesWritten = 0;
    m_writer = std::thread([this] { Write(); });
    return true;
}

void CTonePlayer::SetFrequency(std::optional<double> hertz) {
    const std::lock_guard lock(m_lock);
    m_wanted = hertz;
    ++m_nWantedVersion;
}

void CTonePlayer::Stop() {
    if (m_hPcm == nullptr) return;
    m_bStopping = true;
    m_writer.join();
    snd_pcm_close(Pcm(m_hPcm));
    m_hPcm = nullptr;
}

void CTonePlayer::Write() {
    CToneGenerator generator;
    std::uint64_t version = 0;
    {
        const std::lock_guard lock(m_lock);
        generator.SetFrequency(m_wanted);
        version = m_nWantedVersion;
    }
    snd_pcm_t* const pcm = Pcm(m_hPcm);
    std::array<std::int16_t, kChunkFrames> chunk{};
    bool fadedOut = false;
    while (!fadedOut) {
        if (m_bStopping) {
            // One more chunk fades the tone out, so the stop does not click.
            generator.SetFrequency(std::nullopt);
            fadedOut = true;
        } else {
            const std::lock_guard lock(m_lock);
            if (m_nWantedVersion != version) {
                generator.SetFrequency(m_wanted);
                version = m_nWantedVersion;
            }
        }
        generator.Generate(chunk);
        std::span<const std::int16_t> left(chunk);
        while (!left.empty()) {
            snd_pcm_sframes_t written = snd_pcm_writei(pcm, left.data(), left.size());
            // An underrun (the machine was busy) or a suspend: recover and go on.
            if (written < 0) written = snd_pcm_recover(pcm, static_cast<int>(written), 1);
            if (written < 0) return;  // the device is gone: silence until Stop
            left = left.subspan(static_cast<std::size_t>(written));
            m_nFramesWritten += static_cast<std::uint64_t>(written);
        }
    }
    // What the device holds (at most the latency) plays out, ending in the faded silence.
    snd_pcm_drain(pcm);
}
