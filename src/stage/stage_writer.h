#pragma once
// Writing stage definitions back: the music rewrite of the music chooser.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/paths.h"
#include "stage/stage_model.h"

namespace qb {

// The stage text with its "bgmusic" and "bgvolume" lines given new values, every other byte kept.
// The lines are the ones the parser reads the stage's music and volume from (the source map's; the
// last of several), so the rewrite changes what a load then reads. A line ends at CR LF, CR or LF,
// as when stages are read, and keeps its own line end; an inserted line ends as most lines of the
// file do (CR LF in a file without line ends), and a file without a final line end still has none.
// A rewritten line keeps its text up to and including the "=", then a blank, the value, and any
// comment with the blanks before it. When the music line is missing, a "bgmusic = " line goes right
// after the first [Music] header, followed by a "bgvolume = " line when that is missing too; when
// only the volume line is missing, it goes after the music line when that stands in the section, else
// right after the header. A file without a [Music] section gets no inserted lines.
std::string RewriteMusicLines(std::string_view text, std::string_view newMusicFile, int16_t volume);
// The same for the definition the source map was made from (source.Bytes).
std::string RewriteMusicLines(const StageSource& source, std::string_view newMusicFile, int16_t volume);

// The file a rewrite of `stageFile` replaces: the target of a symbolic link (the link stays a link),
// which must be a regular file with write permission in a folder that can be written. Empty when it
// is not, with `error` naming the stage file and ending in `consequence` ("its music was not
// changed").
std::string RewritableStageFile(const std::string& stageFile, const std::string& consequence,
                                std::string& error);

// Keeps `original`, the text `target` holds before its first rewrite, as "<target>.bak". An existing
// backup is never overwritten, so it stays the author's own version. False, with `error`, when it could
// not be written.
bool KeepBackup(const std::string& target, std::string_view original, std::string& error);

// ChangeMusic: rewrites `stageFile` as above, keeping its backup as KeepBackup does (a rewrite that
// changes no byte writes nothing). A file without a "[music]" line is refused: it has no place for
// the keys. The file is replaced in one step (a temporary file in its
// own folder, flushed, renamed over it, owner, group and permissions kept), so it is never lost: on
// any failure it stays as it was and `error` says why. A music name with control characters, a
// read-only file or a folder that cannot be written is refused before anything is written. The
// rename gives the path a new file: a stage hard-linked elsewhere is split, the other names keep the
// old content. `fault` makes one step of the replacement fail (tests).
bool ChangeMusic(const std::string& stageFile, std::string_view newMusicFile, int16_t volume,
                 std::string& error, AtomicWriteFault fault = AtomicWriteFault::None);

}  // namespace qb
