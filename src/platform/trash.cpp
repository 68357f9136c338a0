#include "platform/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/paths.h"

namespace qb {

namespace {

namespace fs = std::filesystem;

// Names tried for one trashed file before giving up: "a.def", "a.2.def" ... A trash holding this many
// files of one name is not one to keep adding to.
constexpr int kMaxNameTries = 10000;

std::string Reason(int error) {
    return std::strerror(error);
}

// The folder of `path` and the name in it, with the folder made absolute and free of symbolic links;
// the last component is kept as it is, so that a link is trashed itself.
bool SplitAbsolute(const std::string& path, std::string& dir, std::string& name) {
    std::string text = path;
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    const size_t slash = text.rfind('/');
    name = slash == std::string::npos ? text : text.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : text.substr(0, slash));
    if (name.empty() || name == "." || name == "..") return false;
    char* real = ::realpath(folder.c_str(), nullptr);
    if (!real) return false;
    dir = real;
    std::free(real);
    return true;
}

// Makes `dir` and any missing level above it, each new one with mode 0700.
bool MakeDirs(const std::string& dir, std::string& error) {
    fs::path built;
    for (const fs::path& part : fs::path(dir)) {
        built /= part;
        if (::mkdir(built.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create the folder " + built.string() + ": " + Reason(errno);
            return false;
        }
    }
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = dir + " is not a folder";
        return false;
    }
    return true;
}

// files/ and info/ of a trash folder that exists.
bool PrepareTrash(const std::string& trash, std::string& error) {
    return MakeDirs(trash + "/files", error) && MakeDirs(trash + "/info", error);
}

// A trash at the top of a disk must be a real folder (not a link someone put there) owned by the user.
bool OwnFolder(const std::string& dir) {
    struct stat st;
    return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

// The device of the nearest folder of `path` that exists (the one a missing folder would be made on).
dev_t NearestDevice(const std::string& path) {
    fs::path at(path);
    struct stat st;
    while (::stat(at.c_str(), &st) != 0) {
        if (!at.has_relative_path()) return static_cast<dev_t>(-1);
        at = at.parent_path();
    }
    return st.st_dev;
}

// The top folder of the disk holding `dir` (the highest folder above it on the same device).
std::string TopOfDisk(const std::string& dir, dev_t device) {
    fs::path top(dir);
    while (top.has_relative_path()) {
        const fs::path parent = top.parent_path();
        struct stat st;
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device) break;
        top = parent;
    }
    return top.string();
}

// The trash at the top of the disk: $topdir/.Trash/$uid when an administrator made $topdir/.Trash
// (a real, sticky folder), else $topdir/.Trash-$uid.
bool TopTrash(const std::string& top, std::string& trash, std::string& error) {
    const std::string uid = std::to_string(::getuid());
    const std::string base = top == "/" ? std::string() : top;
    struct stat st;
    const std::string shared = base + "/.Trash";
    if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0) {
        trash = shared + "/" + uid;
        if ((::mkdir(trash.c_str(), 0700) == 0 || errno == EEXIST) && OwnFolder(trash)) return true;
    }
    trash = base + "/.Trash-" + uid;
    if (::mkdir(trash.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "there is no trash on its disk, and " + trash + " cannot be created: " + Reason(errno);
        return false;
    }
    if (!OwnFolder(trash)) {
        error = trash + " is not a trash folder of yours";
        return false;
    }
    return true;
}

// Path= of an info file: every byte but the unreserved ones and "/" as %XX.
std::string EscapePath(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || c == '.' || c == '~' || c == '/';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    return std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) ? text : "1970-01-01T00:00:00";
}

std::string CandidateName(const std::string& name, int n) {
    if (n == 1) return name;
    const size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const std::string stem = hasExtension ? name.substr(0, dot) : name;
    return stem + "." + std::to_string(n) + (hasExtension ? name.substr(dot) : std::string());
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

}  // namespace

std::string HomeTrashDir(const EnvLookup& env) {
    const char* data = env("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') return (fs::path(data) / "Trash").lexically_normal().string();
    const char* home = env("HOME");
    if (home == nullptr || home[0] != '/') return {};
    return (fs::path(home) / ".local/share/Trash").lexically_normal().string();
}

std::string FindHomeTrashDir() {
    return HomeTrashDir([](const char* name) { return std::getenv(name); });
}

std::string RemovalProblem(const std::string& path) {
    std::string dir, name;
    struct stat file;
    if (!SplitAbsolute(path, dir, name) || ::lstat((dir + "/" + name).c_str(), &file) != 0)
        return "The file " + path + " is not there.";
    struct stat folder;
    // A folder without any write permission is read-only even for a user the system lets write it,
    // as the music rewrite treats a stage file.
    if (::stat(dir.c_str(), &folder) != 0 || (folder.st_mode & 0222) == 0 || ::access(dir.c_str(), W_OK | X_OK) != 0)
        return "The folder " + dir + " is read-only.";
    // In a sticky folder (as /tmp) only the owner of the file or of the folder may take it out.
    const uid_t me = ::getuid();
    if ((folder.st_mode & S_ISVTX) != 0 && me != 0 && file.st_uid != me && folder.st_uid != me)
        return "The file " + path + " belongs to another user.";
    return {};
}

TrashResult MoveToTrash(const std::string& path, const std::string& homeTrash) {
    TrashResult result;
    std::string dir, name;
    struct stat file;
    if (!SplitAbsolute(path, dir, name) || ::lstat((dir + "/" + name).c_str(), &file) != 0) {
        result.error = "it is not there";
        return result;
    }
    const std::string source = dir + "/" + name;
    if (const std::string problem = RemovalProblem(source); !problem.empty()) {
        result.error = problem;
        return result;
    }

    // The per-user trash when it is (or will be) on the file's disk, else the trash at the top of the
    // file's disk. A per-user trash on the same disk that cannot be made is an error, not a reason to
    // scatter files elsewhere.
    std::string trash;
    std::string relativeTo;  // a top-of-disk trash records paths relative to the top
    if (!homeTrash.empty() && homeTrash.front() == '/' && NearestDevice(homeTrash) == file.st_dev) {
        if (!MakeDirs(homeTrash, result.error)) return result;
        trash = homeTrash;
    } else {
        const std::string top = TopOfDisk(dir, file.st_dev);
        if (!TopTrash(top, trash, result.error)) {
            if (homeTrash.empty()) result.error = "no per-user data folder is known, and " + result.error;
            return result;
        }
        relativeTo = top == "/" ? "/" : top + "/";
    }
    if (!PrepareTrash(trash, result.error)) return result;

    std::string infoPath, target, trashedName;
    struct stat st;
    int infoFd = -1;
    for (int n = 1; n <= kMaxNameTries && infoFd < 0; ++n) {
        trashedName = CandidateName(name, n);
        infoPath = trash + "/info/" + trashedName + ".trashinfo";
        target = trash + "/files/" + trashedName;
        // The info file's exclusive creation reserves the name against other programs trashing now.
        infoFd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (infoFd < 0) {
            if (errno != EEXIST) {
                result.error = "cannot write in " + trash + "/info: " + Reason(errno);
                return result;
            }
            continue;
        }
        if (::lstat(target.c_str(), &st) == 0) {  // a file left in files/ without its info
            ::close(infoFd);
            ::unlink(infoPath.c_str());
            infoFd = -1;
        }
    }
    if (infoFd < 0) {
        result.error = "the trash holds too many files named " + name;
        return result;
    }
    const std::string recorded =
        relativeTo.empty() ? source : source.substr(relativeTo == "/" ? 1 : relativeTo.size());
    const std::string info = "[Trash Info]\nPath=" + EscapePath(recorded) + "\nDeletionDate=" + LocalTimeText() + "\n";
    const bool written = WriteAll(infoFd, info) && ::fsync(infoFd) == 0;
    const int writeErrno = errno;
    ::close(infoFd);
    if (!written) {
        ::unlink(infoPath.c_str());
        result.error = "cannot write " + infoPath + ": " + Reason(writeErrno);
        return result;
    }
    if (::rename(source.c_str(), target.c_str()) != 0) {
        const int renameErrno = errno;
        ::unlink(infoPath.c_str());
        result.error = "cannot move it into " + trash + "/files: " + Reason(renameErrno);
        return result;
    }
    // Only a file that is in the trash and gone from its folder counts as trashed.
    struct stat arrived;
    if (::lstat(target.c_str(), &arrived) != 0 || ::lstat(source.c_str(), &st) == 0) {
        result.error = "it did not arrive in " + trash + "/files";
        return result;
    }
    result.ok = true;
    result.trashedAs = target;
    return result;
}

}  // namespace qb
