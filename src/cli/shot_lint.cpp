#include "cli/shot_lint.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>

#include "cli/shot.h"
#include "lint/lint_jobs.h"
#include "platform/data_dirs.h"
#include "platform/gfx.h"
#include "platform/heap_tuning.h"
#include "platform/paths.h"
#include "platform/text_util.h"

namespace qb::shot {

namespace {

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += ch;
                }
        }
    }
    return out + "\"";
}

// Content on a terminal: control characters (an escape sequence in a stage name) are shown as \xNN.
std::string Printable(std::string_view utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const char ch = utf8[i];
        const auto c = static_cast<unsigned char>(ch);
        // U+0080..U+009F (C2 80..C2 9F) hold the terminal's 8-bit controls.
        if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned char>(utf8[++i]));
            out += buffer;
        } else if (c < 0x20 || c == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
        } else {
            out += ch;
        }
    }
    return out;
}

// File names are bytes too.
std::string Shown(const std::string& path) {
    return text::ContentToUtf8(path);
}

// Stages in a folder each sit in a folder of their own more often than not: the table names them by
// their path below the folder given.
std::string ShortName(const std::string& path, const std::string& dir) {
    const std::filesystem::path relative = std::filesystem::path(path).lexically_relative(dir);
    const std::string text = relative.empty() ? path : relative.string();
    return Shown(text.rfind("..", 0) == 0 ? path : text);
}

// The summary table's column titles, in the order of LintKind.
const char* ColumnTitle(LintKind kind) {
    static constexpr const char* kTitles[] = {"def", "sff", "sprite", "action", "ctrl", "music", "load", "unsup"};
    static_assert(std::size(kTitles) == kLintKinds.size());
    return kTitles[static_cast<size_t>(kind)];
}

// Packages, the ones that did not open included; a package of several stages has a row for each
// (one after the other) and counts once.
size_t PackageCount(const std::vector<LintedStage>& stages) {
    size_t count = 0;
    for (size_t i = 0; i < stages.size(); ++i)
        count += !stages[i].package.empty() && (i == 0 || stages[i - 1].package != stages[i].package);
    return count;
}

void Progress(size_t done, size_t total, const std::string& name) {
    // Rewritten in place; cut so that it stays on one terminal line.
    std::string line = "[" + std::to_string(done) + "/" + std::to_string(total) + "] " + name;
    if (line.size() > 78) line = line.substr(0, 75) + "...";
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
}

}  // namespace

std::string LintText(const std::string& dir, const std::vector<LintedStage>& stages,
                     const std::vector<std::string>& skipped) {
    std::string out;
    for (const LintedStage& s : stages)
        for (const LintProblem& p : s.lint.problems)
            out += Printable(Shown(s.path)) + (p.line > 0 ? ":" + std::to_string(p.line) : std::string()) +
                   ": " + LintKindName(p.kind) + ": " + Printable(p.message) + "\n";

    // Widths are terminal columns: names in CJK scripts take two per character, combining marks none.
    size_t width = 5;
    std::vector<std::string> names;
    for (const LintedStage& s : stages) {
        names.push_back(Printable(ShortName(s.path, dir)));
        width = std::max(width, text::DisplayWidth(names.back()));
    }
    width = std::min<size_t>(width, 48);
    auto row = [&](std::string name, const std::vector<std::string>& cells) {
        if (text::DisplayWidth(name) > width) name = std::string(text::CutToWidth(name, width - 3)) + "...";
        const size_t shown = text::DisplayWidth(name);
        std::string line = name + std::string(width - std::min(width, shown) + 1, ' ');
        for (const std::string& cell : cells) {
            line += std::string(cell.size() < 7 ? 7 - cell.size() : 1, ' ') + cell;
        }
        return line + "\n";
    };
    if (!out.empty()) out += "\n";
    std::vector<std::string> titles;
    for (LintKind kind : kLintKinds) titles.push_back(ColumnTitle(kind));
    titles.push_back("total");
    out += row("stage", titles);
    std::vector<int> totals(kLintKinds.size() + 1, 0);
    int withProblems = 0;
    for (size_t i = 0; i < stages.size(); ++i) {
        std::vector<std::string> cells;
        for (size_t k = 0; k < kLintKinds.size(); ++k) {
            const int n = stages[i].lint.Count(kLintKinds[k]);
            totals[k] += n;
            cells.push_back(n ? std::to_string(n) : std::string("."));
        }
        const int all = static_cast<int>(stages[i].lint.problems.size());
        totals.back() += all;
        withProblems += all > 0;
        cells.push_back(std::to_string(all));
        out += row(names[i], cells);
    }
    std::vector<std::string> cells;
    for (int n : totals) cells.push_back(std::to_string(n));
    out += row("all", cells);
    const auto counted = [](size_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    const size_t packages = PackageCount(stages);
    const size_t packed = static_cast<size_t>(
        std::count_if(stages.begin(), stages.end(), [](const LintedStage& s) { return !s.package.empty(); }));
    out += counted(stages.size(), "stage", "stages") +
           (packages ? " (" + std::to_string(packed) + " from " + counted(packages, "package", "packages") + ")"
                     : std::string()) +
           ", " +
           std::to_string(withProblems) + " with problems, " +
           counted(static_cast<size_t>(totals.back()), "problem", "problems");
    if (!skipped.empty())
        out += "; " + counted(skipped.size(), "other .def file", "other .def files") + " skipped";
    out += "\n";
    // Which ones: a stage written without [BGdef] or [StageInfo] would otherwise vanish unseen.
    for (const std::string& path : skipped)
        out += "skipped " + Printable(ShortName(path, dir)) +
               ": not a stage (no [Camera], [BGdef] or [StageInfo])\n";
    return out;
}

std::string LintJson(const std::string& dir, const std::string& mugeDir,
                     const std::vector<LintedStage>& stages, const std::vector<std::string>& skipped) {
    std::string out = "{\n  \"dir\": " + JsonString(Shown(dir)) +
                      ",\n  \"mugen\": " + JsonString(Shown(mugeDir)) + ",\n  \"stages\": [";
    std::vector<int> totals(kLintKinds.size(), 0);
    int withProblems = 0;
    size_t problemCount = 0;
    for (size_t i = 0; i < stages.size(); ++i) {
        const LintedStage& s = stages[i];
        out += i ? ",\n    {" : "\n    {";
        out += "\"file\": " + JsonString(Shown(s.path)) + ", \"name\": " + JsonString(s.lint.stageName) +
               ", \"loaded\": " + (s.lint.loaded ? "true" : "false");
        if (!s.package.empty())
            out += ", \"package\": " + JsonString(Shown(s.package)) +
                   ", \"entry\": " + JsonString(Shown(s.entry));
        out += ",\n     \"counts\": {";
        for (size_t k = 0; k < kLintKinds.size(); ++k) {
            const int n = s.lint.Count(kLintKinds[k]);
            totals[k] += n;
            out +=
                std::string(k ? ", " : "") + "\"" + LintKindName(kLintKinds[k]) + "\": " + std::to_string(n);
        }
        out += "},\n     \"problems\": [";
        for (size_t p = 0; p < s.lint.problems.size(); ++p) {
            const LintProblem& problem = s.lint.problems[p];
            out +=
                std::string(p ? ",\n       " : "\n       ") + "{\"kind\": \"" + LintKindName(problem.kind) +
                "\", \"line\": " + (problem.line > 0 ? std::to_string(problem.line) : std::string("null")) +
                ", \"message\": " + JsonString(problem.message) + "}";
        }
        out += s.lint.problems.empty() ? "]}" : "\n     ]}";
        withProblems += !s.lint.problems.empty();
        problemCount += s.lint.problems.size();
    }
    out += stages.empty() ? "],\n  \"skipped\": [" : "\n  ],\n  \"skipped\": [";
    for (size_t i = 0; i < skipped.size(); ++i) out += (i ? ", " : "") + JsonString(Shown(skipped[i]));
    out += "],\n  \"totals\": {\"stages\": " + std::to_string(stages.size()) +
           ", \"withProblems\": " + std::to_string(withProblems) +
           ", \"problems\": " + std::to_string(problemCount);
    for (size_t k = 0; k < kLintKinds.size(); ++k)
        out += std::string(", \"") + LintKindName(kLintKinds[k]) + "\": " + std::to_string(totals[k]);
    out += ", \"packages\": " + std::to_string(PackageCount(stages)) + "}\n}\n";
    return out;
}

int LintOptionsError(const Options& options, std::string& error) {
    if (options.lintDir.empty()) {
        error = "--json and --jobs go with --lint DIR";
        return 2;
    }
    if (!options.stage.empty() || options.frames >= 0 || options.info || options.log || options.bench ||
        options.charInfo || !options.charDef.empty() || options.changeMusic || options.volumeGiven ||
        !options.saveStage.empty() || !options.saveStage2.empty()) {
        error = "--lint checks the stages under a folder and takes no stage or other task";
        return 2;
    }
    return 0;
}

int RunLint(const Options& options) {
    const std::string& dir = options.lintDir;
    if (!DirExists(dir)) {
        std::fprintf(stderr, "quillback-shot: %s is not a folder\n", dir.c_str());
        return 1;
    }
    std::vector<std::string> skipped, packages;
    const std::vector<std::string> files = FindStageDefinitions(dir, &skipped, &packages);
    std::string mugeDir = options.mugeDir.empty() ? LintMugeDir(dir) : options.mugeDir;
    {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(ResolvePath(mugeDir), ec);
        if (!ec) mugeDir = absolute.lexically_normal().string();
        if (mugeDir.empty() || mugeDir.back() != '/') mugeDir += '/';
    }
    if (!a_allegro_init()) {
        std::fprintf(stderr, "quillback-shot: the graphics library did not start\n");
        return 1;
    }
    KeepFreedMemoryForReuse();
    const bool tty = isatty(2) != 0;
    std::vector<LintedStage> stages;
    {
        std::error_code tempEc;
        // Nothing the load of a definition does writes to the program's folder; a package is extracted
        // into a private folder made inside it and removed again.
        const std::string programDir = options.programDir.empty()
                                           ? std::filesystem::temp_directory_path(tempEc).string()
                                           : options.programDir;
        const size_t total = files.size() + packages.size();
        const auto fileAt = [&](size_t i) -> const std::string& {
            return i >= files.size() ? packages[i - files.size()] : files[i];
        };
        // Each check fills its own place: the report comes out in the sorted order whatever the jobs.
        std::vector<std::vector<LintedStage>> found(total);
        const auto check = [&](size_t i) {
            const bool package = i >= files.size();
            const std::string& file = fileAt(i);
            // Each stage loads on its own, as if the program had just started: nothing one stage left
            // behind can hide or cause a problem in the next.
            std::error_code ec;
            const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
            const std::string path = ec ? file : absolute.lexically_normal().string();
            if (!package) {
                found[i].push_back({file, LintDefinition(mugeDir, path), {}, {}});
                return;
            }
            // The lint's packages are extracted in the folder it was given.
            for (PackageLint& lint : LintPackage(mugeDir, programDir, path))
                found[i].push_back({lint.entry.empty() ? file : file + "!" + lint.entry, std::move(lint.lint), file,
                                    lint.entry});
        };
        const auto finished = [&](size_t done, size_t i) {
            if (tty) Progress(done, total, std::filesystem::path(fileAt(i)).filename().string());
        };
        RunLintJobs(total, options.jobs > 0 ? static_cast<unsigned>(options.jobs) : DefaultLintJobs(), check,
                    finished);
        if (tty) std::fputs("\r\033[K", stderr);
        for (std::vector<LintedStage>& some : found)
            std::move(some.begin(), some.end(), std::back_inserter(stages));
    }
    a_allegro_exit();

    const std::string report =
        options.json ? LintJson(dir, mugeDir, stages, skipped) : LintText(dir, stages, skipped);
    std::fwrite(report.data(), 1, report.size(), stdout);
    std::fflush(stdout);
    if (stages.empty()) {
        std::fprintf(stderr, "quillback-shot: no stage definitions or packages under %s\n", dir.c_str());
        return 1;
    }
    // What the preview does not draw yet is no fault of the stage.
    const bool clean =
        std::all_of(stages.begin(), stages.end(), [](const LintedStage& s) { return s.lint.Faults() == 0; });
    return clean ? 0 : 1;
}

}  // namespace qb::shot
