#pragma once
// The corpus's sprite files for the benchmarks: the largest one under some of its folders.
#include <cctype>
#include <filesystem>
#include <initializer_list>
#include <string>

namespace qb::bench {

// The largest ".sff" (any letter case) under the named folders of the corpus; empty without one.
// Version 1 files live in "stages" and "chars", version 2 files in "stages_v2" and "chars_v2".
inline std::string LargestCorpusSff(std::initializer_list<const char*> folders) {
    std::string best;
    uintmax_t bestSize = 0;
    for (const char* folder : folders) {
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(std::filesystem::path(QB_CORPUS_DIR) / folder, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            auto ext = it->path().extension().string();
            for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (ext != ".sff") continue;
            const auto size = it->file_size(ec);
            if (!ec && size > bestSize) {
                bestSize = size;
                best = it->path().string();
            }
        }
    }
    return best;
}

}  // namespace qb::bench
