#include "stage/stage_writer.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/text_util.h"

namespace qb {

namespace {

// Stage files are a few kilobytes; anything this large is not one.
constexpr size_t kMaxStageFileBytes = 64u * 1024u * 1024u;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool KeyIs(std::string_view line, std::string_view key) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    std::string_view k = line.substr(0, eq);
    while (!k.empty() && IsBlank(k.front())) k.remove_prefix(1);
    while (!k.empty() && IsBlank(k.back())) k.remove_suffix(1);
    return k.size() == key.size() && text::FindNoCase(k, key) == 0;
}

// The line up to and including its first "=", a blank, the value, then the comment with the blanks
// (tabs too) before it. Only called for key lines, whose key holds no ";", so any ";" follows the "=".
std::string ReplaceValue(std::string_view line, std::string_view value) {
    const size_t eq = line.find('=');
    std::string out(line.substr(0, eq + 1));
    out += ' ';
    out += value;
    const size_t semi = line.find(';', eq + 1);
    if (semi != std::string_view::npos) {
        size_t commentStart = semi;
        while (commentStart > eq + 1 && IsBlank(line[commentStart - 1])) --commentStart;
        out += line.substr(commentStart);
    }
    return out;
}

}  // namespace

std::string RewriteMusicLines(std::string_view text, std::string_view newMusicFile, int16_t volume) {
    const std::string volumeText = std::to_string(volume);
    std::vector<std::string> lines;
    bool musicFound = false;
    bool volumeFound = false;
    for (const std::string& line : text::SplitTextLines(text)) {
        if (KeyIs(line, "bgmusic")) {
            lines.push_back(ReplaceValue(line, newMusicFile));
            musicFound = true;
        } else if (KeyIs(line, "bgvolume")) {
            lines.push_back(ReplaceValue(line, volumeText));
            volumeFound = true;
        } else {
            lines.emplace_back(line);
        }
    }

    std::string out;
    out.reserve(text.size() + 64);
    // Missing lines go in relative to the first [music] line only; the volume line after the first
    // later line holding an "=" (the section's first key, in a well-formed file).
    bool sectionSeen = false;
    bool volumePending = false;
    for (const std::string& line : lines) {
        out += line;
        out += "\r\n";
        if (volumePending && line.find('=') != std::string::npos) {
            out += "bgvolume = " + volumeText + "\r\n";
            volumePending = false;
        }
        if (!sectionSeen && text::ContainsNoCase(line, "[music]")) {
            sectionSeen = true;
            if (!musicFound) {
                out += "bgmusic = " + std::string(newMusicFile) + "\r\n";
            } else if (!volumeFound) {
                volumePending = true;
            }
        }
    }
    return out;
}

std::string RewritableStageFile(const std::string& stageFile, const std::string& consequence,
                                std::string& error) {
    error.clear();
    // A stage reached through a symbolic link is rewritten where it lives; the link stays a link.
    ReplaceRefusal refusal = ReplaceRefusal::None;
    const std::string path = ReplaceTarget(stageFile, refusal);
    if (refusal == ReplaceRefusal::Missing || refusal == ReplaceRefusal::NotAFile) {
        error = "The stage file " + stageFile + " does not exist.";
        return {};
    }
    if (refusal == ReplaceRefusal::ReadOnlyFile) {
        error = "The stage file " + stageFile + " is read-only; " + consequence + ".";
        return {};
    }
    if (refusal == ReplaceRefusal::ReadOnlyFolder) {
        error = "The folder of the stage file " + stageFile + " cannot be written; " + consequence + ".";
        return {};
    }
    return path;
}

bool ChangeMusic(const std::string& stageFile, std::string_view newMusicFile, int16_t volume,
                 std::string& error, AtomicWriteFault fault) {
    error.clear();
    // The name becomes one line of the stage: a CR or LF in it would write lines of its own
    // ([BGdef], spr = ...), and other control characters have no place in a file name.
    for (const char c : newMusicFile) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            error = "The music file name holds control characters; the stage file " + stageFile +
                    " was not changed.";
            return false;
        }
    }
    const std::string path = RewritableStageFile(stageFile, "its music was not changed", error);
    if (path.empty()) return false;
    const auto bytes = ReadFileBytes(path, kMaxStageFileBytes);
    if (!bytes) {
        error = "The stage file " + stageFile + " cannot be read: " + std::strerror(errno);
        return false;
    }
    std::string reason;
    if (!WriteFileAtomic(path, RewriteMusicLines(*bytes, newMusicFile, volume), reason, fault)) {
        error = "The stage file " + stageFile + " was left unchanged: " + reason + ".";
        return false;
    }
    return true;
}

}  // namespace qb
