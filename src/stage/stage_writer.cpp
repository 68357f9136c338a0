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
#include "stage/stage_parser.h"

namespace qb {

namespace {

// Stage files are a few kilobytes; anything this large is not one.
constexpr size_t kMaxStageFileBytes = 64u * 1024u * 1024u;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The line the parser read `key` of the stage from (the last of several), or null when it read none.
EndedLine* StageKeyLine(const StageSource& source, const std::string& key, std::vector<EndedLine>& lines) {
    const auto at = source.StageKeys.find(key);
    if (at == source.StageKeys.end() || at->second < 1 || static_cast<size_t>(at->second) > lines.size())
        return nullptr;
    return &lines[static_cast<size_t>(at->second) - 1];
}

// The first [Music] section the parser saw, or null.
const SourceSection* MusicSection(const StageSource& source) {
    for (const SourceSection& section : source.Sections)
        if (section.Header > 0 && section.Name == "music") return &section;
    return nullptr;
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
    return RewriteMusicLines(MapStageSource(std::string(text)), newMusicFile, volume);
}

std::string RewriteMusicLines(const StageSource& source, std::string_view newMusicFile, int16_t volume) {
    const std::string_view text = source.Bytes;
    const std::string volumeText = std::to_string(volume);
    std::vector<EndedLine> lines = SplitKeepingEnds(text);
    // The lines the parser took the music and its volume from: the lines whose values the stage has.
    EndedLine* music = StageKeyLine(source, "bgmusic", lines);
    EndedLine* volumeLine = StageKeyLine(source, "bgvolume", lines);
    if (music) music->body = ReplaceValue(music->body, newMusicFile);
    if (volumeLine) volumeLine->body = ReplaceValue(volumeLine->body, volumeText);

    // Inserted lines end as the file's lines mostly do: most stages use LF only, and one that does
    // must not come back with a line of another kind.
    const std::string eol = DominantEol(lines);
    std::string out;
    out.reserve(text.size() + 64);
    // The missing lines go into the first [Music] section: a missing music line right after its
    // header (the volume line with it when that is missing too: the chooser writes both), a missing
    // volume line alone after the music line when that stands in the section, else after the header.
    std::vector<std::vector<std::string>> inserts(lines.size());
    const SourceSection* section = MusicSection(source);
    if (section && static_cast<size_t>(section->Header) <= lines.size()) {
        const size_t header = static_cast<size_t>(section->Header) - 1;
        const size_t musicAt = music ? static_cast<size_t>(music - lines.data()) : 0;
        const bool musicInSection = music && musicAt > header && musicAt < static_cast<size_t>(section->LastLine);
        if (!music) inserts[header].push_back("bgmusic = " + std::string(newMusicFile));
        if (!volumeLine) inserts[musicInSection ? musicAt : header].push_back("bgvolume = " + volumeText);
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
    // The lines to change are the ones the parser reads the music from, found by reading the file as
    // it is on disk now (another program may have saved it since the stage was loaded).
    const StageSource source = MapStageSource(*bytes);
    // Keys go into a section; one added at the end would follow the elements, where they are not read.
    if (!MusicSection(source)) {
        error = "The stage file " + stageFile + " has no [Music] section; its music was not changed.";
        return false;
    }
    const std::string rewritten = RewriteMusicLines(source, newMusicFile, volume);
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
