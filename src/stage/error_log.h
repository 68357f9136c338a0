#pragma once
// The error log and the one message box for trapped run-time errors. Both live below the application
// shell because the definition reader, the stage list and the character code report through them too.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

class Ui;

// How the entries for a sprite file that is not one and for music that could not be played begin
// (the file follows).
inline constexpr std::string_view kUnreadableSpriteFileEntry = "Not a readable sprite file: ";
inline constexpr std::string_view kDamagedSpriteEntry = "Damaged sprite ";
inline constexpr std::string_view kMusicNotPlayedEntry = "Could not play the music file ";

// What a log entry is about. Readers of the log (the lint, the reload, the tests) go by the kind and
// the fields, never by the entry's wording.
enum class ProblemKind : uint8_t {
    Note,                  // an entry of free text (package notes, remarks of the commands)
    ReaderError,           // a value the definition reader could not convert
    StrayCharacter,        // a number followed by a character that cannot belong to it: the number is read
    NegativeTileX,         // "TileX < 0": the element's tile count read as 1
    NegativeTileY,         // "TileY < 0"
    WindowDelta,           // windowdelta is read but not drawn (classic stages; modern ones draw it)
    ParseRemark,           // what the parse left out (too many sections, a controller without a group)
    UnreadableSpriteFile,  // the sprite file is there but is not one (`text`: why, when known)
    DamagedSprite,         // one sprite of a version 2 file cannot be decoded (`text`: "g,i in file: why")
    SpritesNotRead,        // a version 1 file holds fewer readable sprites than it says (`code` of
                           // `subject` sprites; `text`: why)
    MusicNotPlayed,        // the stage's music could not be played
    PackageNote,           // what opening a package said about entries it left out
    Edited,                // text the user typed into the log window: shown exactly as typed
};

// One entry. `file` is the file it concerns (the definition, the sprite file, the music), `line` the
// definition's line (0 when not known), `text` what is wrong: for a reader error its description
// ("Type mismatch"), for a stray character its name ("U+202C", or "x" in quotes), for unplayed music
// the media player's reason, for a note the entry itself. `subject` is the text the problem quotes
// (the line the reader choked on); `code` the reader's error number; `column` where in `subject` the
// problem stands (1-based, 0 when it does not say).
struct Problem {
    ProblemKind kind = ProblemKind::Note;
    std::string file;
    int32_t line = 0;
    std::string text;
    std::string subject;
    int32_t code = 0;
    int32_t column = 0;
    bool operator==(const Problem&) const = default;
};

// The entry as the log window shows it, its line end included.
std::string RenderProblem(const Problem& problem);

// The records in the order they were made, and their text as the log window shows it: one entry after
// another, each ending its line (CR LF, the log's line end, which the log window shows as a line break)
// so that short remarks such as "TileX < 0" appended one after the other stay readable; an entry that
// already ends in a line end gets no second one.
class ErrorLog {
public:
    const std::string& Text() const { return m_text; }
    const std::vector<Problem>& Records() const { return m_records; }
    // A note of free text.
    void Append(std::string_view entry);
    void Add(Problem problem);
    void AddAll(const std::vector<Problem>& problems);
    void Clear();
    // What the user left in the log window: one entry, shown as typed.
    void SetText(std::string text);
    // Only the first `count` records are kept.
    void Truncate(size_t count);

private:
    std::vector<Problem> m_records;
    std::string m_text;
};

// The entry whose text holds line `textLine` (0-based) of the log's text as the log window shows it
// (CR LF, CR and LF each end a line); null past the end.
const Problem* ProblemAtTextLine(const ErrorLog& log, size_t textLine);

// "An ERROR has occurred!!" CR LF module " " procedure ": " number " - " description.
std::string HandleErrorMessage(const std::string& module, const std::string& procedure, int32_t number,
                               const std::string& description);
// Shows that message with an exclamation icon, OK and the application title.
void HandleError(Ui& ui, const std::string& module, const std::string& procedure, int32_t number,
                 const std::string& description);

}  // namespace qb
