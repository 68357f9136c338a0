#pragma once
// The one way a stage is read from disk. LoadStageFiles reads the definition once and the sprite file
// once and answers everything running the stage needs: the placed model with its sprites, the
// problems, the source map, the message boxes to show and what the files held. It touches nothing
// else; putting the result into the running program is the application's InstallStage.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ports.h"
#include "stage/error_log.h"
#include "stage/stage_model.h"

namespace qb {

// The load's only way out while it runs: the window keeps answering while a large sprite file is
// indexed, and its caption tells which stage is coming.
class Progress {
public:
    virtual ~Progress() = default;
    // One step of the sprite file's index: a chance to service pending window messages.
    virtual void Step() {}
    virtual void Caption(const std::string& caption) { (void)caption; }
};

// Progress shown through a Ui: steps service its messages, captions become its caption.
class UiProgress : public Progress {
public:
    explicit UiProgress(Ui& ui) : m_ui(ui) {}
    void Step() override { m_ui.DoEvents(); }
    void Caption(const std::string& caption) override { m_ui.SetCaption(caption); }

private:
    Ui& m_ui;
};

// What a watched file held: files up to kStampHashLimit bytes are compared by content (a save that
// changed nothing, or the program's own write, does not reload), larger ones by size and time.
inline constexpr int64_t kStampHashLimit = 1 << 20;
struct FileStamp {
    int64_t size = -1;  // -1: missing
    int64_t time = 0;
    uint64_t hash = 0;
    bool operator==(const FileStamp&) const = default;
};
// Reads (or, past kStampHashLimit, looks at) the file.
FileStamp StampOf(const std::string& path);
// The stamp of bytes already read from `path` (only a file past kStampHashLimit is looked at again,
// for its time).
FileStamp StampOfBytes(std::string_view bytes, const std::string& path);

// A message box the load asks for, in the order asked: `line` is the reader's line counter then, and
// `logIndex` the number of log records made before it.
struct LoadBox {
    std::string text;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    int32_t line = 0;
    size_t logIndex = 0;
};

struct LoadRequest {
    std::string defPath;
    std::string mugeDir;  // ends in a separator (may be empty)
};

struct LoadResult {
    // The sprite file was found: the stage can run. False leaves the "COULD NOT BE FOUND!" box.
    bool ok = false;
    // The definition's bytes were read (false: "Could not open" is among the problems).
    bool defRead = false;
    StageModel stage;        // parsed, sprites indexed, matched and decoded, elements placed
    StageLoadState load;     // the music's path, the source map (load.Source), the placement's MinPosY
    int16_t camOffsetX = 0;  // the camera's horizontal start offset for the placement
    ErrorLog log;            // the problems
    std::vector<LoadBox> boxes;
    int32_t lineNumber = 0;  // the reader's line counter at the end
    // The definition and the resolved sprite file (when found), and what each held when read.
    std::vector<std::string> files;
    std::vector<FileStamp> stamps;
    // The problems with the boxes' texts among them where they were asked (a load nobody watches
    // tells its boxes in its log).
    std::vector<Problem> ProblemsWithBoxes() const;
};

// Reads request.defPath and its sprite file, each once, into a result.
LoadResult LoadStageFiles(const LoadRequest& request, Progress& progress);

}  // namespace qb
