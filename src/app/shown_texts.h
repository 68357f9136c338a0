#pragma once
// Every fixed text the program shows, by the catalogue context that translates it, so that a test
// can hold the translation catalogues (i18n/) to them: the menus' captions (their source is mostly
// the given Chinese), and the English source texts of the boxes, notices, tool windows and keys.
#include <span>
#include <string>
#include <vector>

namespace qb {

struct ShownText {
    const char* context;  // "Menu", "Messages", "Tools" or "Keys" (the catalogues' contexts)
    std::string source;
};

// The boxes' and notices' fixed texts: whole texts, or the fixed lines and line beginnings of texts
// that name a file or a number (the front end translates a text line by line, and a line by its
// longest fixed beginning).
std::span<const char* const> MessageTexts();
// The tool windows' own texts (titles, labels, buttons).
std::span<const char* const> ToolTexts();
// Everything: the menu table's captions, tips and key hints, the key table, MessageTexts and
// ToolTexts.
std::vector<ShownText> ShownTexts();

}  // namespace qb
