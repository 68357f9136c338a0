#pragma once
// Running the headless tool itself, for the end-to-end tests of what it prints and writes.
#include <string>

namespace qb::test {

// Runs quillback-shot with the given arguments (already quoted); answers its exit status and
// fills `output` with what it printed on standard output.
int RunShotTool(const std::string& arguments, std::string* output = nullptr);
std::string Quote(const std::string& text);

}  // namespace qb::test
