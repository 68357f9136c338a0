#include "platform/sdl_media.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>

#ifdef QB_HAVE_AUDIO_LOG_HOOKS
#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#endif

#include "platform/ffmpeg_audio.h"
#include "platform/midi_length.h"
#include "platform/paths.h"

namespace qb {

namespace {

// FluidSynth's gain is the mixer's music volume times 1.2 / 128, and the synthesiser clips its output
// to 16 bits before anything else sees it. At the mixer's full volume (gain 1.2, six times
// FluidSynth's own default) real MIDI files clip on about 40 % of their samples: the corpus MIDI
// peaks at 6.3 times full scale at gain 1. The stage's full volume is this many mixer steps (gain
// 0.14), where that file peaks about 1 dB below full scale.
constexpr double kMidiFullVolumeSteps = 15;
// MIDI files larger than this are not music; their length is then not measured.
constexpr size_t kMaxMidiBytes = size_t{16} << 20;

#ifdef QB_HAVE_AUDIO_LOG_HOOKS
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void QuietFluid(int, const char*, void*) {}
#endif

// The libraries below the mixer write their complaints to standard error: ALSA a dozen lines when
// the machine has no sound card (SDL then falls back to another driver, or to silence), FluidSynth
// about soundfont presets, SDL its own log. What matters reaches the error log through LastError.
void QuietAudioLibraries() {
    SDL_LogSetOutputFunction([](void*, int, SDL_LogPriority, const char*) {}, nullptr);
#ifdef QB_HAVE_AUDIO_LOG_HOOKS
    snd_lib_error_set_handler(&QuietAlsa);
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, &QuietFluid, nullptr);
#endif
}

bool OpenDevice() {
    // SDL would otherwise take SIGINT and SIGTERM for an event queue nobody reads, and the program
    // could no longer be stopped from outside; the front ends handle those signals themselves.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    // Signed 16-bit stereo exactly: the volume is applied to those samples (PostMix).
    if (Mix_OpenAudioDevice(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, 2, 2048, nullptr,
                            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE) == 0)
        return true;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
}

// FluidSynth needs a General MIDI soundfont. Without SDL_SOUNDFONTS the mixer looks only for
// FluidR3_GM.sf2; Debian's soundfont packages register default-GM.sf2.
void ChooseSoundFont() {
    if (SDL_getenv("SDL_SOUNDFONTS")) return;
    for (const char* path : {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
                             "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/soundfonts/default.sf2"}) {
        if (SDL_RWops* file = SDL_RWFromFile(path, "rb")) {
            SDL_RWclose(file);
            Mix_SetSoundFonts(path);
            return;
        }
    }
}

}  // namespace

SdlMediaBackend::SdlMediaBackend() {
    QuietAudioLibraries();
    ChooseSoundFont();
    Mix_Init(MIX_INIT_MP3 | MIX_INIT_OGG | MIX_INIT_FLAC | MIX_INIT_OPUS | MIX_INIT_MID | MIX_INIT_MOD);
    m_audioOpen = OpenDevice();
    if (!m_audioOpen) {
        // No sound device (a server, a container): play into SDL's silent driver so that positions,
        // durations and looping behave as with sound.
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        m_audioOpen = OpenDevice();
    }
    if (!m_audioOpen) {
        m_error = std::string("no audio device: ") + SDL_GetError();
        return;
    }
    // Music at full mixer volume; the volume and balance are applied to the mixed samples, because
    // the mixer's 0..128 steps cannot express decibels (-6000 would already be silence).
    Mix_VolumeMusic(MIX_MAX_VOLUME);
    Mix_SetPostMix(&SdlMediaBackend::PostMix, this);
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    if (Mix_QuerySpec(&frequency, &format, &channels) != 0 && frequency > 0) m_deviceRate = frequency;
}

SdlMediaBackend::~SdlMediaBackend() {
    Close();
    if (m_audioOpen) {
        Mix_SetPostMix(nullptr, nullptr);
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    Mix_Quit();
}

std::string SdlMediaBackend::DriverName() const {
    const char* name = m_audioOpen ? SDL_GetCurrentAudioDriver() : nullptr;
    return name ? name : "";
}

double SdlMediaBackend::Gain(int32_t volume) {
    if (volume <= -10000) return 0;
    if (volume >= 0) return 1;
    return std::pow(10.0, volume / 2000.0);
}

void SdlMediaBackend::ApplyGains() {
    double gain = Gain(m_volume);
    if (m_midi) {
        // MIDI: the volume goes into the synthesiser's gain, before its output is clipped. The
        // mixer's steps are coarse, so the gain is rounded up and the mixed samples take the rest
        // (never more than 1, so that step cannot clip either).
        const double steps =
            gain > 0 ? std::clamp(std::ceil(gain * kMidiFullVolumeSteps), 1.0, kMidiFullVolumeSteps) : 0;
        Mix_VolumeMusic(static_cast<int>(steps));
        gain = steps > 0 ? std::min(1.0, gain * kMidiFullVolumeSteps / steps) : 0;
    } else if (m_audioOpen) {
        Mix_VolumeMusic(MIX_MAX_VOLUME);
    }
    // Balance attenuates the other side: positive values the left, negative the right.
    m_leftGain.store(static_cast<float>(gain * Gain(m_balance > 0 ? -m_balance : 0)));
    m_rightGain.store(static_cast<float>(gain * Gain(m_balance < 0 ? m_balance : 0)));
}

void SdlMediaBackend::PostMix(void* userData, uint8_t* stream, int length) {
    // Runs on SDL's audio thread: touches only atomics. The device format is signed 16-bit
    // stereo (MIX_DEFAULT_FORMAT, two channels).
    auto* self = static_cast<SdlMediaBackend*>(userData);
    self->m_mixedFrames.fetch_add(static_cast<uint64_t>(length / 4));
    const float left = self->m_leftGain.load();
    const float right = self->m_rightGain.load();
    if (left == 1.0f && right == 1.0f) return;
    const int samples = length / 2;
    for (int i = 0; i + 1 < samples; i += 2) {
        int16_t s[2];
        SDL_memcpy(s, stream + i * 2, sizeof s);
        s[0] = static_cast<int16_t>(std::lround(s[0] * left));
        s[1] = static_cast<int16_t>(std::lround(s[1] * right));
        SDL_memcpy(stream + i * 2, s, sizeof s);
    }
}

bool SdlMediaBackend::Open(const std::string& path) {
    Close();
    m_error.clear();
    if (!m_audioOpen) {
        m_error = "no audio device";
        return false;
    }
    // The mixer and FFmpeg open the path themselves, and a FIFO would block them for ever.
    if (!FileExists(path)) {
        m_error = "not a readable file";
        return false;
    }
    m_music = Mix_LoadMUS(path.c_str());
    if (!m_music) {
        m_error = SDL_GetError();
        if (m_error.empty()) m_error = "unsupported or damaged file";
        // What the mixer cannot open (Windows Media Audio above all) FFmpeg may decode.
        std::string decodeError;
        m_decoded = FfmpegAudio::Open(path, m_deviceRate, decodeError);
        if (!m_decoded) {
            m_error += "; " + decodeError;
            return false;
        }
        m_error.clear();
        m_decodedEnded = false;
        m_decodedPaused = false;
        m_reportedDuration = m_decoded->Duration() > 0 ? m_decoded->Duration() : -1;
        m_fileRate = m_decoded->SourceRate();
        return true;
    }
    m_reportedDuration = Mix_MusicDuration(m_music);
    m_midi = Mix_GetMusicType(m_music) == MUS_MID;
    if (m_midi) {
        // The synthesiser says a MIDI file has ended only once the last notes' release and reverb
        // have died away, seconds after the music: the file's own length says where it ends.
        const auto bytes = ReadFileBytes(path, kMaxMidiBytes);
        const auto length = bytes ? MidiLength(*bytes) : std::nullopt;
        m_reportedDuration = length && *length > 0 ? *length : -1;
        ApplyGains();
    } else {
        // The mixer does not say at what rate the file was recorded, and the positions it reports
        // are the file's own time: FFmpeg reads the rate from the file's header.
        m_fileRate = FfmpegAudio::FileSampleRate(path);
    }
    return true;
}

void SdlMediaBackend::Close() {
    if (!HasFile()) return;
    if (m_decoded) {
        Mix_HookMusic(nullptr, nullptr);
        std::lock_guard<std::mutex> lock(m_decodedLock);
        m_decoded.reset();
    } else {
        Mix_HaltMusic();
        Mix_FreeMusic(m_music);
        m_music = nullptr;
    }
    m_mode = Mode::Stopped;
    m_startPosition = 0;
    m_endPosition = 0;
    m_reportedDuration = -1;
    m_fileRate = 0;
    if (m_midi) {
        m_midi = false;
        ApplyGains();
    }
}

bool SdlMediaBackend::Playing() {
    CheckEnded();
    return m_mode == Mode::Playing || m_mode == Mode::Paused;
}

double SdlMediaBackend::Elapsed() const {
    // Counted in frames the device has mixed rather than wall-clock time: a device that falls behind
    // (the disk driver on a busy machine) would otherwise have a file end before its music does.
    return m_startPosition + static_cast<double>(m_mixedFrames.load() - m_runStartFrames) / m_deviceRate;
}

void SdlMediaBackend::FillDecoded(void* userData, uint8_t* stream, int length) {
    auto* self = static_cast<SdlMediaBackend*>(userData);
    std::memset(stream, 0, static_cast<size_t>(length));
    if (self->m_decodedPaused || self->m_decodedEnded) return;
    std::lock_guard<std::mutex> lock(self->m_decodedLock);
    if (!self->m_decoded) return;
    const int frames = length / 4;  // signed 16-bit stereo
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
    const int got = self->m_decoded->Read(samples.data(), frames);
    std::memcpy(stream, samples.data(), static_cast<size_t>(got) * 4);
    if (got == 0) self->m_decodedEnded = true;
}

void SdlMediaBackend::CheckEnded() {
    if (m_mode != Mode::Playing) return;
    if (m_midi && m_reportedDuration > 0 && Elapsed() >= m_reportedDuration) {
        Mix_HaltMusic();  // the last note has ended: its tail must not delay the loop
    } else if (m_decoded ? !m_decodedEnded.load() : Mix_PlayingMusic() != 0) {
        return;
    }
    m_endPosition = m_reportedDuration > 0 ? m_reportedDuration : Elapsed();
    m_mode = Mode::Ended;
}

bool SdlMediaBackend::Play() {
    if (!HasFile()) return false;
    CheckEnded();
    if (m_mode == Mode::Playing) return true;
    if (m_decoded) {
        if (m_mode == Mode::Ended) m_startPosition = 0;
        if (m_mode != Mode::Paused) {
            std::lock_guard<std::mutex> lock(m_decodedLock);
            if (m_mode == Mode::Ended || m_startPosition != m_decoded->Position())
                m_decoded->Seek(m_startPosition);
            m_decodedEnded = false;
        }
        m_decodedPaused = false;
        Mix_HookMusic(&SdlMediaBackend::FillDecoded, this);
        m_mode = Mode::Playing;
        return true;
    }
    if (m_mode == Mode::Paused) {
        Mix_ResumeMusic();
        m_startPosition = m_pausedPosition;
        m_runStartFrames = m_mixedFrames.load();
        m_mode = Mode::Playing;
        return true;
    }
    if (m_mode == Mode::Ended) m_startPosition = 0;
    if (Mix_PlayMusic(m_music, 0) != 0) {
        m_error = SDL_GetError();
        return false;
    }
    if (m_startPosition > 0 && Mix_SetMusicPosition(m_startPosition) != 0) m_startPosition = 0;
    m_runStartFrames = m_mixedFrames.load();
    m_mode = Mode::Playing;
    return true;
}

void SdlMediaBackend::Pause() {
    CheckEnded();
    if (m_mode != Mode::Playing) return;
    m_pausedPosition = Position();
    if (m_decoded)
        m_decodedPaused = true;
    else
        Mix_PauseMusic();
    m_mode = Mode::Paused;
}

void SdlMediaBackend::Stop() {
    CheckEnded();
    if (m_mode == Mode::Ended) return;  // stays at its end until Play rewinds it
    if (m_mode == Mode::Playing || m_mode == Mode::Paused) m_startPosition = Position();
    if (m_decoded)
        Mix_HookMusic(nullptr, nullptr);
    else
        Mix_HaltMusic();
    m_mode = Mode::Stopped;
}

double SdlMediaBackend::Position() {
    if (!HasFile()) return 0;
    CheckEnded();
    switch (m_mode) {
        case Mode::Ended:
            // Whatever the format says at its end (MP3 a little short, MOD -1), the position of a
            // file that has played through is its duration: the once-a-second loop relies on it.
            return m_endPosition;
        case Mode::Paused:
            return m_pausedPosition;
        case Mode::Stopped:
            return m_startPosition;
        case Mode::Playing: {
            double reported = -1;
            if (m_decoded) {
                std::lock_guard<std::mutex> lock(m_decodedLock);
                reported = m_decoded->Position();
            } else {
                reported = Mix_GetMusicPosition(m_music);
            }
            double position = reported >= 0 ? reported : Elapsed();
            if (m_reportedDuration > 0) position = std::min(position, m_reportedDuration);
            return std::max(position, 0.0);
        }
    }
    return 0;
}

void SdlMediaBackend::SetPosition(double seconds) {
    if (!HasFile()) return;
    CheckEnded();
    seconds = std::max(seconds, 0.0);
    if (m_decoded) {
        std::lock_guard<std::mutex> lock(m_decodedLock);
        if (m_mode == Mode::Playing || m_mode == Mode::Paused) {
            if (m_decoded->Seek(seconds)) m_decodedEnded = false;
            if (m_mode == Mode::Paused) m_pausedPosition = seconds;
            return;
        }
        m_mode = Mode::Stopped;
        m_startPosition = seconds;
        return;
    }
    if (m_mode == Mode::Playing) {
        if (Mix_SetMusicPosition(seconds) == 0) {
            m_startPosition = seconds;
            m_runStartFrames = m_mixedFrames.load();
        }
        return;
    }
    if (m_mode == Mode::Paused) {
        if (Mix_SetMusicPosition(seconds) == 0) m_pausedPosition = seconds;
        return;
    }
    m_mode = Mode::Stopped;
    m_startPosition = seconds;
}

double SdlMediaBackend::Duration() {
    if (!HasFile()) return 0;
    if (m_reportedDuration > 0) return m_reportedDuration;
    // MIDI reports no length: it is known once the file has played through.
    CheckEnded();
    return m_endPosition;
}

void SdlMediaBackend::SetVolume(int32_t volume) {
    m_volume = std::clamp<int32_t>(volume, -10000, 0);
    ApplyGains();
}

void SdlMediaBackend::SetBalance(int32_t balance) {
    m_balance = std::clamp<int32_t>(balance, -10000, 10000);
    ApplyGains();
}

}  // namespace qb
