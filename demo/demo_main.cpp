// Writes the bundled demo MUGEN directory: quillback-demo-gen OUTPUT_DIR
#include <cstdio>
#include <string>

#include "demo/demo_stage.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillback-demo-gen OUTPUT_DIR\n");
        return 2;
    }
    std::string error;
    if (!qb::demo::WriteDemoMugen(argv[1], error)) {
        std::fprintf(stderr, "quillback-demo-gen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
