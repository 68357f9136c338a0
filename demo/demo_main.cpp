// Writes the bundled demo MUGEN directory: demo-gen OUTPUT_DIR
#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillback-demo-gen OUTPUT_DIR\n");
        return 2;
    }
    std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out / "stages");
    std::ofstream(out / "stages" / "quillback.def") << "";
    return 0;
}
