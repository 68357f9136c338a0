#include "library/sprite_users.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "platform/paths.h"
#include "platform/ports.h"
#include "platform/sff2_file.h"
#include "platform/sff_file.h"
#include "platform/text_util.h"
#include "stage/def_reader.h"
#include "stage/error_log.h"
#include "stage/stage_loader.h"

namespace qb {

namespace {

namespace fs = std::filesystem;

// A definition larger than this is not a stage anyone wrote by hand.
constexpr size_t kMaxDefBytes = 4u << 20;
// Subfolders of the stages folder looked into; deeper ones hold no stages MUGEN would list.
constexpr int kMaxDepth = 8;

bool IsDefName(const fs::path& path) {
    return text::Lower(path.extension().string()) == ".def";
}

// The folder's definition files (with subfolders when `deep`), added to `found`.
void CollectDefs(const std::string& folder, bool deep, std::set<std::string>& found) {
    std::error_code ec;
    const fs::path root(ResolvePath(folder));
    if (!fs::is_directory(root, ec)) return;
    if (!deep) {
        for (fs::directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
             it.increment(ec))
            if (IsDefName(it->path()) && it->is_regular_file(ec)) found.insert(it->path().string());
        return;
    }
    fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (it.depth() >= kMaxDepth) it.disable_recursion_pending();
        if (IsDefName(it->path()) && it->is_regular_file(ec)) found.insert(it->path().string());
    }
}

// The "spr" values of a definition, read as the stage parser reads them.
std::vector<std::string> SpriteValues(const std::string& defPath) {
    std::vector<std::string> values;
    const auto bytes = ReadFileBytes(defPath, kMaxDefBytes);
    if (!bytes) return values;
    // Complaints about other stages' lines are not the business of whoever asks.
    ErrorLog scratchLog;
    HeadlessUi quiet;
    int32_t lineNumber = 0;
    ReaderContext reader{scratchLog, quiet, lineNumber, {}};
    size_t start = 0;
    while (start < bytes->size()) {
        size_t end = bytes->find_first_of("\r\n", start);
        if (end == std::string::npos) end = bytes->size();
        std::string line = bytes->substr(start, end - start);
        std::replace(line.begin(), line.end(), '\t', ' ');  // as the line source cleans a line
        std::string value;
        int16_t index = 0;
        if (ReadDefValue(reader, line, "spr", value, index, ReadFlags::KeepBlanks) && !value.empty())
            values.push_back(value);
        start = end + 1;
    }
    return values;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

// Where loading would find the sprite file named by `spr` in `defPath`.
std::string LocatedSprite(const std::string& spr, const std::string& defPath, const std::string& mugeDir) {
    std::string located = LocateSpriteFile(spr, defPath, mugeDir);
    if (located.empty() || !FileExists(located)) located = SpriteFileBesideDef(spr, defPath);
    return ResolvePath(located);
}

// True when `path` lies inside the folder `root`: the folder holding it, with links and "..", is
// `root` or below it. The file's own name is not followed, as the trash moves a link itself.
bool LiesInside(const std::string& path, const std::string& root) {
    std::error_code ec;
    const fs::path file(path);
    const fs::path folder = fs::weakly_canonical(file.parent_path(), ec);
    if (ec || file.filename().empty() || file.filename() == ".." || file.filename() == ".") return false;
    std::string rootText = root;
    while (rootText.size() > 1 && rootText.back() == '/') rootText.pop_back();
    const fs::path top = fs::weakly_canonical(rootText, ec);
    if (ec || top.empty()) return false;
    const fs::path below = folder.lexically_relative(top);
    return !below.empty() && *below.begin() != "..";
}

bool ReadsAsSpriteFile(const std::string& path) {
    // Both headers fit in the first 36 bytes.
    const auto head = ReadFileHead(path, 64);
    return head && (ReadSffHeader(*head) || IsSff2(*head));
}

}  // namespace

StageFilesToTrash StageFilesForDelete(const std::string& stageFile, const std::string& spriteFile,
                                      const std::string& stagesFolder, const std::string& mugeDir) {
    StageFilesToTrash plan;
    const std::string stage = ResolvePath(stageFile);
    if (FileExists(stage)) plan.moved.push_back(stage);
    if (const std::string backup = ResolvePath(stage + ".bak"); FileExists(backup))
        plan.moved.push_back(backup);
    if (spriteFile.empty()) return plan;
    const std::string sprite = ResolvePath(spriteFile);
    if (!FileExists(sprite)) return plan;
    plan.keptSprite = sprite;
    if (mugeDir.empty() || !LiesInside(sprite, ResolvePath(mugeDir))) {
        plan.keptBecause = "it lies outside the MUGEN directory";
    } else if (!ReadsAsSpriteFile(sprite)) {
        plan.keptBecause = "it is not a sprite file";
    } else if (plan.users = StagesUsingSprite(stageFile, sprite, stagesFolder, mugeDir);
               !plan.users.empty()) {
        plan.keptBecause = "other stages use it";
    } else {
        plan.keptSprite.clear();
        plan.moved.push_back(sprite);
    }
    return plan;
}

std::vector<std::string> StagesUsingSprite(const std::string& stageFile, const std::string& spriteFile,
                                           const std::string& stagesFolder, const std::string& mugeDir) {
    std::vector<std::string> users;
    const std::string sprite = ResolvePath(spriteFile);
    if (spriteFile.empty() || !FileExists(sprite)) return users;
    std::set<std::string> candidates;
    CollectDefs(GetPath(ResolvePath(stageFile)), false, candidates);
    if (!stagesFolder.empty()) CollectDefs(stagesFolder, true, candidates);
    const std::string self = ResolvePath(stageFile);
    for (const std::string& def : candidates) {
        if (SameFile(def, self)) continue;
        for (const std::string& spr : SpriteValues(def)) {
            if (SameFile(LocatedSprite(spr, def, mugeDir), sprite)) {
                users.push_back(def);
                break;
            }
        }
    }
    return users;
}

std::string SpriteKeptText(const std::string& spriteFile, const std::vector<std::string>& users,
                           const std::string& stagesFolder) {
    std::string text = "The sprite file\r\n" + spriteFile + "\r\nwas kept because other stages use it:";
    std::error_code ec;
    std::string folder = ResolvePath(stagesFolder);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();  // "stages/" names the folder
    const fs::path stages = folder.empty() ? fs::path() : fs::weakly_canonical(folder, ec);
    for (size_t i = 0; i < users.size() && i < kSpriteUsersNamed; ++i) {
        const fs::path user(users[i]);
        std::string name = user.filename().string();
        if (!stages.empty()) {
            const fs::path below = fs::weakly_canonical(user, ec).lexically_relative(stages);
            if (!ec && !below.empty() && *below.begin() != "..") name = below.string();
        }
        if (text::Lower(name).size() >= 4 && text::Lower(name).substr(name.size() - 4) == ".def")
            name.resize(name.size() - 4);
        text += "\r\n" + name;
    }
    if (users.size() > kSpriteUsersNamed)
        text += "\r\nand " + std::to_string(users.size() - kSpriteUsersNamed) + " more.";
    return text;
}

}  // namespace qb
