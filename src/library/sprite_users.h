#pragma once
// Which stages use a sprite file: deleting a stage must not take away pictures other stages draw.
#include <cstddef>
#include <string>
#include <vector>

namespace qb {

// The stage definitions other than `stageFile` whose "spr" leads to `spriteFile` (the same file on
// disk, found the way loading finds it: relative to `mugeDir`, else beside the definition). Looked at:
// every definition in `stageFile`'s own folder and every one in `stagesFolder` and its subfolders.
// Answers their paths, sorted; unreadable files and folders are skipped.
std::vector<std::string> StagesUsingSprite(const std::string& stageFile, const std::string& spriteFile,
                                           const std::string& stagesFolder, const std::string& mugeDir);

// How many of the users the kept-sprite box names; the rest are counted.
inline constexpr size_t kSpriteUsersNamed = 5;

// The box telling that `spriteFile` was kept: the first kSpriteUsersNamed users, each named by its path
// below `stagesFolder` (or by its file name) without ".def", then how many more there are.
std::string SpriteKeptText(const std::string& spriteFile, const std::vector<std::string>& users,
                           const std::string& stagesFolder);

// What Delete moves to the trash for a stage opened as a file: only the stage's own files.
struct StageFilesToTrash {
    // The definition, then its backup ("<definition>.bak") when there is one, then the sprite file when
    // it goes too. Each names an existing file.
    std::vector<std::string> moved;
    // The sprite file that stays (empty when it goes or there is none) and why, as a sentence.
    std::string keptSprite;
    std::string keptBecause;
    // The other stages using the kept sprite file (empty unless that is why it stays).
    std::vector<std::string> users;
};

// Decides StageFilesToTrash. A stage's "spr" is any path (`../outside/thesis.txt` loads as a broken
// sprite file), so the sprite file goes only when it is the stage's: inside `mugeDir` (its folder
// followed through links; a link itself is moved, never what it names), read as a sprite file of either
// version, and used by no other stage (StagesUsingSprite).
StageFilesToTrash StageFilesForDelete(const std::string& stageFile, const std::string& spriteFile,
                                      const std::string& stagesFolder, const std::string& mugeDir);

}  // namespace qb
