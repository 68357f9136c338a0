#include "music/cls_music.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qb {

bool clsMusic::SetFileName(const std::string& fileName) {
    m_fileName = fileName;
    m_openError.clear();
    m_state = 0;
    m_loopStart = m_loopEnd = 0;
    MediaBackend* backend = *m_backend;
    m_hasAudio = false;
    if (!backend) {
        m_openError = "no media player";
        return false;
    }
    // The backend keeps its volume, balance and rate from one file to the next.
    backend->Close();
    if (fileName.empty()) return false;
    m_hasAudio = backend->Open(fileName);
    if (!m_hasAudio) {
        m_openError = backend->LastError();
        if (m_openError.empty()) m_openError = "the file cannot be played";
    }
    return m_hasAudio;
}

void clsMusic::Play() {
    MediaBackend* backend = Backend();
    if (m_fileName.empty() || !backend) return;
    const double duration = Duration();
    if (duration > 0 && duration == Position()) backend->SetPosition(0);
    if (backend->Play()) m_state = 1;
}

void clsMusic::Pause() {
    if (MediaBackend* backend = Backend()) {
        backend->Pause();
        m_state = 2;
    }
}

void clsMusic::StopPlaying() {
    if (MediaBackend* backend = Backend()) {
        backend->Stop();
        m_state = 0;
    }
}

double clsMusic::Position() {
    MediaBackend* backend = Backend();
    return backend ? backend->Position() : 0;
}

void clsMusic::SetPosition(double newPos) {
    MediaBackend* backend = Backend();
    if (!backend) return;
    backend->SetPosition(std::clamp(newPos, 0.0, std::max(0.0, backend->Duration())));
}

double clsMusic::Duration() {
    MediaBackend* backend = Backend();
    return backend ? backend->Duration() : 0;
}

void clsMusic::SetSpeed(double speed) {
    m_speed = std::max(speed, 0.1);
    if (MediaBackend* backend = Backend()) backend->SetRate(m_speed);
}

void clsMusic::SetVolume(int32_t volume) {
    m_volume = std::clamp<int32_t>(volume, -10000, 0);
    if (MediaBackend* backend = Backend()) backend->SetVolume(EffectiveVolume());
}

void clsMusic::SetLevel(int32_t percent) {
    const int32_t level = std::clamp<int32_t>(percent, 0, 100);
    if (level == m_level) return;
    m_level = level;
    if (MediaBackend* backend = Backend()) backend->SetVolume(EffectiveVolume());
}

int32_t clsMusic::EffectiveVolume() const {
    if (m_level <= 0) return -10000;
    // A percentage of the amplitude in hundredths of a decibel: 20 log10(p / 100) dB.
    const double lowered = m_volume + 2000.0 * std::log10(m_level / 100.0);
    return static_cast<int32_t>(std::clamp(std::lround(lowered), -10000L, 0L));
}

void clsMusic::SetLoop(int32_t startSample, int32_t endSample) {
    m_loopStart = std::max(startSample, 0);
    m_loopEnd = endSample;
}

void clsMusic::KeepLoop() {
    MediaBackend* backend = Backend();
    if (!backend || m_state != 1 || m_loopEnd <= m_loopStart) return;
    const int rate = backend->SampleRate();
    if (rate <= 0) return;
    const double position = backend->Position();
    if (position < static_cast<double>(m_loopEnd) / rate) return;
    // A file that reached its end before this frame looked has stopped: it must play again.
    const double duration = backend->Duration();
    const bool ended = duration > 0 && position >= duration;
    backend->SetPosition(RestartPosition());
    if (ended) backend->Play();
}

double clsMusic::RestartPosition() {
    MediaBackend* backend = Backend();
    const int rate = backend ? backend->SampleRate() : 0;
    if (m_loopEnd <= m_loopStart || rate <= 0) return 0;
    const double start = static_cast<double>(m_loopStart) / rate;
    // A start past the end of the file cannot be played from: the whole file loops.
    const double duration = backend->Duration();
    return duration > 0 && start >= duration ? 0 : start;
}

void clsMusic::SetBalance(int32_t balance) {
    m_balance = std::clamp<int32_t>(balance, -10000, 10000);
    if (MediaBackend* backend = Backend()) backend->SetBalance(m_balance);
}

std::string Sec2Min(double secs) {
    // The display rounds the position to whole seconds in 16 bits; anything outside shows no time.
    if (!std::isfinite(secs) || secs < -0.5 || secs >= 32767.5) return "0:00";
    const long whole = std::lround(secs);
    char text[48];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace qb
