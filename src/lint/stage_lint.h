#pragma once
// Checking stage definitions in bulk: every stage under a folder is loaded the way the window loads it,
// and what went wrong is listed as problems (what the error log recorded, a sprite file that is
// missing or unreadable, sprites and animations the elements name but the files lack, controllers
// that reach no element, music that is not there, stages that do not load).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "stage/error_log.h"

namespace qb {

// Unsupported is not a fault of the definition: it names what the preview does not draw yet (keys
// of later engine versions, remarks of the parse), where the engine may show the stage differently.
enum class LintKind { Definition, SpriteFile, Sprite, Action, Controller, Music, Load, Unsupported };
inline constexpr std::array<LintKind, 8> kLintKinds = {
    LintKind::Definition, LintKind::SpriteFile, LintKind::Sprite, LintKind::Action,
    LintKind::Controller, LintKind::Music,      LintKind::Load,   LintKind::Unsupported};
// "definition", "sprite-file", "sprite", "action", "controller", "music", "load", "unsupported".
const char* LintKindName(LintKind kind);

struct LintProblem {
    LintKind kind = LintKind::Definition;
    int32_t line = 0;     // line of the definition it concerns; 0 when not known
    std::string message;  // UTF-8
};

struct StageLint {
    std::string stageName;  // the definition's name without its quotes, UTF-8 (empty when it did not load)
    bool loaded = false;
    std::vector<LintProblem> problems;
    int Count(LintKind kind) const;
    // Problems that are faults of the stage (every kind but Unsupported).
    int Faults() const;
};

// The stage definitions under `dir`, subfolders included, sorted without regard to case. A ".def" file
// counts when the program's own test takes it for a stage (a line mentions "camera") and it has a
// [BGdef] or [StageInfo] section: character, screen-pack and other definitions are left out and
// listed in `skipped`. Stage packages (".zip" in any letter case) found on the way go to `packages`,
// sorted the same way. Symbolic links to folders are not followed.
std::vector<std::string> FindStageDefinitions(const std::string& dir,
                                              std::vector<std::string>* skipped = nullptr,
                                              std::vector<std::string>* packages = nullptr);

// The MUGEN directory for stages under `dir`: the parent of a folder named "stages"; a folder that
// holds a "stages" folder (a MUGEN directory or a pack laid out like one) itself; any other folder
// itself too, so that "stages/x.sff" falls back to the definition's folder as it does for a stage
// opened from elsewhere. Ends in a separator.
std::string LintMugeDir(const std::string& dir);

// Loads `defPath` as the window loads a stage (LoadStageFiles: its message boxes become problems, no
// music plays) and lists its problems; `notes` are records the log starts with (a package's notes
// about entries it left out). Needs the graphics library started.
StageLint LintDefinition(const std::string& mugeDir, const std::string& defPath,
                         const std::vector<Problem>& notes = {});
// The stage of a package, as the window opens it.
struct PackageLint {
    std::string entry;  // the package entry of the definition the window opens; empty when none opened
    StageLint lint;
};

// Opens the package at `zipPath` as the window does and lints every stage definition it offers, in the
// package's listing order (one entry, with an empty `entry`, when it opens none). What opening the
// package says is told once, with the first stage. The package is
// extracted into a private folder made inside `temp` and removed again afterwards; its stages load
// with `mugeDir`. A package
// the window would refuse (unreadable, empty, without a stage definition) has one "load" problem per
// message box the window shows; boxes and notes about entries left out (hostile names, symbolic
// links, passwords) are "load" problems of the stage.
std::vector<PackageLint> LintPackage(const std::string& mugeDir, const std::string& temp,
                                     const std::string& zipPath);

}  // namespace qb
