#include "platform/editor_command.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

TEST(EditorCommand, EachEditorIsToldTheLineItsOwnWay) {
    using Args = std::vector<std::string>;
    const std::string file = "/m/stages/my stage.def";
    struct Case {
        const char* command;
        int line;
        Args args;
    };
    const std::vector<Case> cases = {
        {"vim", 12, {"vim", "+12", file}},
        {"/usr/bin/nano", 3, {"/usr/bin/nano", "+3", file}},
        {"emacsclient -c", 7, {"emacsclient", "-c", "+7", file}},
        {"gedit", 40, {"gedit", "+40", file}},
        {"kate", 5, {"kate", "--line", "5", file}},
        {"code --wait", 9, {"code", "--wait", "--goto", file + ":9"}},
        {"subl", 2, {"subl", file + ":2"}},
        {"'/opt/My Editor/edit' -n", 4, {"/opt/My Editor/edit", "-n", file}},  // unknown: no line
        {"gedit", 0, {"gedit", file}},                                         // no line known
        {"  ", 4, {}},
        {"\"vim", 4, {}},  // an open quote
    };
    for (const Case& c : cases) EXPECT_EQ(EditorArguments(c.command, file, c.line), c.args) << c.command;
    EXPECT_EQ(SplitEditorCommand(R"(a\ b "c d" 'e\f')"), (Args{"a b", "c d", "e\\f"}));
}

}  // namespace
}  // namespace qb
