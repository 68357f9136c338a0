#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, runs the whole suite, then the core
# tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
bash scripts/build.sh build
(cd build && ctest --output-on-failure -j2 --timeout 600)
# On X the view shows pictures from memory the server shares: its tests once more on a virtual display.
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb build/gui_tests --gtest_filter='StageView.*'
# Installs into a temporary read-only prefix and runs the installed program from an empty HOME.
bash scripts/check-install.sh build
bash scripts/build.sh build-asan -DQB_SANITIZE=ON -DQB_BUILD_GUI=OFF -DQB_BUILD_BENCH=OFF
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j2 --timeout 900)
# The fuzz targets, built with clang in a tree of their own, each run once over its seeds: they
# keep compiling and every seed passes.
bash scripts/fuzz.sh all 0
