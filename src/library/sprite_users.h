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

}  // namespace qb
