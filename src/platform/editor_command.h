#pragma once
// The command line that opens a file at a line in the user's text editor ($VISUAL or $EDITOR). The
// desktop's default application, tried when neither starts, takes no line.
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// A $VISUAL or $EDITOR value split into words as the shell splits plain words: blanks separate,
// single quotes keep everything, double quotes and a backslash keep the next character. Empty for
// a value of blanks or one with an open quote.
std::vector<std::string> SplitEditorCommand(std::string_view command);

// The arguments (program first) that open `file` at `line` (1-based; 0 or less: no line) with the
// editor `command` names. How the line is given depends on the program, by its file name:
// "+LINE FILE" (vi, vim, nvim, gvim, nano, emacs, emacsclient, gedit, pluma, xed, micro),
// "--line LINE FILE" (kate, kwrite), "--goto FILE:LINE" (code, codium, code-oss),
// "FILE:LINE" (subl, sublime_text); any other program gets the file only, since a line it does not
// understand would be taken for a second file. Empty when `command` holds no program.
std::vector<std::string> EditorArguments(std::string_view command, const std::string& file, int line);

}  // namespace qb
