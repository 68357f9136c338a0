// quillback-shot: the headless front end.
#include <cstdio>

int main() {
    std::fprintf(stderr, "usage: quillback-shot [--mugen DIR] [--program-dir DIR] STAGE.def --info\n");
    return 2;
}
