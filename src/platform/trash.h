#pragma once
// The desktop's trash as the freedesktop.org rules lay it out: a trash folder holds files/ (the
// trashed files) and info/ (one NAME.trashinfo per file, saying where it came from and when). Files
// go to the per-user trash under the data folder when they live on its disk, otherwise to the trash
// at the top of their own disk ($topdir/.Trash/$uid or $topdir/.Trash-$uid): a trash on another disk
// would need a copy, and a copy that fails halfway could lose the file.
#include <string>

#include "platform/data_dirs.h"

namespace qb {

// $XDG_DATA_HOME/Trash, or $HOME/.local/share/Trash when XDG_DATA_HOME is unset, empty or relative;
// empty without a usable HOME either.
std::string HomeTrashDir(const EnvLookup& env);
// The same from the process's environment.
std::string FindHomeTrashDir();

// Why the file cannot be taken out of its folder (the folder is read-only, or sticky and not the
// user's), or that it is not there; empty when it can. Looks, changes nothing.
std::string RemovalProblem(const std::string& path);

struct TrashResult {
    bool ok = false;
    std::string trashedAs;  // where the file now is (inside a files/ folder of a trash)
    std::string error;      // why it was not moved; the file is then where it was
};

// Moves the file (a symbolic link is moved itself, not what it names) into the trash. `homeTrash` is
// the per-user trash (HomeTrashDir); it and its files/ and info/ folders are created when missing, each
// new level with mode 0700. The info file is written first, under a name no other trashed file uses;
// then the file is renamed into files/ and is checked to have arrived there.
TrashResult MoveToTrash(const std::string& path, const std::string& homeTrash);

}  // namespace qb
