// quillback-shot: the headless front end. Loads a stage exactly as the program does and prints what
// it loaded, or draws frames of it.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "app/char_commands.h"
#include "session/load_stage.h"
#include "library/open_package.h"
#include "app/run_loop.h"
#include "session/stage_session.h"
#include "app/startup.h"
#include "character/load_character.h"
#include "library/open_stage.h"
#include "library/thumbnail.h"
#include "cli/shot.h"
#include "cli/shot_info.h"
#include "cli/shot_lint.h"
#include "render/setup_overlays.h"
#include "platform/gfx.h"
#include "platform/paths.h"
#include "platform/ports.h"
#include "platform/sff2_decoder.h"
#include "platform/sff_decoder.h"
#include "platform/stop_signals.h"
#include "platform/text_util.h"
#include "stage/error_log.h"
#include "stage/stage_writer.h"
#include "stage/save_stage.h"

namespace qb::shot {

namespace {

constexpr const char* kUsage =
    "Usage: quillback-shot [--mugen DIR] [--program-dir DIR] (STAGE.def | PACKAGE.zip) [--info] [--log]"
    " [--frames N (--out FILE | --every K --out-dir DIR | --bench [--bench-gap MS])] [--keys SCRIPT] [--info-overlay]"
    " [--debug-bg] [--char CHAR.def [--char2 CHAR.def | --no-p2]] [--speed 1/4|1/2|1|2|4] [--zoom Z] [--overlay NAMES] [--select N] [--save-stage FILE] [--save-stage2 FILE]\n"
    "  or:  quillback-shot [--mugen DIR] [--program-dir DIR] --char CHAR.def --char-info\n"
    "  or:  quillback-shot --change-music FILE --volume V STAGE.def\n"
    "  or:  quillback-shot [--mugen DIR] --lint DIR [--json] [--jobs N]\n"
    "  or:  quillback-shot --sff-info FILE.sff\n"
    "  or:  quillback-shot --install-package PACKAGE.zip --mugen DIR [--replace] [--add-to-select]\n"

    "  or:  quillback-shot [--mugen DIR] [--entry ENTRY] --thumbnail (STAGE.def | PACKAGE.zip) OUT.png SIZE\n";

// --help: the usage and what each option does; the manual page is made from this text.
constexpr const char* kHelp =
    "Loads a MUGEN stage exactly as the quillback window does, without a window, and prints what it\n"
    "loaded or draws frames of it as pictures.\n"
    "\n"
    "Options:\n"
    "  --mugen DIR          the MUGEN directory (for spr paths relative to it and the test character)\n"
    "  --program-dir DIR    the folder for extracted package files (default: a temporary folder,\n"
    "                       removed at the end)\n"
    "  --info               print the loaded stage's values\n"
    "  --log                print the error log of the load\n"
    "  --frames N           run N frames\n"
    "  --out FILE           write the last frame to FILE (.png or .pcx)\n"
    "  --every K            with --out-dir, write every K-th frame\n"
    "  --out-dir DIR        the folder for --every's pictures\n"
    "  --bench              time the frames and print the figures\n"
    "  --bench-gap MS       with --bench, pause MS milliseconds after every frame, as the window\n"
    "                       does between frames, and print each frame's processor time\n"
    "  --keys SCRIPT        keys held per frame, e.g. \"right*30,none*10,down+z*5\"; pause, step,\n"
    "                       slower and faster are the pause, frame-step and speed keys\n"
    "  --speed S            run at S times the normal speed: 1/4, 1/2, 1, 2 or 4 (the pacing and\n"
    "                       the info overlay change; every frame is still drawn)\n"
    "  --zoom Z             zoom the camera to Z (kept within the stage's zoomout and zoomin; a\n"
    "                       stage without a zoom range stays at 1)\n"
    "  --overlay NAMES      draw setup overlays over the frames, comma-separated: bounds (the\n"
    "                       view's reach now and at zoomout), screen (the 4:3 frame, the zoom-1\n"
    "                       view), starts (p1 and p2 with facing), movebounds (leftbound, rightbound,\n"
    "                       screenleft, screenright), floor, element (the selected one), or all\n"
    "  --select N           select element N (from 1) as the editor does, for --overlay element\n"
    "  --info-overlay       draw the info overlay\n"
    "  --debug-bg           draw the magenta debug background\n"
    "  --char CHAR.def      put the test character into the stage\n"
    "  --char2 CHAR.def     player two's character (default: the --char character again)\n"
    "  --no-p2              the test character alone, without player two\n"
    "  --char-info          with --char alone: load the character and print it\n"
    "  --save-stage FILE    write the stage as the background editor's Save Changes does\n"
    "  --save-stage2 FILE   write the stage as the background editor's second save does\n"
    "  --change-music FILE  with --volume V: rewrite the stage file's music and volume lines\n"
    "  --lint DIR           load every stage definition under DIR and list its problems: definition\n"
    "                       problems, missing sprite files, sprites and actions, controller ids that\n"
    "                       match no element, missing music; then a table per stage. Stage packages\n"
    "                       (.zip) are opened as the window opens them, in a scratch folder, and\n"
    "                       their stage is named PACKAGE.zip!ENTRY.def\n"
    "  --json               with --lint: print one JSON document instead of text\n"
    "  --jobs N             with --lint: check N stages at once (default: the number of cores); the\n"
    "                       report is the same whatever N is\n"
    "  --sff-info FILE.sff  print a sprite file's header, sprites and palettes, each picture's\n"
    "                       decoded pixels as a CRC-32 or the reason it cannot be decoded\n"
    "  --install-package PACKAGE.zip\n"
    "                       install the package's files into DIR/stages/NAME/ (NAME: the package's\n"
    "                       file name), checked as opening a package checks them\n"
    "  --replace            with --install-package: replace an installed stage folder of that name\n"
    "  --add-to-select      with --install-package: add its stages to DIR/data/select.def\n"
    "                       ([ExtraStages]; the old list is kept as select.def.bak)\n"
    "  --entry ENTRY        with a package: open its stage ENTRY (\"stages/city.def\") without asking\n"
    "  --thumbnail IN OUT SIZE  draw the stage's first frame, scaled down to fit SIZE x SIZE pixels\n"
    "                       (at most 1024), into the PNG file OUT (a file manager's thumbnailer);\n"
    "                       without --mugen the MUGEN directory is the folder above the stage's\n"
    "                       \"stages\" folder\n"
    "  --help               show this help and exit\n"
    "  --version            show the version and exit\n"
    "\n"
    "Exit status: 0 when the stage loaded (and every picture was written), 1 when it did not, 2 for\n"
    "a usage error. With --lint: 0 when every stage is clean, 1 when any has a problem. With --sff-info:\n"
    "0 when the file was read, 1 when it was refused.\n";

// Message boxes go to standard error and are answered with their first button.
class StderrUi : public HeadlessUi {
protected:
    void Told(const std::string& text) override { std::fprintf(stderr, "[message] %s\n", text.c_str()); }
};

// A fresh folder removed with its content when the tool ends.
class ScratchDir {
public:
    ScratchDir() {
        std::error_code ec;
        std::string pattern = (std::filesystem::temp_directory_path(ec) / "quillback-shot-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data())) m_path = buffer.data();
    }
    ~ScratchDir() {
        if (m_path.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(ResolvePath(path), ec);
    return ec ? path : p.lexically_normal().string();
}

bool ParseCount(std::string_view text, int& value) {
    if (text.empty() || text.size() > 9) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

bool ParseVolume(std::string_view text, int16_t& value) {
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    int magnitude = 0;
    if (!ParseCount(text, magnitude)) return false;
    const int v = negative ? -magnitude : magnitude;
    if (v < INT16_MIN || v > INT16_MAX) return false;
    value = static_cast<int16_t>(v);
    return true;
}

// Answers 0 on success, else 2 with `error` set.
int ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view a = args[i];
        auto value = [&](std::string& target) {
            if (i + 1 >= args.size()) {
                error = std::string(a) + " needs a value";
                return false;
            }
            target = std::string(args[++i]);
            return true;
        };
        auto count = [&](int& target) {
            std::string text;
            if (!value(text)) return false;
            if (!ParseCount(text, target)) {
                error = std::string(a) + " needs a whole number, not \"" + text + "\"";
                return false;
            }
            return true;
        };
        bool ok = true;
        if (a == "--mugen")
            ok = value(options.mugeDir);
        else if (a == "--program-dir")
            ok = value(options.programDir);
        else if (a == "--info")
            options.info = true;
        else if (a == "--log")
            options.log = true;
        else if (a == "--frames")
            ok = count(options.frames);
        else if (a == "--out")
            ok = value(options.out);
        else if (a == "--keys")
            ok = value(options.keys);
        else if (a == "--speed") {
            std::string text;
            ok = value(text);
            static const char* const kSpeeds[][2] = {
                {"1/4", "0.25"}, {"1/2", "0.5"}, {"1", "1"}, {"2", "2"}, {"4", "4"}};
            options.speed = -1;
            for (int s = 0; ok && s < 5; ++s)
                if (text == kSpeeds[s][0] || text == kSpeeds[s][1]) options.speed = s;
            if (ok && options.speed < 0) {
                error = "--speed needs 1/4, 1/2, 1, 2 or 4, not \"" + text + "\"";
                return 2;
            }
        } else if (a == "--zoom") {
            std::string text;
            ok = value(text);
            const auto zoom = ok ? text::ParseNumber(text) : std::nullopt;
            if (ok && (!zoom || !(*zoom > 0) || *zoom > 1e6)) {
                error = "--zoom needs a number above 0, not \"" + text + "\"";
                return 2;
            }
            if (ok) options.zoom = *zoom;
        } else if (a == "--overlay") {
            std::string text;
            ok = value(text);
            const auto bits = ok ? ParseOverlayNames(text, error) : std::nullopt;
            if (ok && !bits) {
                error = "--overlay: " + error;
                return 2;
            }
            if (ok) options.overlays = *bits;
        } else if (a == "--select")
            ok = count(options.select);
        else if (a == "--info-overlay")
            options.infoOverlay = true;
        else if (a == "--debug-bg")
            options.debugBg = true;
        else if (a == "--every")
            ok = count(options.every);
        else if (a == "--out-dir")
            ok = value(options.outDir);
        else if (a == "--bench")
            options.bench = true;
        else if (a == "--bench-gap")
            ok = count(options.benchGapMs);
        else if (a == "--char")
            ok = value(options.charDef);
        else if (a == "--char2")
            ok = value(options.char2Def);
        else if (a == "--no-p2")
            options.noP2 = true;
        else if (a == "--char-info")
            options.charInfo = true;
        else if (a == "--change-music") {
            options.changeMusic = true;
            ok = value(options.musicFile);
        } else if (a == "--volume") {
            std::string text;
            ok = value(text);
            if (ok && !ParseVolume(text, options.volume)) {
                error = "--volume needs a whole number from -32768 to 32767, not \"" + text + "\"";
                return 2;
            }
            options.volumeGiven = ok;
        } else if (a == "--save-stage") {
            ok = value(options.saveStage);
        } else if (a == "--save-stage2") {
            ok = value(options.saveStage2);
        } else if (a == "--lint") {
            ok = value(options.lintDir);
        } else if (a == "--json") {
            options.json = true;
        } else if (a == "--jobs") {
            ok = count(options.jobs);
            if (ok && (options.jobs < 1 || options.jobs > 256)) {
                error = "--jobs needs a whole number from 1 to 256";
                return 2;
            }
        } else if (a == "--install-package") {
            ok = value(options.installPackage);
        } else if (a == "--replace") {
            options.replace = true;
        } else if (a == "--add-to-select") {
            options.addToSelect = true;
        } else if (a == "--sff-info") {
            ok = value(options.sffInfo);
        } else if (a == "--entry") {
            ok = value(options.entry);
        } else if (a == "--thumbnail") {
            std::string size;
            ok = value(options.stage) && value(options.thumbnailOut) && value(size);
            if (ok && (!ParseCount(size, options.thumbnailSize) || options.thumbnailSize < 1 ||
                       options.thumbnailSize > kMaxThumbnailSize)) {
                error = "--thumbnail needs a size from 1 to 1024, not \"" + size + "\"";
                return 2;
            }
        }
        else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + std::string(a);
            return 2;
        } else if (options.stage.empty()) {
            options.stage = std::string(a);
        } else {
            error = "only one stage can be loaded";
            return 2;
        }
        if (!ok) return 2;
    }
    if (!options.sffInfo.empty()) {
        if (argc != 3) {
            error = "--sff-info reads one sprite file only";
            return 2;
        }
        return 0;
    }
    if (!options.installPackage.empty() || options.replace || options.addToSelect) {
        if (options.installPackage.empty() || options.mugeDir.empty() || !options.stage.empty() ||
            !options.lintDir.empty()) {
            error = "--install-package ZIP needs --mugen DIR and takes only --replace and --add-to-select";
            return 2;
        }
        return 0;
    }
    if (!options.lintDir.empty() || options.json || options.jobs > 0) return LintOptionsError(options, error);
    if (options.changeMusic || options.volumeGiven) {
        if (!options.changeMusic || !options.volumeGiven) {
            error = "--change-music FILE and --volume V go together";
            return 2;
        }
        if (options.stage.empty()) {
            error = "no stage given";
            return 2;
        }
        if (options.frames >= 0 || options.info || options.log || options.bench || options.charInfo ||
            !options.charDef.empty()) {
            error = "--change-music rewrites the stage file only";
            return 2;
        }
        return 0;
    }
    if (options.charInfo) {
        if (options.charDef.empty()) {
            error = "--char-info needs --char CHAR.def";
            return 2;
        }
        if (!options.stage.empty() || options.frames >= 0 || options.info || options.bench) {
            error = "--char-info loads a character only";
            return 2;
        }
        return 0;
    }
    if (options.stage.empty()) {
        error = "no stage given";
        return 2;
    }
    if (options.thumbnailSize > 0 && (options.frames >= 0 || options.bench || options.info)) {
        error = "--thumbnail draws one picture only";
        return 2;
    }
    if (options.bench && options.frames < 0) {
        error = "--bench needs --frames N";
        return 2;
    }
    if (options.benchGapMs > 0 && !options.bench) {
        error = "--bench-gap needs --bench";
        return 2;
    }
    return 0;
}


}  // namespace

int RunShot(const Options& options) {
    // The program only ever opens stages it has checked exist; say so plainly here too instead of
    // letting the load run into a missing sprite file.
    if (!FileExists(AbsolutePath(options.stage))) {
        std::fprintf(stderr, "quillback-shot: cannot read the stage file %s\n", options.stage.c_str());
        return 1;
    }
    // A file manager asks for every ".def", characters' too: only a stage gets a picture.
    if (options.thumbnailSize > 0 && !IsPackagePath(options.stage)) {
        if (const std::string refusal = StageRefusalMessage(AbsolutePath(options.stage)); !refusal.empty()) {
            std::fprintf(stderr, "quillback-shot: %s\n", refusal.c_str());
            return 1;
        }
    }
    if (!a_allegro_init()) {
        std::fprintf(stderr, "quillback-shot: the graphics library did not start\n");
        return 1;
    }
    int status = 0;
    {
        ScratchDir scratch;
        StderrUi ui;
        SilentMediaBackend media;
        AppState state;
        state.ports.ui = &ui;
        state.ports.media = &media;
        SetVersionAndTitle(state);
        state.ProgramDir = options.programDir.empty() ? scratch.Path() : AbsolutePath(options.programDir);
        if (state.ProgramDir.empty()) {
            std::fprintf(stderr, "quillback-shot: no folder for the program's files\n");
            return 1;
        }
        // The tool writes only into the folder it is given (or its scratch folder), installed or not.
        state.Dirs = PortableDataDirs(state.ProgramDir);
        state.Dirs.Temp = state.ProgramDir;  // packages too: their private folders are made in it
        if (options.mugeDir.empty() && options.thumbnailSize > 0)
            state.MugeDir = MugenDirAbove(AbsolutePath(options.stage));
        if (!options.mugeDir.empty()) {
            state.MugeDir = AbsolutePath(options.mugeDir);
            if (state.MugeDir.back() != '/' && state.MugeDir.back() != '\\') state.MugeDir += '/';
        }
        state.StageFile = AbsolutePath(options.stage);
        // A package is extracted into a private folder as the window does it; the release below
        // deletes it.
        if (IsPackagePath(state.StageFile)) {
            if (!ExtractPackage(state, state.StageFile, options.entry)) {
                std::fprintf(stderr, "quillback-shot: %s holds no stage\n", options.stage.c_str());
                a_allegro_exit();
                return 1;
            }
        }
        state.BackBuffer = CreateBitmap(kViewWidth, kViewHeight);
        // The test character goes in as the window's commands put it: chosen, then switched on
        // before the stage starts, so that the stage start places it.
        const bool withChar = !options.charDef.empty();
        state.Options.CharP2 = !options.noP2;
        if (!options.char2Def.empty()) state.CharSettings.TestChar2Path = AbsolutePath(options.char2Def);
        if (withChar && ChooseTestChar(state, AbsolutePath(options.charDef))) mnuChar_Click(state);

        const bool loaded = BeginStageRun(state);
        // A character that was asked for but did not come into the stage fails the run (the box
        // on standard error says why).
        const bool charMissing = withChar && state.Chars.CharEnabled == 0;

        if (loaded && options.info) std::fputs(InfoDump(state).c_str(), stdout);
        if (options.log) std::fwrite(state.Log.Text().data(), 1, state.Log.Text().size(), stdout);
        std::fflush(stdout);
        // The music line holds the file the media player was given, as the window's editor writes it.
        const auto save = [&](const std::string& file, auto writer) {
            if (file.empty() || !loaded) return;
            if (!writer(state.Stage, state.Load.MusicPath, AbsolutePath(file))) {
                std::fprintf(stderr, "quillback-shot: cannot write %s\n", file.c_str());
                status = 1;
            }
        };
        save(options.saveStage, SaveStage);
        save(options.saveStage2, SaveStage2);
        if (!loaded || charMissing) {
            status = 1;
        } else if (status == 0 && options.thumbnailSize > 0) {
            status = RunThumbnail(state, options);
        } else if (status == 0 && (options.frames >= 0 || options.bench)) {
            status = RunFrames(state, options);
        }
        UnloadStuff(state);
        ReleaseTestChar(state.Chars);
    }
    a_allegro_exit();
    return status;
}

int RunSffInfo(const Options& options) {
    const auto bytes = ReadFileBytes(AbsolutePath(options.sffInfo), kMaxSffFileBytes);
    if (!bytes) {
        std::fprintf(stderr, "quillback-shot: cannot read the sprite file %s\n", options.sffInfo.c_str());
        return 1;
    }
    std::string reason;
    const auto dump = SffInfoDump(*bytes, reason);
    if (!dump) {
        std::fprintf(stderr, "quillback-shot: %s: %s\n", options.sffInfo.c_str(), reason.c_str());
        return 1;
    }
    std::fwrite(dump->data(), 1, dump->size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int RunChangeMusic(const Options& options) {
    std::string error;
    if (!ChangeMusic(AbsolutePath(options.stage), options.musicFile, options.volume, error)) {
        std::fprintf(stderr, "quillback-shot: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

int RunCharInfo(const Options& options) {
    if (!a_allegro_init()) {
        std::fprintf(stderr, "quillback-shot: the graphics library did not start\n");
        return 1;
    }
    bool loaded = false;
    {
        StderrUi ui;
        ErrorLog log;
        int32_t lineNumber = 0;
        ReaderContext reader{log, ui, lineNumber, {}};
        CharLoadEnv env{ui, reader, nullptr};
        // A fresh record, no announcement: as the about screen and a first use load it.
        TestCharacter character;
        loaded = LoadCharacter(env, character, AbsolutePath(options.charDef), false);
        if (loaded) std::fputs(CharInfoDump(character).c_str(), stdout);
        std::fflush(stdout);
    }
    a_allegro_exit();
    return loaded ? 0 : 1;
}

}  // namespace qb::shot

int main(int argc, char** argv) {
    qb::IgnoreFileSizeSignal();
    if (argc == 2 && std::string_view(argv[1]) == "--help") {
        std::printf("%s\n%s", qb::shot::kUsage, qb::shot::kHelp);
        return 0;
    }
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("%s\n", qb::VersionLine("quillback-shot").c_str());
        return 0;
    }
    qb::shot::Options options;
    std::string error;
    if (qb::shot::ParseOptions(argc, argv, options, error) != 0) {
        std::fprintf(stderr, "quillback-shot: %s\n%s", error.c_str(), qb::shot::kUsage);
        return 2;
    }
    if (!options.sffInfo.empty()) return qb::shot::RunSffInfo(options);
    if (options.changeMusic) return qb::shot::RunChangeMusic(options);
    if (options.charInfo) return qb::shot::RunCharInfo(options);
    if (!options.lintDir.empty()) return qb::shot::RunLint(options);
    if (!options.installPackage.empty()) return qb::shot::RunInstallPackage(options);
    return qb::shot::RunShot(options);
}
