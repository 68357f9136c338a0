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
    std::string Temp;       // holds the private folders of extracted packages, and other temporary files
    std::string DemoMugen;  // the demo MUGEN directory installed with the program (ends in '/'), or empty
    bool Portable = true;   // true: Config and Data are the program's folder
    // The per-user cache ($XDG_CACHE_HOME/quillback, portable or not: the stage library's listing and
    // thumbnails are the user's, whichever copy of the program made them); empty: nothing is cached.
    std::string Cache;
};

// The environment variable's value, or nullptr when it is not set (std::getenv's contract).
using EnvLookup = std::function<const char*(const char* name)>;

// Settings and the editor's files in the program's folder; Temp is the system's temporary folder
// ($TMPDIR when it is absolute, else /tmp), so that extracted files never share a folder with them.
DataDirs PortableDataDirs(const std::string& programDir);
DataDirs PortableDataDirs(const std::string& programDir, const EnvLookup& env);
using PathProbe = std::function<bool(const std::string& path)>;

// `programDir` is the executable's folder. It stays the home of every file when `writable` says so
// and it is not the bin folder of an installation (a `bin` folder whose parent holds
// share/quillback/, checked with `isDir`), since even a writable prefix such as ~/.local must not
// collect settings beside the executables; root passes every writability probe. Otherwise:
// Config = $XDG_CONFIG_HOME/quillback, Data = $XDG_DATA_HOME/quillback,
// Temp = $XDG_CACHE_HOME/quillback/tmp; an unset, empty or relative XDG variable means
// $HOME/.config, $HOME/.local/share and $HOME/.cache. Cache is $XDG_CACHE_HOME/quillback in
// either case (PortableDataDirs leaves it empty). Without a usable HOME either, the program's
// folder stays the home (its writes then fail with their usual messages).
DataDirs DecideDataDirs(const std::string& programDir, const EnvLookup& env, const PathProbe& writable,
                        const PathProbe& isDir);

// DecideDataDirs with the process's environment, a probe that creates and removes a file in the
// folder, and the file system's folders.
DataDirs FindDataDirs(const std::string& programDir);

// A new private folder (mode 0700) inside `dirs.Temp` for one package's files, named after this
// process ("quillback-package-<pid>-XXXXXX") so that a later start can tell whether its owner still
// runs. Empty when it cannot be made.
std::string MakePackageFolder(const DataDirs& dirs);

// Removes the package folders in `temp` that an earlier process left behind (a crash, a kill):
// folders of the pattern above, owned by this user, whose process `running` says is gone. Symbolic
// links and other users' folders are never touched. Answers how many were removed.
using PidProbe = std::function<bool(long pid)>;
int RemoveStalePackageFolders(const std::string& temp, const PidProbe& running);
// The probe of the real system: a process of that id exists (kill(pid, 0)).
bool ProcessRunning(long pid);

// Makes a per-user folder when it is missing, each new level with mode 0700 as the XDG rules ask;
// a portable program's folders are used as they are. True when the folder is there afterwards.
bool PrepareDataDir(const DataDirs& dirs, const std::string& dir);

}  // namespace qb
