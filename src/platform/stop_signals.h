#pragma once
// Termination requests from outside (SIGTERM at logout or from `kill`, SIGINT, SIGHUP) turned into
// something an event loop can wait on, so the program can shut down the way its Exit command does
// (settings written, windows closed) instead of dying or ignoring them.

namespace qb {

// Installs the handlers once and answers the read end of a non-blocking pipe that receives one byte
// per signal; -1 when the pipe could not be made (the signals then keep their default action).
int StopSignalFd();

// Reads and discards what is waiting in the pipe; answers how many signals arrived.
int DrainStopSignals(int fd);

// A write past the file-size limit (ulimit -f) raises SIGXFSZ, whose default action ends the program
// in the middle of the write and leaves the partial file behind. Ignored, the write fails with EFBIG
// ("File too large") and the writer's own clean-up runs. Called once at start by each program.
void IgnoreFileSizeSignal();

}  // namespace qb
