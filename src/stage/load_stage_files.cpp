#include "stage/load_stage_files.h"

#include <filesystem>
#include <system_error>

#include "platform/paths.h"
#include "stage/stage_loader.h"
#include "stage/stage_parser.h"

namespace qb {

namespace {

uint64_t Fnv1a(std::string_view bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

int64_t WriteTimeOf(const std::string& native) {
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(native, ec);
    return ec ? 0 : static_cast<int64_t>(time.time_since_epoch().count());
}

// The reader's boxes are kept for the install step, with where in the load they were asked.
class BoxRecorder : public HeadlessUi {
public:
    explicit BoxRecorder(LoadResult& result) : m_result(result) {}
    MsgAnswer MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons, const std::string&) override {
        m_result.boxes.push_back({text, icon, buttons, m_result.lineNumber, m_result.log.Records().size()});
        return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgAnswer::Yes
                                                                                  : MsgAnswer::Ok;
    }

private:
    LoadResult& m_result;
};

}  // namespace

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    const std::string native = ResolvePath(path);
    std::error_code ec;
    const auto size = std::filesystem::file_size(native, ec);
    if (ec) return stamp;
    stamp.size = static_cast<int64_t>(size);
    if (stamp.size <= kStampHashLimit) {
        if (const auto bytes = ReadFileBytes(native, static_cast<size_t>(kStampHashLimit)))
            stamp.hash = Fnv1a(*bytes);
        return stamp;
    }
    stamp.time = WriteTimeOf(native);
    return stamp;
}

FileStamp StampOfBytes(std::string_view bytes, const std::string& path) {
    FileStamp stamp;
    stamp.size = static_cast<int64_t>(bytes.size());
    if (stamp.size <= kStampHashLimit)
        stamp.hash = Fnv1a(bytes);
    else
        stamp.time = WriteTimeOf(ResolvePath(path));
    return stamp;
}

std::vector<Problem> LoadResult::ProblemsWithBoxes() const {
    std::vector<Problem> out;
    const std::vector<Problem>& records = log.Records();
    size_t next = 0;
    for (const LoadBox& box : boxes) {
        for (; next < box.logIndex && next < records.size(); ++next) out.push_back(records[next]);
        out.push_back(Problem{.kind = ProblemKind::Note, .line = box.line, .text = box.text});
    }
    for (; next < records.size(); ++next) out.push_back(records[next]);
    return out;
}

LoadResult LoadStageFiles(const LoadRequest& request, Progress& progress) {
    LoadResult result;
    BoxRecorder boxes(result);
    StageContext ctx{result.stage,      result.load,     result.log, boxes,
                     result.lineNumber, request.mugeDir, &progress};
    result.defRead = ParseStageDef(ctx, request.defPath);
    const StageSource& source = result.load.Source;
    result.files.push_back(ResolvePath(request.defPath));
    result.stamps.push_back(source.Complete ? StampOfBytes(source.Bytes, request.defPath)
                                            : StampOf(request.defPath));
    result.ok = LoadSpriteFile(request, result, progress);
    if (!result.ok) return result;
    result.camOffsetX = PlaceElements(result.stage, result.load.MinPosY);
    ResolveControllerTargets(result.stage);
    return result;
}

}  // namespace qb
