#pragma once
// Files and paths. Text from content and configuration may use `\` or `/` and a letter case that does
// not match the disk (it was written on Windows); every look-up goes through ResolvePath.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qb {

// `\` becomes `/`; nothing is looked up.
std::string ToNativePath(std::string_view text);

// The native path of `text`: both separators accepted; each component that does not exist with the
// exact letter case is matched without regard to ASCII case against its folder's entries (an exact
// match always wins; among several case-insensitive matches the first in byte order). Components that
// match nothing are kept as written, so the result also names files still to be created. A trailing
// separator is kept.
std::string ResolvePath(std::string_view text);

// The one way files named by content, the configuration or the user are opened for reading: a
// descriptor (close it) when the resolved path names a regular file, -1 otherwise. A FIFO or a device
// would block a plain open until a writer came, so the open does not wait and the type is checked on
// the open descriptor before reads are made blocking again.
int OpenRegularFile(std::string_view path);
// True when the path names a regular file that can be opened for reading. Never reports errors.
bool FileExists(std::string_view path);
// True when the path names a folder. Never reports errors.
bool DirExists(std::string_view path);
// The text up to and including the last `\` or `/`; empty when there is none. Pure text.
std::string GetPath(std::string_view path);
// The text after the last `\` or `/` (the whole text when there is none). Pure text.
std::string FileNameOf(std::string_view path);
// `dir` and `name` with one separator between them (a `dir` ending in `\` or `/` keeps it).
std::string JoinPath(std::string_view dir, std::string_view name);

// The first `count` bytes of the file (fewer when it is shorter), or nullopt when it cannot be read.
std::optional<std::string> ReadFileHead(std::string_view path, size_t count);
// The whole file, or nullopt when it cannot be read or is larger than `maxBytes`.
std::optional<std::string> ReadFileBytes(std::string_view path, size_t maxBytes);
// Replaces the file's content all at once: the bytes go to a temporary file in the same folder, which is
// flushed to disk and renamed over the target. On failure the target is untouched and no temporary file
// is left behind.
bool WriteFileAtomic(std::string_view path, std::string_view bytes);
// The same, with `beforeRename` called once the temporary file is complete and flushed: when it
// answers false nothing is renamed and the target is untouched (lets tests fail the last step).
bool WriteFileAtomic(std::string_view path, std::string_view bytes, const std::function<bool()>& beforeRename);

// Why a file cannot be replaced where it is (ReplaceTarget).
enum class ReplaceRefusal { None, Missing, NotAFile, ReadOnlyFile, ReadOnlyFolder };
// The file a replacement of `path` must write: `path` resolved, and through symbolic links the file
// they name, so that a link stays a link and its target gets the new content. `refusal` says why it
// cannot be replaced, in this order: it is not there, it is not a regular file, it has no write
// permission at all (read-only even for a user the system would let write it) or cannot be written,
// its folder cannot be written (an atomic replace makes a file beside it). Looks, changes nothing.
std::string ReplaceTarget(std::string_view path, ReplaceRefusal& refusal);

// A step of WriteFileAtomic made to fail, so that tests can show the target survives each of them.
enum class AtomicWriteFault { None, CreateTemporary, Write, Replace };
// WriteFileAtomic that says why it failed in `error` (empty on success).
bool WriteFileAtomic(std::string_view path, std::string_view bytes, std::string& error,
                     AtomicWriteFault fault = AtomicWriteFault::None);

}  // namespace qb
