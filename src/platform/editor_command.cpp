#include "platform/editor_command.h"

#include <array>

namespace qb {

std::vector<std::string> SplitEditorCommand(std::string_view command) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                word += c;
        } else if (c == '\\' && i + 1 < command.size() && quote != '\'') {
            word += command[++i];
            inWord = true;
        } else if (quote == '"') {
            if (c == '"')
                quote = 0;
            else
                word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote != 0) return {};
    if (inWord) words.push_back(std::move(word));
    return words;
}

namespace {

enum class LineStyle { None, Plus, LineOption, Goto, Colon };

LineStyle StyleOf(const std::string& program) {
    const size_t slash = program.find_last_of('/');
    std::string name = slash == std::string::npos ? program : program.substr(slash + 1);
    struct Known {
        const char* name;
        LineStyle style;
    };
    static constexpr std::array kKnown = {
        Known{"vi", LineStyle::Plus},           Known{"vim", LineStyle::Plus},
        Known{"nvim", LineStyle::Plus},         Known{"gvim", LineStyle::Plus},
        Known{"nano", LineStyle::Plus},         Known{"emacs", LineStyle::Plus},
        Known{"emacsclient", LineStyle::Plus},  Known{"gedit", LineStyle::Plus},
        Known{"pluma", LineStyle::Plus},        Known{"xed", LineStyle::Plus},
        Known{"micro", LineStyle::Plus},        Known{"kate", LineStyle::LineOption},
        Known{"kwrite", LineStyle::LineOption}, Known{"code", LineStyle::Goto},
        Known{"codium", LineStyle::Goto},       Known{"code-oss", LineStyle::Goto},
        Known{"subl", LineStyle::Colon},        Known{"sublime_text", LineStyle::Colon},
    };
    for (const Known& known : kKnown)
        if (name == known.name) return known.style;
    return LineStyle::None;
}

}  // namespace

std::vector<std::string> EditorArguments(std::string_view command, const std::string& file, int line) {
    std::vector<std::string> args = SplitEditorCommand(command);
    if (args.empty()) return args;
    if (file.empty()) return args;
    const std::string at = std::to_string(line);
    switch (line > 0 ? StyleOf(args.front()) : LineStyle::None) {
        case LineStyle::Plus:
            args.push_back("+" + at);
            args.push_back(file);
            break;
        case LineStyle::LineOption:
            args.push_back("--line");
            args.push_back(at);
            args.push_back(file);
            break;
        case LineStyle::Goto:
            args.push_back("--goto");
            args.push_back(file + ":" + at);
            break;
        case LineStyle::Colon:
            args.push_back(file + ":" + at);
            break;
        case LineStyle::None:
            args.push_back(file);
            break;
    }
    return args;
}

}  // namespace qb
