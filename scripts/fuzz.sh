#!/usr/bin/env bash
# Builds one libFuzzer target in its own build tree and runs it, seeded from ../shared/corpus and
# the demo content:
#   bash scripts/fuzz.sh TARGET SECONDS
#   bash scripts/fuzz.sh all 0
# TARGET is def (definition reader and stage parser), sff (sprite-file index and decoder), sff2
# (version 2 sprite files: node tables, links, every picture format, the --sff-info dump), config
# (configuration reader), frames (a stage loaded and drawn for a few frames; fuzz/seeds/frames holds
# hostile zoom, scale, window and width values of modern stages, and 1-pixel sprites tiled over a
# 1280 x 720 and a hires picture), char (a character),
# zip (a stage package listed and extracted), or all. SECONDS=0 only
# runs each input of the seeds once, which is what CI does to keep the targets compiling and
# passing. Findings (crash-*, timeout-*, oom-*, leak-*, slow-unit-*) are kept in
# BUILD/findings/TARGET/; the script exits non-zero when a run leaves a new one. A slow-unit-* file
# (an input that took two seconds or more) is confirmed by running the target on it alone
# (BUILD/fuzz/fuzz_stage_frames FILE): on a busy machine a load spike can leave one behind.
# Environment: QB_FUZZ_BUILD (build tree, default build-fuzz), QB_FUZZ_KEEP_GOING=1 (keep fuzzing
# after a finding: libFuzzer's fork mode with one job, so a known fault does not end a long run).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

usage() {
  echo "usage: scripts/fuzz.sh def|sff|sff2|config|frames|char|zip|all SECONDS" >&2
  exit 2
}
[ $# -eq 2 ] || usage
target=$1
seconds=$2
[[ "$seconds" =~ ^[0-9]+$ ]] || usage
case "$target" in
  def | sff | sff2 | config | frames | char | zip) targets=("$target") ;;
  all) targets=(def sff sff2 config frames char zip) ;;
  *) usage ;;
esac
if [ "$target" = all ] && [ "$seconds" -ne 0 ]; then
  echo "fuzz: run one target at a time for a timed run" >&2
  exit 2
fi

# ---- tools ---------------------------------------------------------------------------------
bash scripts/install-deps.sh
FUZZ_PACKAGES=(clang libclang-rt-14-dev libfuzzer-14-dev)
missing=()
for p in "${FUZZ_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "fuzz: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# ---- build ---------------------------------------------------------------------------------
build=${QB_FUZZ_BUILD:-build-fuzz}
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQB_BUILD_FUZZ=ON -DQB_BUILD_GUI=OFF -DQB_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
exes=()
for t in "${targets[@]}"; do
  case "$t" in
    def) exes+=(fuzz_stage_def) ;;
    sff) exes+=(fuzz_sff) ;;
    sff2) exes+=(fuzz_sff2) ;;
    config) exes+=(fuzz_config) ;;
    frames) exes+=(fuzz_stage_frames) ;;
    char) exes+=(fuzz_char) ;;
    zip) exes+=(fuzz_zip) ;;
  esac
done
cmake --build "$build" -j"${QB_JOBS:-2}" --target "${exes[@]}" demo_content

# ---- seeds ---------------------------------------------------------------------------------
corpus="$root/../shared/corpus"
demo="$build/demo-mugen"
# Copies every file `find` lists (NUL separated on stdin) into DIR under a name free of blanks,
# beginning with PREFIX when one is given (a second list into the same folder).
collect() {
  local dir=$1 prefix=${2:-} n=0 f
  while IFS= read -r -d '' f; do
    n=$((n + 1))
    cp "$f" "$dir/$prefix$(printf '%03d' "$n")-$(basename "$f" | tr -c 'A-Za-z0-9._-' '_')"
  done
}
seed_dir() {
  local t=$1 dir="$build/seeds/$1"
  rm -rf "$dir"
  mkdir -p "$dir"
  local sources=()
  [ -d "$corpus" ] && sources+=("$corpus")
  [ -d "$demo" ] && sources+=("$demo")
  case "$t" in
    def)
      [ ${#sources[@]} -gt 0 ] && find "${sources[@]}" -type f \( -iname '*.def' -o -iname '*.air' \) -print0 | collect "$dir"
      ;;
    frames)
      # Hostile values for the keys of the 1.0 and 1.1 engines (fuzz/seeds/frames), the classic
      # stages as they are, and the version 2 stages without their comments and blank lines: small
      # seeds that keep every key (the target gives a "mugenversion" stage a version 2 sprite file).
      cp "$root"/fuzz/seeds/frames/* "$dir/"
      [ ${#sources[@]} -gt 0 ] && find "${sources[@]}" -path '*stages*' -not -path '*_v2*' -type f -iname '*.def' -print0 | collect "$dir"
      if [ -d "$corpus" ]; then
        find "$corpus" -path '*stages_v2*' -type f -iname '*.def' -print0 | collect "$dir" v2-
        for f in "$dir"/v2-*; do
          [ -f "$f" ] || continue
          sed -i -e 's/;.*$//' -e 's/[[:space:]]*\r\?$//' -e '/^$/d' "$f"
        done
      fi
      ;;
    sff)
      # The beginning of each file: its first sprites are what the decoder sees of it, and small
      # inputs keep the executions fast.
      if [ ${#sources[@]} -gt 0 ]; then
        find "${sources[@]}" -type f -iname '*.sff' -print0 | collect "$dir"
        for f in "$dir"/*; do
          [ -f "$f" ] && truncate -s "<$SFF_MAX_LEN" "$f"
        done
      fi
      ;;
    sff2)
      # Small files of every format from the demo writer (fuzz/seeds/sff2); the corpus files'
      # beginnings add real headers and node tables.
      cp "$root"/fuzz/seeds/sff2/* "$dir/"
      if [ -d "$corpus" ]; then
        find "$corpus" -path '*_v2*' -type f -iname '*.sff' -print0 | collect "$dir"
        for f in "$dir"/[0-9][0-9][0-9]-*; do
          [ -f "$f" ] && truncate -s "<$SFF_MAX_LEN" "$f"
        done
      fi
      ;;
    config) cp "$root"/fuzz/seeds/config/* "$dir/" ;;
    zip) cp "$root"/fuzz/seeds/zip/* "$dir/" ;;
    char)
      # One input a character: its definition with the three file names rewritten to the names the
      # target writes, then the animations, the constants and the sprite file's beginning, cut apart
      # by a marker line.
      local def n=0
      while IFS= read -r -d '' def; do
        grep -qi '^\s*\[files\]' "$def" || continue
        local folder air cns sff
        folder=$(dirname "$def")
        air=$(char_file "$def" anim); cns=$(char_file "$def" cns); sff=$(char_file "$def" sprite)
        [ -f "$folder/$air" ] && [ -f "$folder/$cns" ] && [ -f "$folder/$sff" ] || continue
        n=$((n + 1))
        {
          sed -E 's/^([[:space:]]*anim[[:space:]]*=).*/\1 c.air/I; s/^([[:space:]]*cns[[:space:]]*=).*/\1 c.cns/I; s/^([[:space:]]*sprite[[:space:]]*=).*/\1 c.sff/I' "$def"
          printf '\n--8<--\n'; cat "$folder/$air"
          printf '\n--8<--\n'; cat "$folder/$cns"
          printf '\n--8<--\n'; head -c "$SFF_MAX_LEN" "$folder/$sff"
        } > "$dir/$(printf '%03d' "$n").char"
      done < <( [ ${#sources[@]} -gt 0 ] && find "${sources[@]}" -path '*chars*' -type f -iname '*.def' -print0 )
      ;;
  esac
  echo "$dir"
}
SFF_MAX_LEN=32768
# The file a character definition names for KEY (anim, cns, sprite), relative to its folder.
char_file() {
  { grep -i -m1 "^[[:space:]]*$2[[:space:]]*=" "$1" || true; } | sed -E 's/^[^=]*=[[:space:]]*//; s/;.*//; s/[[:space:]\r]*$//' | tr '\\' '/'
}

# ---- run -----------------------------------------------------------------------------------
status=0
for i in "${!targets[@]}"; do
  t=${targets[$i]}
  exe="$build/fuzz/${exes[$i]}"
  seeds=$(seed_dir "$t")
  findings="$build/findings/$t"
  work="$build/corpus/$t"
  logs="$build/logs"
  mkdir -p "$findings" "$work" "$logs"
  log="$logs/$t.log"
  # The seed pass (CI) only keeps the targets passing: a seed slowed by a busy machine is not a
  # finding there; timed runs report units of two seconds or more.
  slow=2
  [ "$seconds" -eq 0 ] && slow=10
  args=(-timeout=10 -rss_limit_mb=2048 -report_slow_units=$slow -print_final_stats=1 "-artifact_prefix=$findings/")
  case "$t" in
    def | frames) args+=("-dict=$root/fuzz/stage.dict" -max_len=16384) ;;
    sff | sff2) args+=(-max_len=$SFF_MAX_LEN) ;;
    config) args+=(-max_len=4096) ;;
    char) args+=(-max_len=65536) ;;
    zip) args+=(-max_len=8192) ;;
  esac
  before=$(ls "$findings" | wc -l)
  set +e
  if [ "$seconds" -eq 0 ]; then
    echo "fuzz: $t over its $(ls "$seeds" | wc -l) seeds"
    "$exe" "${args[@]}" -runs=0 "$seeds" >"$log" 2>&1
  else
    echo "fuzz: $t for $seconds s (log: $log, findings: $findings)"
    if [ "${QB_FUZZ_KEEP_GOING:-0}" = 1 ]; then
      args+=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
    fi
    "$exe" "${args[@]}" -max_total_time="$seconds" "$work" "$seeds" >"$log" 2>&1
  fi
  rc=$?
  set -e
  # The last progress line counts the executions, also in fork mode, which prints no final stats.
  grep -E '^#[0-9]+' "$log" | tail -n 1 || true
  grep -E '^(stat::|Done|INFO: exiting)' "$log" | tail -n 7 || true
  after=$(ls "$findings" | wc -l)
  if [ "$rc" -ne 0 ] || [ "$after" -gt "$before" ]; then
    echo "fuzz: $t FOUND something (exit $rc); see $log and $findings" >&2
    ls -t "$findings" | head -n $((after - before > 0 ? after - before : 1)) >&2 || true
    status=1
  fi
done
exit $status
