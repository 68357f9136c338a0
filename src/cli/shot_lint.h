#pragma once
// quillback-shot --lint: checks every stage under a folder and reports its problems.
#include <string>
#include <vector>

#include "lint/stage_lint.h"

namespace qb::shot {

struct Options;

// One checked stage, as the reports show it.
struct LintedStage {
    std::string path;  // as found under the folder given; a package's stage is "package!entry"
    StageLint lint;
    std::string package, entry;  // a package's stage: the archive and its definition's entry (may be empty)
};

// The text report: one "path:line: kind: message" line per problem, then the table of counts.
std::string LintText(const std::string& dir, const std::vector<LintedStage>& stages,
                     const std::vector<std::string>& skipped);
// The same as one JSON document.
std::string LintJson(const std::string& dir, const std::string& mugeDir,
                     const std::vector<LintedStage>& stages, const std::vector<std::string>& skipped);

// Checks the options of a --lint run: 0 when they make one, else 2 with `error` set.
int LintOptionsError(const Options& options, std::string& error);

// Answers 0 when every stage and package is clean, 1 when one has a problem other than an unsupported
// one (or the folder holds none).
int RunLint(const Options& options);

}  // namespace qb::shot
