#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and uses it as a user of an installed program
# would: the prefix read-only, HOME an empty folder, no XDG variables. The installed quillback
# starts on a virtual display, offers the installed demo MUGEN directory (taken), opens the demo
# stage, saves a snapshot (F8) and is closed through its menu. Then: the configuration and the
# snapshot are in the per-user folders, the prefix is byte for byte what was installed, the
# desktop entry validates and both manual pages render.
#   bash scripts/check-install.sh [BUILD_DIR]
# Needs xvfb-run, xdotool, desktop-file-validate and man (scripts/install-deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
fail() {
  echo "check-install: FAILED: $*" >&2
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null
  [ -f "$work/log.txt" ] && cat "$work/log.txt" >&2
  exit 1
}

# The part that runs on the virtual display (this script again, under xvfb-run).
run_installed() {
  env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM \
    HOME="$home" SDL_AUDIODRIVER=dummy "$prefix/bin/quillback" "$stage" >"$work/log.txt" 2>&1 &
  pid=$!
  # The first start has no configuration: the first box offers the installed demo directory.
  local box
  box=$(timeout 20 xdotool search --sync --onlyvisible --name '^Quillback' | head -1) || fail "no window appeared"
  sleep 1
  xdotool windowfocus --sync "$box" key Return
  # The stage opens: the main window's caption becomes the stage's name.
  local win
  win=$(timeout 20 xdotool search --sync --onlyvisible --name '^"?Quillback Demo"?$' | head -1) ||
    fail "the demo stage did not open"
  sleep 2
  # A first start also plays the about screen, which says so in a box when the MUGEN directory has
  # no KFM (the demo directory has its own character): answer the boxes still up.
  local other
  for _ in 1 2 3; do
    other=$(xdotool search --onlyvisible --name 'Beta by Tarnwick$' | head -1) || break
    xdotool windowfocus --sync "$other" key Return
    sleep 1
  done
  xdotool windowfocus --sync "$win" key F8
  sleep 1
  [ -n "${QB_CHECK_SCREENSHOT:-}" ] && import -window root "$QB_CHECK_SCREENSHOT"
  # Close through the menu (the first menu's last item), as a user would: the settings are written then.
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove $((X + 20)) $((Y + 10)) click 1
  sleep 1
  xdotool key Up Return
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$pid" 2>/dev/null && fail "the program did not end"
  wait "$pid" || fail "the program ended with status $?"
  pid=
}
if [ "${1:-}" = "--on-display" ]; then
  run_installed
  exit 0
fi

build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d /tmp/quillback-install-XXXXXX)
prefix="$work/prefix"
home="$work/home"
cleanup() {
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
echo "check-install: installed into $prefix:"
(cd "$prefix" && find . -type f | sed 's|^\./||' | grep -v '^share/quillback/demo-mugen/' | sort | sed 's/^/  /')
echo "  share/quillback/demo-mugen/: $(find "$prefix/share/quillback/demo-mugen" -type f | wc -l) files"

chmod -R a-w "$prefix"
listing() { (cd "$prefix" && find . -printf '%M %s %p\n' | sort && find . -type f -exec sha256sum {} + | sort); }
listing > "$work/before.txt"
mkdir "$home"
if [ "$(id -u)" -eq 0 ]; then
  echo "check-install: running as root, for whom a-w folders stay writable: the installed layout" \
    "(bin/ beside share/quillback/) alone must send the files to the per-user folders"
fi

stage="$prefix/share/quillback/demo-mugen/stages/quillback.def"
export prefix home stage work
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --on-display

config="$home/.config/quillback/QB.cfg"
[ -f "$config" ] || fail "no configuration at $config"
grep -q "^MugeDir = $prefix/share/quillback/demo-mugen/" "$config" || fail "the configuration does not name the demo directory"
snapshot=$(find "$home/.local/share/quillback/snapshots" -type f 2>/dev/null | head -1)
[ -n "$snapshot" ] || fail "no snapshot under $home/.local/share/quillback/snapshots"
echo "check-install: per-user files after the run:"
(cd "$home" && find . -printf '  %M %p\n' | sort -k2)
listing > "$work/after.txt"
diff -u "$work/before.txt" "$work/after.txt" >&2 || fail "the prefix changed"
echo "check-install: the prefix is unchanged ($(grep -c ' \./' "$work/before.txt") entries, sha256 of every file)"

desktop-file-validate "$prefix/share/applications/quillback.desktop" || fail "desktop-file-validate"
echo "check-install: desktop-file-validate passed"
for page in quillback quillback-shot; do
  text=$(MANWIDTH=80 man -l "$prefix/share/man/man1/$page.1" 2>&1 | col -b) || fail "man -l $page.1"
  # Here-strings, not pipes from echo: a reader that stops early (grep -q, head) would leave echo
  # writing into a closed pipe, and pipefail would take its SIGPIPE for a failed check.
  grep -q -- '--help' <<<"$text" || fail "$page.1 has no options"
  echo "check-install: man -l $page.1:"
  head -12 <<<"$text" | sed 's/^/  /'
done
echo "check-install: all checks passed"
