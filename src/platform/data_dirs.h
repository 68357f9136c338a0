#pragma once
// Where the program keeps its own files. A program whose folder is writable keeps everything there
// (a portable program, and the build folder). An installed one (read-only folder, or the usual
// <prefix>/bin beside <prefix>/share/quillback) keeps them in the per-user folders of the XDG base
// directory rules. DecideDataDirs is the one place that decides.
#include <functional>
#include <string>

namespace qb {

struct DataDirs {
    std::string Config;     // QB.cfg and the single-instance lock
    std::string Data;       // snapshots/ and the background editor's files
    std::string Temp;       // extracted package files and other temporary files
    std::string DemoMugen;  // the demo MUGEN directory installed with the program (ends in '/'), or empty
    bool Portable = true;   // true: all three are the program's folder
};

// Everything in the program's folder.
DataDirs PortableDataDirs(const std::string& programDir);

// The environment variable's value, or nullptr when it is not set (std::getenv's contract).
using EnvLookup = std::function<const char*(const char* name)>;
using PathProbe = std::function<bool(const std::string& path)>;

// `programDir` is the executable's folder. It stays the home of every file when `writable` says so
// and it is not the bin folder of an installation (a `bin` folder whose parent holds
// share/quillback/, checked with `isDir`), since even a writable prefix such as ~/.local must not
// collect settings beside the executables; root passes every writability probe. Otherwise:
// Config = $XDG_CONFIG_HOME/quillback, Data = $XDG_DATA_HOME/quillback,
// Temp = $XDG_CACHE_HOME/quillback/tmp; an unset, empty or relative XDG variable means
// $HOME/.config, $HOME/.local/share and $HOME/.cache. Without a usable HOME either, the program's
// folder stays the home (its writes then fail with their usual messages).
DataDirs DecideDataDirs(const std::string& programDir, const EnvLookup& env, const PathProbe& writable,
                        const PathProbe& isDir);

// DecideDataDirs with the process's environment, a probe that creates and removes a file in the
// folder, and the file system's folders.
DataDirs FindDataDirs(const std::string& programDir);

// Makes a per-user folder when it is missing, each new level with mode 0700 as the XDG rules ask;
// a portable program's folders are used as they are. True when the folder is there afterwards.
bool PrepareDataDir(const DataDirs& dirs, const std::string& dir);

}  // namespace qb
