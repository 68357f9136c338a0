#pragma once
// The media player MUSIC: one music file at a time over the MediaBackend port, with the units and
// clamps the rest of the program relies on. Every member ignores run-time errors: a failed query
// answers 0, a failed command does nothing.
#include <cstdint>
#include <string>

#include "platform/ports.h"

namespace qb {

class clsMusic {
public:
    // `backend` points at the slot holding the backend (the state's ports), which may be filled in
    // or replaced after this object is made; an empty slot makes the player quiet.
    explicit clsMusic(MediaBackend* const* backend) : m_backend(backend) {}
    clsMusic(const clsMusic&) = delete;
    clsMusic& operator=(const clsMusic&) = delete;

    const std::string& FileName() const { return m_fileName; }
    // Opens the file (closing the previous one). False when it cannot be played; the player is then
    // quiet and OpenError() says why.
    bool SetFileName(const std::string& fileName);
    const std::string& OpenError() const { return m_openError; }
    bool HasAudio() const { return m_hasAudio; }

    // Starts or resumes; a file that has played to its end starts again from the beginning.
    void Play();
    void Pause();
    void StopPlaying();
    // Seconds. Setting clamps to 0..Duration.
    double Position();
    void SetPosition(double newPos);
    double Duration();
    // 0 stopped, 1 running, 2 paused.
    int32_t State() const { return m_state; }
    // Setting raises anything below 0.1 to 0.1; the backend applies it where it can.
    double Speed() const { return m_speed; }
    void SetSpeed(double speed);
    // Hundredths of a decibel, -10000 (silent) .. 0 (full), before the level below.
    int32_t Volume() const { return m_volume; }
    void SetVolume(int32_t volume);
    // The stage's bgmvolume: a percentage (0..100, as is at 100) of the amplitude every volume
    // above gives; it stays from one file to the next.
    int32_t Level() const { return m_level; }
    void SetLevel(int32_t percent);
    // What the backend is told: Volume() lowered by Level(), -10000 .. 0.
    int32_t EffectiveVolume() const;
    // The stage's bgmloopstart and bgmloopend, sample positions of the open file: once the music
    // passes the end it goes on from the start, and a file that ends first starts again there.
    // An end at or before the start (0, when the stage gives none) loops the whole file. Opening a
    // file forgets the loop.
    void SetLoop(int32_t startSample, int32_t endSample);
    // Called every frame: a playing file past its loop end is sent back to the loop start.
    void KeepLoop();
    // Where a file that has played to its end starts again (seconds): the loop start, or 0.
    double RestartPosition();
    // -10000 (left only) .. 10000 (right only).
    int32_t Balance() const { return m_balance; }
    void SetBalance(int32_t balance);

private:
    MediaBackend* Backend() const { return m_hasAudio ? *m_backend : nullptr; }

    MediaBackend* const* m_backend;
    std::string m_fileName;
    std::string m_openError;
    bool m_hasAudio = false;
    int32_t m_state = 0;
    double m_speed = 1;
    int32_t m_volume = 0;
    int32_t m_level = 100;
    int32_t m_balance = 0;
    int32_t m_loopStart = 0, m_loopEnd = 0;
};

// Seconds, rounded to whole ones, as minutes ":" two-digit seconds (125 gives "2:05"); "0:00" for
// anything negative, not a number or beyond the 16-bit range the position display has.
std::string Sec2Min(double secs);

}  // namespace qb
