#pragma once
// quillback-shot: loads a stage exactly as the program does, without a window.
#include <cstdint>
#include <string>

namespace qb {
struct AppState;
}

namespace qb::shot {

struct Options {
    std::string mugeDir;
    std::string programDir;  // empty: a fresh temporary folder
    std::string stage;
    bool info = false;
    bool log = false;
    // Frames.
    int frames = -1;  // -1: not asked for
    std::string out;
    std::string keys;  // "right*30,none*10,down+z*5"
    int speed = 2;     // run speed index (x1/4 .. x4): the clock's pace and the overlay's text
    bool infoOverlay = false;
    bool debugBg = false;
    int every = 0;
    std::string outDir;
    bool bench = false;
    // --bench-gap MS: with --bench, the pause after each frame, as the window's frame limiter leaves
    // between frames (caches go cold meanwhile); the figures then include the processor time a frame
    // costs.
    int benchGapMs = 0;
    // --zoom Z: the camera's zoom for the frames (0: the stage's startzoom).
    double zoom = 0;
    // --overlay NAME,...: the setup overlays drawn over the frames (SetupOverlay bits); --select N:
    // the editor's selected element, counted from 1 (0: none).
    uint8_t overlays = 0;
    int select = 0;
    // Test character.
    std::string charDef;
    // --char2 FILE: player two's character (default: the same as --char); --no-p2: none.
    std::string char2Def;
    bool noP2 = false;
    bool charInfo = false;
    // Music rewrite.
    bool changeMusic = false;
    std::string musicFile;
    bool volumeGiven = false;
    int16_t volume = 0;
    // What the editor's Save Changes (SaveStage) and Command6 (SaveStage2) write, to these files.
    std::string saveStage;
    std::string saveStage2;
    // --lint DIR: every stage under DIR is checked; --json for one JSON document.
    std::string lintDir;
    bool json = false;
    // --jobs N: stages checked at once by --lint (0: as many as the processor has cores).
    int jobs = 0;
    // --install-package ZIP: installs the package into --mugen DIR's stages folder; --replace replaces
    // an installed folder of the same name, --add-to-select adds its stages to data/select.def.
    std::string installPackage;
    bool replace = false;
    bool addToSelect = false;
    // --sff-info FILE: a sprite file's nodes and decoded pictures, as CRCs.
    std::string sffInfo;
    // --thumbnail IN OUT SIZE: the stage's first frame, scaled to fit SIZE, as a PNG at OUT.
    std::string thumbnailOut;
    // --entry ENTRY: the stage of a package to open ("stages/city.def"), without asking.
    std::string entry;
    int thumbnailSize = 0;
};

// Draws frames of the loaded stage in `state` (--frames, --every, --bench) and writes the pictures
// asked for. Called by RunShot after the stage loaded. Answers the process exit status.
int RunFrames(AppState& state, const Options& options);

// --thumbnail: draws the loaded stage's first frame and writes it scaled down. Answers 0 when the
// picture was written, 1 when not.
int RunThumbnail(AppState& state, const Options& options);

// The MUGEN directory a stage lies in, for a stage given without --mugen (a file manager's
// thumbnailer): the folder holding the nearest "stages" folder above the file (any letter case),
// ending in '/'; empty when there is none.
std::string MugenDirAbove(const std::string& stagePath);

// Answers 0 when the stage loaded, 1 when it did not, 2 for a usage error.
int RunShot(const Options& options);

// --char-info: loads the character as the program does and prints it. Answers 0 when it loaded,
// 1 when it was refused.
int RunCharInfo(const Options& options);

// --sff-info: prints the sprite file's dump. Answers 0 when it was read, 1 (with the reason on standard
// error) when it was refused.
int RunSffInfo(const Options& options);

// --change-music: rewrites the stage file's music and volume lines as the music chooser does.
// Answers 0 when the file was rewritten, 1 (with the reason on standard error) when not.
int RunChangeMusic(const Options& options);

// --install-package: answers 0 when the package was installed (and listed, with --add-to-select),
// 1 (with the reason on standard error) when not.
int RunInstallPackage(const Options& options);

}  // namespace qb::shot
