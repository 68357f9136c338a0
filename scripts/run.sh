#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quillback on the bundled demo stage.
#   bash scripts/run.sh [stage.def]
# On a machine without a display run it under a virtual one:
#   xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# Only what starting needs: the two programs and the demo content. The tests and benchmarks are
# most of the build; scripts/test.sh (or scripts/build.sh) builds them.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQB_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)" --target quillback quillback-shot demo_content

root=$(pwd)
demo="$root/build/demo-mugen"
exe="$root/build/quillback"
cfg="$root/build/QB.cfg"
# The program keeps its configuration beside the executable. A first run gets one that points the
# MUGEN directory at the demo content, so no folder prompt comes up, and switches the test character
# on with the demo character Wren, so the demo stage opens with someone walking in it (arrow keys).
# An existing configuration is left alone.
if ! ls "$root/build" | grep -qix 'qb.cfg'; then
  printf 'Version = .67A\r\nMugeDir = %s/\r\nStageList = 255\r\nTestChar = %s\r\nChar = True\r\nCharName = Wren\r\nIntro = False\r\n' \
    "$demo" "$demo/chars/wren/wren.def" > "$cfg"
  echo "run: wrote $cfg (MugeDir = $demo/, test character Wren)"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  echo "run: no display. Start it on a virtual one with:" >&2
  echo "  xvfb-run -a -s \"-screen 0 1280x1024x24\" bash scripts/run.sh" >&2
  exit 1
fi

stage=${1:-"$demo/stages/quillback.def"}
exec "$exe" "$stage"
