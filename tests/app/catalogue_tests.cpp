// The translation catalogues (i18n/*.ts) against every text the program shows: in either language
// no text may show in the other one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "app/shown_texts.h"

namespace qb {
namespace {

const std::filesystem::path kSourceRoot = std::filesystem::path(QB_TEST_DATA_DIR) / ".." / "..";

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Unescape(std::string text) {
    const std::pair<const char*, const char*> entities[] = {{"&#13;", "\r"}, {"&#10;", "\n"}, {"&lt;", "<"},
                                                            {"&gt;", ">"},   {"&quot;", "\""}, {"&apos;", "'"},
                                                            {"&amp;", "&"}};
    for (const auto& [entity, plain] : entities)
        for (size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1))
            text.replace(at, std::char_traits<char>::length(entity), plain);
    return text;
}

// context -> the sources that have a translation that is not empty.
std::map<std::string, std::set<std::string>> Catalogue(const std::string& file) {
    const std::string text = ReadText(kSourceRoot / "i18n" / file);
    std::map<std::string, std::set<std::string>> out;
    const std::regex context(R"(<name>([^<]*)</name>)");
    const std::regex message(R"(<source>([^<]*)</source>\s*<translation>([^<]+)</translation>)");
    std::string current;
    size_t pos = 0;
    while (pos < text.size()) {
        std::smatch c;
        std::smatch m;
        const std::string rest = text.substr(pos);
        const bool hasContext = std::regex_search(rest, c, context);
        const bool hasMessage = std::regex_search(rest, m, message);
        if (!hasMessage) break;
        if (hasContext && c.position(0) < m.position(0)) {
            current = c[1];
            pos += static_cast<size_t>(c.position(0) + c.length(0));
            continue;
        }
        out[current].insert(Unescape(m[1]));
        pos += static_cast<size_t>(m.position(0) + m.length(0));
    }
    return out;
}

bool IsAscii(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

TEST(Catalogues, EveryShownTextHasATranslationIntoTheOtherLanguage) {
    const auto english = Catalogue("quillback_en.ts");
    const auto chinese = Catalogue("quillback_zh.ts");
    ASSERT_FALSE(english.empty());
    ASSERT_FALSE(chinese.empty());
    const std::vector<ShownText> texts = ShownTexts();
    // The table holds the menus, the keys, the boxes and the tool windows.
    std::set<std::string> contexts;
    for (const ShownText& text : texts) contexts.insert(text.context);
    EXPECT_EQ(contexts, (std::set<std::string>{"Menu", "Keys", "Messages", "Tools"}));
    for (const ShownText& text : texts) {
        // A Chinese source needs its English text, an English one its Chinese text.
        const auto& catalogue = IsAscii(text.source) ? chinese : english;
        const auto found = catalogue.find(text.context);
        EXPECT_TRUE(found != catalogue.end() && found->second.count(text.source) == 1)
            << text.context << ": \"" << text.source << "\" has no " << (IsAscii(text.source) ? "Chinese" : "English")
            << " translation";
    }
}

// Every box, notice and tool text written into the program's sources is in the table the test above
// checks, so a message added later without its translations fails here: the first literal handed to
// a box, a notice or a tool window (whole, or beginning with a fixed text that ends in a blank), and
// each line after a file name ("..." + path + "\r\nIt was taken off ..."), which begins a text of
// the table (its literal may stop where the next one, glued to it, goes on).
TEST(Catalogues, EveryMessageInTheSourcesIsInTheTableOfShownTexts) {
    std::vector<std::string> known;
    for (const ShownText& text : ShownTexts()) known.push_back(text.source);
    const std::regex call(
        R"re((?:MsgBox|Box|ShowNotice|ToolText|KeyText)\((?:state, |ui, |env\.ui, |\*state\.ports\.ui, )?"((?:[^"\\]|\\.)*)")re");
    const std::regex nextLine(R"re("\\r\\n([A-Z][^"\\]{8,}))re");
    int checked = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kSourceRoot / "src")) {
        if (entry.path().extension() != ".cpp" || entry.path().parent_path().filename() == "cli") continue;
        const std::string text = ReadText(entry.path());
        for (const bool first : {true, false}) {
            for (std::sregex_iterator it(text.begin(), text.end(), first ? call : nextLine), end; it != end; ++it) {
                // C escapes as the program holds them; the catalogues look a text up line by line.
                std::string line = std::regex_replace((*it)[1].str(), std::regex(R"(\\\\)"), "\\");
                if (first) line = line.substr(0, line.find("\\r\\n"));
                if (!std::any_of(line.begin(), line.end(), [](unsigned char c) { return std::isalpha(c); })) continue;
                const bool listed = std::any_of(known.begin(), known.end(), [&](const std::string& source) {
                    return first ? source == line || (source.back() == ' ' && line.rfind(source, 0) == 0)
                                 : source.rfind(line, 0) == 0;
                });
                EXPECT_TRUE(listed) << entry.path().filename() << ": \"" << line << "\"";
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 30);
}

}  // namespace
}  // namespace qb
