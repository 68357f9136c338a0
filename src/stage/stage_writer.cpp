#include "stage/stage_writer.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/text_util.h"
#include "stage/ended_lines.h"

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
    std::vector<EndedLine> lines = SplitKeepingEnds(text);
    bool musicFound = false;
    bool volumeFound = false;
    for (EndedLine& line : lines) {
        if (KeyIs(line.body, "bgmusic")) {
            line.body = ReplaceValue(line.body, newMusicFile);
            musicFound = true;
        } else if (KeyIs(line.body, "bgvolume")) {
            line.body = ReplaceValue(line.body, volumeText);
            volumeFound = true;
        }
    }

    // Inserted lines end as the file's lines mostly do: most stages use LF only, and one that does
    // must not come back with a line of another kind.
    const std::string eol = DominantEol(lines);
    std::string out;
    out.reserve(text.size() + 64);
    // The missing lines go in relative to the first [music] line only: a missing music line right
    // after it (the volume line with it when that is missing too: the chooser writes both), a missing
    // volume line alone after the first later line holding an "=" (the section's first key, in a
    // well-formed file), or after the [music] line when no such line follows.
    std::vector<std::vector<std::string>> inserts(lines.size());
    const auto hasKey = [](const EndedLine& l) { return l.body.find('=') != std::string::npos; };
    const auto section = std::find_if(lines.begin(), lines.end(), [](const EndedLine& l) {
        return text::ContainsNoCase(l.body, "[music]");
    });
    if (section != lines.end()) {
        const auto key = musicFound ? std::find_if(section + 1, lines.end(), hasKey) : section;
        if (!musicFound) inserts[section - lines.begin()].push_back("bgmusic = " + std::string(newMusicFile));
        if (!volumeFound)
            inserts[(key == lines.end() ? section : key) - lines.begin()].push_back("bgvolume = " +
                                                                                    volumeText);
    }
    for (size_t n = 0; n < lines.size(); ++n) {
        const EndedLine& line = lines[n];
        const std::vector<std::string>& inserted = inserts[n];
        out += line.body;
        // A file's last line without a line end needs one before the inserted lines, and the last
        // of them goes without one, so the file still ends as it did.
        const bool lastWithoutEnd = line.eol.empty();
        out += lastWithoutEnd && !inserted.empty() ? eol : line.eol;
        for (size_t i = 0; i < inserted.size(); ++i) {
            out += inserted[i];
            if (!(lastWithoutEnd && i + 1 == inserted.size())) out += eol;
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

bool KeepBackup(const std::string& target, std::string_view original, std::string& error) {
    const std::string backup = target + ".bak";
    if (FileExists(backup)) return true;
    std::string reason;
    if (WriteFileAtomic(backup, original, reason)) return true;
    error = "Cannot keep the previous file as " + backup + ": " + reason;
    return false;
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
    // Keys go into a section; one added at the end would follow the elements, where they are not read.
    if (!text::ContainsNoCase(*bytes, "[music]")) {
        error = "The stage file " + stageFile + " has no [Music] section; its music was not changed.";
        return false;
    }
    const std::string rewritten = RewriteMusicLines(*bytes, newMusicFile, volume);
    if (rewritten == *bytes) return true;
    if (!KeepBackup(path, *bytes, error)) {
        error += "; the stage file " + stageFile + " was left unchanged.";
        return false;
    }
    std::string reason;
    if (!WriteFileAtomic(path, rewritten, reason, fault)) {
        error = "The stage file " + stageFile + " was left unchanged: " + reason + ".";
        return false;
    }
    return true;
}

}  // namespace qb
