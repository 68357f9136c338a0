#include "render/scripted_input.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

namespace qb {

namespace {

std::string Trim(const std::string& text) {
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

bool KeyByName(std::string name, std::vector<Key>& keys) {
    static constexpr std::pair<std::string_view, Key> kNames[] = {
        {"left", Key::Left}, {"right", Key::Right}, {"up", Key::Up},         {"down", Key::Down},
        {"z", Key::Z},       {"a", Key::A},         {"pause", Key::Pause},   {"step", Key::Step},
        {"slower", Key::SpeedDown},                 {"faster", Key::SpeedUp}};
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (name == "none") return true;
    for (const auto& [text, key] : kNames) {
        if (name == text) {
            keys.push_back(key);
            return true;
        }
    }
    return false;
}

}  // namespace

bool ParseKeyScript(const std::string& script, std::vector<KeyStep>& steps, std::string& error) {
    steps.clear();
    if (Trim(script).empty()) {
        error = "key script is empty";
        return false;
    }
    size_t pos = 0;
    while (pos <= script.size()) {
        size_t comma = script.find(',', pos);
        std::string item =
            Trim(script.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
        pos = comma == std::string::npos ? script.size() + 1 : comma + 1;
        size_t star = item.find('*');
        if (item.empty() || star == std::string::npos) {
            error = "key script step \"" + item + "\" is not KEY*FRAMES";
            return false;
        }
        std::string keyPart = Trim(item.substr(0, star));
        std::string countPart = Trim(item.substr(star + 1));
        if (countPart.empty() || countPart.size() > 7 ||
            !std::all_of(countPart.begin(), countPart.end(),
                         [](unsigned char c) { return std::isdigit(c); })) {
            error = "key script step \"" + item + "\" needs a whole number of frames after \"*\"";
            return false;
        }
        KeyStep step;
        step.frames = std::stoi(countPart);
        size_t start = 0;
        while (true) {
            size_t plus = keyPart.find('+', start);
            std::string name =
                Trim(keyPart.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
            if (!KeyByName(name, step.keys)) {
                error = "key script step \"" + item + "\": unknown key \"" + name +
                        "\" (left, right, up, down, z, a, pause, step, slower, faster, none)";
                return false;
            }
            if (plus == std::string::npos) break;
            start = plus + 1;
        }
        steps.push_back(std::move(step));
    }
    return true;
}

void ScriptedKeys::SetFrame(int64_t frame) {
    const KeyStep* current = nullptr;
    int64_t at = 0;
    for (const KeyStep& step : m_steps) {
        if (frame < at + step.frames) {
            current = &step;
            break;
        }
        at += step.frames;
    }
    for (int k = 0; k < static_cast<int>(Key::Count); ++k) {
        const Key key = static_cast<Key>(k);
        if (current && std::find(current->keys.begin(), current->keys.end(), key) != current->keys.end())
            m_latch.Down(key);
        else
            m_latch.Up(key);
    }
}

}  // namespace qb
