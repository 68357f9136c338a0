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

}  // namespace qb
