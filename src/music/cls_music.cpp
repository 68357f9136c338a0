#include "music/cls_music.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qb {

bool clsMusic::SetFileName(const std::string& fileName) {
    m_fileName = fileName;
    m_openError.clear();
    m_state = 0;
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
    if (MediaBackend* backend = Backend()) backend->SetVolume(m_volume);
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
