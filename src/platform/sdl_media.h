#pragma once
// The media backend over SDL2_mixer: one music file at a time (mp3, ogg, wav, flac, opus, MIDI
// through FluidSynth, tracker modules). SDL's audio is process-wide: one instance at a time.
#include <atomic>
#include <memory>
#include <mutex>
#include <cstdint>
#include <string>

#include "platform/ports.h"

struct _Mix_Music;

namespace qb {

class FfmpegAudio;

class SdlMediaBackend : public MediaBackend {
public:
    // Opens the default sound device, or a silent one when there is none, so that everything keeps
    // working without sound.
    SdlMediaBackend();
    ~SdlMediaBackend() override;
    SdlMediaBackend(const SdlMediaBackend&) = delete;
    SdlMediaBackend& operator=(const SdlMediaBackend&) = delete;

    bool Open(const std::string& path) override;
    void Close() override;
    bool Play() override;
    void Pause() override;
    void Stop() override;
    double Position() override;
    void SetPosition(double seconds) override;
    double Duration() override;
    void SetVolume(int32_t volume) override;
    int32_t Volume() override { return m_volume; }
    void SetBalance(int32_t balance) override;
    void SetRate(double rate) override { m_rate = rate; }
    // The file's own rate where it can be read; otherwise (MIDI, modules: synthesised at the
    // device's rate) the device's.
    int SampleRate() override { return HasFile() ? (m_fileRate > 0 ? m_fileRate : m_deviceRate) : 0; }
    std::string LastError() const override { return m_error; }

    // True when audio runs at all (on a real or the silent device).
    bool AudioOpen() const { return m_audioOpen; }
    // The SDL audio driver in use ("pulseaudio", "disk", "dummy", ...), empty when none.
    std::string DriverName() const;
    // True while a file plays or is paused (not stopped, not ended).
    bool Playing();

    // Linear gain of a volume in hundredths of a decibel: 10^(v / 2000); -10000 is silence.
    static double Gain(int32_t volume);

private:
    enum class Mode { Stopped, Playing, Paused, Ended };
    void CheckEnded();
    double Elapsed() const;
    void ApplyGains();
    static void PostMix(void* userData, uint8_t* stream, int length);
    // The mixer's music hook for files FFmpeg decodes.
    static void FillDecoded(void* userData, uint8_t* stream, int length);
    bool HasFile() const { return m_music != nullptr || m_decoded != nullptr; }

    bool m_audioOpen = false;
    _Mix_Music* m_music = nullptr;
    bool m_midi = false;  // m_music is MIDI: the volume goes into the synthesiser's gain
    // A file SDL2_mixer cannot open (.wma), decoded on the audio thread through the music hook.
    std::unique_ptr<FfmpegAudio> m_decoded;
    std::mutex m_decodedLock;
    std::atomic<bool> m_decodedEnded{false};
    std::atomic<bool> m_decodedPaused{false};
    int m_deviceRate = 44100;
    int m_fileRate = 0;  // the open file's own sample rate; 0 unknown
    std::string m_error;
    Mode m_mode = Mode::Stopped;
    double m_reportedDuration = -1;  // what the format reports (MIDI: its events); -1 unknown
    double m_endPosition = 0;        // where the file ended, measured when the format cannot say
    double m_startPosition = 0;      // position when stopped, or where the current run started
    uint64_t m_runStartFrames = 0;   // m_mixedFrames when the current run started
    std::atomic<uint64_t> m_mixedFrames{0};  // frames the device has mixed (the audio thread counts)
    double m_pausedPosition = 0;
    int32_t m_volume = 0;
    int32_t m_balance = 0;
    double m_rate = 1;
    std::atomic<float> m_leftGain{1.0f};
    std::atomic<float> m_rightGain{1.0f};
};

}  // namespace qb
