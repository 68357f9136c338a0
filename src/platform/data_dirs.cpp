#include "platform/data_dirs.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "platform/paths.h"

namespace qb {

namespace {

namespace fs = std::filesystem;

bool IsAbsolute(const char* value) {
    return value != nullptr && value[0] == '/';
}

// The XDG variable when it holds an absolute path, else $HOME/<fallback>; empty without either.
std::string XdgDir(const EnvLookup& env, const char* name, const char* fallback) {
    const char* value = env(name);
    if (IsAbsolute(value)) return value;
    const char* home = env("HOME");
    if (!IsAbsolute(home)) return {};
    return (fs::path(home) / fallback).lexically_normal().string();
}

std::string Trimmed(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

std::string SystemTempDir(const EnvLookup& env) {
    const char* value = env("TMPDIR");
    return IsAbsolute(value) ? Trimmed(value) : std::string("/tmp");
}

constexpr std::string_view kPackagePrefix = "quillback-package-";

const char* ProcessEnv(const char* name) {
    return std::getenv(name);
}

}  // namespace

DataDirs PortableDataDirs(const std::string& programDir, const EnvLookup& env) {
    const std::string dir = Trimmed(programDir);
    return DataDirs{dir, dir, SystemTempDir(env), {}, true};
}

DataDirs PortableDataDirs(const std::string& programDir) {
    return PortableDataDirs(programDir, ProcessEnv);
}

DataDirs DecideDataDirs(const std::string& programDir, const EnvLookup& env, const PathProbe& writable,
                        const PathProbe& isDir) {
    const std::string dir = Trimmed(programDir);
    const fs::path exe(dir);
    const fs::path share = exe.parent_path() / "share" / "quillback";
    const bool installed = exe.filename() == "bin" && isDir(share.string());
    DataDirs dirs = PortableDataDirs(dir, env);
    if (const std::string cacheHome = XdgDir(env, "XDG_CACHE_HOME", ".cache"); !cacheHome.empty())
        dirs.Cache = (fs::path(cacheHome) / "quillback").string();
    if (installed && isDir((share / "demo-mugen").string()))
        dirs.DemoMugen = (share / "demo-mugen").string() + "/";
    if (!installed && writable(dir)) return dirs;

    const std::string config = XdgDir(env, "XDG_CONFIG_HOME", ".config");
    const std::string data = XdgDir(env, "XDG_DATA_HOME", ".local/share");
    const std::string cache = XdgDir(env, "XDG_CACHE_HOME", ".cache");
    if (config.empty() || data.empty() || cache.empty()) return dirs;
    dirs.Config = (fs::path(config) / "quillback").string();
    dirs.Data = (fs::path(data) / "quillback").string();
    dirs.Temp = (fs::path(cache) / "quillback" / "tmp").string();
    dirs.Portable = false;
    return dirs;
}

DataDirs FindDataDirs(const std::string& programDir) {
    const auto writable = [](const std::string& dir) {
        // A real file, not access(W_OK): that also answers for read-only mounts and ACLs.
        const std::string probe =
            (fs::path(dir) / (".quillback-write-probe-" + std::to_string(getpid()))).string();
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        ::close(fd);
        ::unlink(probe.c_str());
        return true;
    };
    return DecideDataDirs(programDir, ProcessEnv, writable,
                          [](const std::string& path) { return DirExists(path); });
}

bool PrepareDataDir(const DataDirs& dirs, const std::string& dir) {
    if (dirs.Portable || dir.empty()) return true;
    std::error_code ec;
    if (fs::is_directory(dir, ec)) return true;
    fs::path built;
    for (const fs::path& part : fs::path(dir)) {
        built /= part;
        if (::mkdir(built.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return fs::is_directory(dir, ec);
}

}  // namespace qb

namespace qb {

std::string MakePackageFolder(const DataDirs& dirs) {
    if (dirs.Temp.empty() || !PrepareDataDir(dirs, dirs.Temp)) return {};
    std::string pattern =
        (fs::path(dirs.Temp) / (std::string(kPackagePrefix) + std::to_string(::getpid()) + "-XXXXXX"))
            .string();
    if (!::mkdtemp(pattern.data())) return {};
    return pattern;
}

int RemoveStalePackageFolders(const std::string& temp, const PidProbe& running) {
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(temp, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, kPackagePrefix.size(), kPackagePrefix) != 0) continue;
        // "<pid>-XXXXXX" after the prefix: digits, a dash and the six characters mkdtemp chose.
        const std::string rest = name.substr(kPackagePrefix.size());
        const size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string::npos || dash > 9 || rest.size() != dash + 7) continue;
        if (rest.find_first_not_of("0123456789") != dash) continue;
        const long pid = std::stol(rest.substr(0, dash));
        struct stat st;
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        if (running(pid)) continue;
        std::error_code removeError;
        if (fs::remove_all(it->path(), removeError) != static_cast<std::uintmax_t>(-1) && !removeError)
            ++removed;
    }
    return removed;
}

bool ProcessRunning(long pid) {
    if (pid <= 0) return true;  // no such owner: leave the folder alone
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

}  // namespace qb
