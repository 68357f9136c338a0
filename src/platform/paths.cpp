#include "platform/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace qb {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.empty() ? "." : path.c_str(), &st) == 0;
}

// The entry of `dir` whose name equals `name` without regard to ASCII case; the smallest in byte order
// when several do, so the answer does not depend on the order the file system lists them in.
std::optional<std::string> FindFolded(const std::string& dir, std::string_view name) {
    DIR* handle = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!handle) return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* entry = ::readdir(handle)) {
        std::string_view candidate(entry->d_name);
        if (candidate == "." || candidate == "..") continue;
        if (EqualsFolded(candidate, name) && (!best || candidate < *best)) best = std::string(candidate);
    }
    ::closedir(handle);
    return best;
}

struct ScopedFd {
    int fd = -1;
    ~ScopedFd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::string ToNativePath(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

std::string ResolvePath(std::string_view text) {
    std::string native = ToNativePath(text);
    if (native.empty() || Exists(native)) return native;

    const bool absolute = native.front() == '/';
    const bool trailing = native.back() == '/';
    std::string resolved = absolute ? "/" : "";
    bool lost = false;  // once a component matches nothing, the rest is kept as written
    size_t pos = 0;
    while (pos < native.size()) {
        size_t end = native.find('/', pos);
        if (end == std::string::npos) end = native.size();
        const std::string_view part(native.data() + pos, end - pos);
        pos = end + 1;
        if (part.empty()) continue;
        std::string next = resolved;
        if (!next.empty() && next.back() != '/') next += '/';
        if (!lost && part != "." && part != "..") {
            const std::string exact = next + std::string(part);
            if (!Exists(exact)) {
                if (auto found = FindFolded(resolved, part)) {
                    resolved = next + *found;
                    continue;
                }
                lost = true;
            }
        }
        resolved = next + std::string(part);
    }
    if (trailing && (resolved.empty() || resolved.back() != '/')) resolved += '/';
    return resolved;
}

int OpenRegularFile(std::string_view path) {
    if (path.empty()) return -1;
    const std::string native = ResolvePath(path);
    ScopedFd file{::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.fd < 0) return -1;
    struct stat st;
    if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    const int flags = ::fcntl(file.fd, F_GETFL);
    if (flags < 0 || ::fcntl(file.fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return -1;
    return std::exchange(file.fd, -1);
}

bool FileExists(std::string_view path) {
    ScopedFd file{OpenRegularFile(path)};
    return file.fd >= 0;
}

bool DirExists(std::string_view path) {
    if (path.empty()) return false;
    const std::string native = ResolvePath(path);
    struct stat st;
    return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string GetPath(std::string_view path) {
    for (size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) return std::string(path.substr(0, i));
    }
    return {};
}

std::string FileNameOf(std::string_view path) {
    for (size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) return std::string(path.substr(i));
    }
    return std::string(path);
}

std::string JoinPath(std::string_view dir, std::string_view name) {
    if (dir.empty()) return std::string(name);
    std::string out(dir);
    if (!IsSeparator(out.back())) out += '/';
    size_t skip = 0;
    while (skip < name.size() && IsSeparator(name[skip])) ++skip;
    out.append(name.substr(skip));
    return out;
}

std::optional<std::string> ReadFileHead(std::string_view path, size_t count) {
    ScopedFd file{OpenRegularFile(path)};
    if (file.fd < 0) return std::nullopt;
    std::string head(count, '\0');
    size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(file.fd, head.data() + done, count - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    head.resize(done);
    return head;
}

std::optional<std::string> ReadFileBytes(std::string_view path, size_t maxBytes) {
    ScopedFd file{OpenRegularFile(path)};
    if (file.fd < 0) return std::nullopt;
    struct stat st;
    if (::fstat(file.fd, &st) != 0) return std::nullopt;
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) return std::nullopt;
    std::string bytes;
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    // The size may change under us; read until end of file but never beyond the limit. The end is
    // found by a read into a byte of its own: growing the string to look for it would copy the whole
    // file (and fault in its pages) a second time.
    for (;;) {
        if (done == bytes.size()) {
            char probe;
            const ssize_t extra = ::read(file.fd, &probe, 1);
            if (extra == 0) break;
            if (extra < 0 && errno == EINTR) continue;
            if (extra < 0 || bytes.size() >= maxBytes) return std::nullopt;
            bytes.resize(std::min(maxBytes, bytes.size() + std::max<size_t>(65536, bytes.size() / 2)));
            bytes[done++] = probe;
            continue;
        }
        const ssize_t got = ::read(file.fd, bytes.data() + done, bytes.size() - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

std::string ReplaceTarget(std::string_view path, ReplaceRefusal& refusal) {
    std::string target = ResolvePath(path);
    if (char* real = ::realpath(target.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    struct stat st;
    if (target.empty() || ::stat(target.c_str(), &st) != 0) {
        refusal = ReplaceRefusal::Missing;
    } else if (!S_ISREG(st.st_mode)) {
        refusal = ReplaceRefusal::NotAFile;
    } else if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
        refusal = ReplaceRefusal::ReadOnlyFile;
    } else {
        const std::string dir = GetPath(target);
        refusal = ::access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) != 0 ? ReplaceRefusal::ReadOnlyFolder
                                                                            : ReplaceRefusal::None;
    }
    return target;
}

bool WriteFileAtomic(std::string_view path, std::string_view bytes) {
    std::string error;
    return WriteFileAtomic(path, bytes, error);
}

namespace {

bool WriteAtomically(std::string_view path, std::string_view bytes, std::string& error, AtomicWriteFault fault,
                     const std::function<bool()>* beforeRename) {
    error.clear();
    if (path.empty() || IsSeparator(path.back())) {
        error = "no file name";
        return false;
    }
    const std::string target = ResolvePath(path);
    const std::string dir = GetPath(target);
    std::string temp = dir + "." + FileNameOf(target) + ".tmp-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = fault == AtomicWriteFault::CreateTemporary ? (errno = EACCES, -1) : ::mkstemp(name.data());
    if (fd < 0) {
        error = "cannot create a temporary file in " + (dir.empty() ? std::string(".") : dir) + ": " +
                std::strerror(errno);
        return false;
    }
    temp.assign(name.data());
    ScopedFd file{fd};

    auto fail = [&](const char* step) {
        error = std::string(step) + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    };
    // Keep the owner, group and permissions of the file being replaced (root saving a user's stage
    // must not hand it to root); new files get the usual rw-r--r--. A user who may not give the file
    // away keeps at least its group when a member of it. The owner goes first: a change of owner
    // clears the set-id bits that the mode then puts back. The rename gives the path a new file, so
    // other hard links to the old one keep the old content.
    struct stat st;
    const bool replacing = ::stat(target.c_str(), &st) == 0;
    if (replacing && ::fchown(fd, st.st_uid, st.st_gid) != 0)
        (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    const mode_t mode = replacing ? (st.st_mode & 07777) : 0644;
    if (::fchmod(fd, mode) != 0) return fail("cannot set the permissions of the temporary file");
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = fault == AtomicWriteFault::Write ? (errno = ENOSPC, -1)
                                                               : ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return fail("cannot write the temporary file");
        }
        done += static_cast<size_t>(wrote);
    }
    if (fault == AtomicWriteFault::Write && bytes.empty()) {
        errno = ENOSPC;
        return fail("cannot write the temporary file");
    }
    if (::fsync(fd) != 0) return fail("cannot flush the temporary file");
    file.fd = -1;
    if (::close(fd) != 0) return fail("cannot close the temporary file");
    if (beforeRename && *beforeRename && !(*beforeRename)()) {
        errno = ECANCELED;
        return fail("the replace was called off");
    }
    const int renamed = fault == AtomicWriteFault::Replace ? (errno = EBUSY, -1)
                                                           : ::rename(temp.c_str(), target.c_str());
    if (renamed != 0) return fail("cannot replace the file");
    ScopedFd folder{::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd >= 0) ::fsync(folder.fd);
    return true;
}

}  // namespace

bool WriteFileAtomic(std::string_view path, std::string_view bytes, std::string& error,
                     AtomicWriteFault fault) {
    return WriteAtomically(path, bytes, error, fault, nullptr);
}

bool WriteFileAtomic(std::string_view path, std::string_view bytes, const std::function<bool()>& beforeRename) {
    std::string error;
    return WriteAtomically(path, bytes, error, AtomicWriteFault::None, &beforeRename);
}

}  // namespace qb
