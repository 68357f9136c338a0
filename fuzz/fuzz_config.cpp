// The configuration reader over one file, and the promise of the configuration's round trip: what
// the program saves after loading a file loads back to the same settings, so a setting read once
// is never changed by the save that follows.
#include "app/app_state.h"
#include "app/config.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/fakes.h"

namespace qb::fuzz {
namespace {

std::string LoadAndSave(const std::string& bytes) {
    const test::TempDir& dir = Scratch();
    dir.Write("QB.cfg", bytes);
    test::FakeUi ui;
    AppState state;
    state.ports.ui = &ui;
    state.ProgramDir = dir.Path().string();
    state.Dirs = PortableDataDirs(state.ProgramDir);
    LoadConfig(state);
    return ConfigText(state);
}

}  // namespace
}  // namespace qb::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string saved = qb::fuzz::LoadAndSave(std::string(qb::fuzz::AsText(data, size)));
    const std::string savedAgain = qb::fuzz::LoadAndSave(saved);
    QB_FUZZ_CHECK(savedAgain == saved);
    return 0;
}
