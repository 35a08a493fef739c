#!/usr/bin/env bash
# Fuzzes every target of the host build (build-host/fuzz-targets.txt, written
# by cmake/host.cmake) for FUZZ_SECONDS seconds (default 600), all targets at
# once, one process each. Each starts from a copy of its committed seed
# corpus in build-host/fuzz/NAME/corpus, which grows there; the committed
# corpus stays as it is. Whatever fails (crash, sanitizer report, leak,
# time-out) is written to the target's crashes folder, and the script then
# fails. Prints each target's executions.
#   scripts/fuzz.sh            fuzz
#   scripts/fuzz.sh --merge    add to each committed corpus only those inputs
#                              of the last run's corpus that reach a branch
#                              the committed one does not
set -uo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
host=$top/build-host
list=$host/fuzz-targets.txt
seconds=${FUZZ_SECONDS:-600}
# Each target's longest input comes with it (build-host/fuzz-targets.txt):
# captions are short (4096 bytes hold 2047 UTF-16 units, plenty for every
# kind of nesting), executables are not. FUZZ_MAX_LEN overrides it.
[ -f "$list" ] || { echo "fuzz: no $list (cmake --preset host first)" >&2; exit 2; }

if [ "${1:-}" = --merge ]; then
  while read -r name program corpus crashes max_len; do
    max_len=${FUZZ_MAX_LEN:-$max_len}
    found=$host/fuzz/$name/corpus
    [ -d "$found" ] || { echo "$name: no fuzzing run to merge ($found)"; continue; }
    before=$(find "$corpus" -type f | wc -l)
    # Edges only (no hit counts): what is kept reaches a branch the seeds
    # do not, and the committed corpus stays small.
    "$program" -merge=1 -use_counters=0 -max_len="$max_len" "$corpus" "$found" >"$host/fuzz/$name/merge.log" 2>&1 ||
      { cat "$host/fuzz/$name/merge.log"; exit 1; }
    echo "$name: $(( $(find "$corpus" -type f | wc -l) - before )) inputs added to ${corpus#$top/}"
  done <"$list"
  exit 0
fi

# The cores are shared out among the targets, each at least one: a target
# runs in libFuzzer's fork mode with that many worker processes.
targets=$(grep -c . "$list")
workers=$(( $(nproc) / targets ))
[ "$workers" -ge 1 ] || workers=1

names=() pids=() logs=() crash_dirs=() stamps=()
while read -r name program corpus crashes max_len; do
  max_len=${FUZZ_MAX_LEN:-$max_len}
  dir=$host/fuzz/$name
  rm -rf "$dir" && mkdir -p "$dir/corpus" "$crashes"
  cp "$corpus"/* "$dir/corpus/"
  touch "$dir/start"
  echo "$name: fuzzing for $seconds s with $workers worker(s) from $(find "$dir/corpus" -type f | wc -l) seeds" \
    "(log: ${dir#$top/}/log)"
  "$program" -fork="$workers" -max_len="$max_len" -max_total_time="$seconds" -timeout=10 \
    -artifact_prefix="$crashes/" "$dir/corpus" >"$dir/log" 2>&1 &
  names+=("$name") pids+=($!) logs+=("$dir/log") crash_dirs+=("$crashes") stamps+=("$dir/start")
done <"$list"

failed=0
for i in "${!pids[@]}"; do
  wait "${pids[$i]}"
  status=$?
  # Fork mode reports "#EXECUTIONS: cov: ..." along the way, the last at
  # the end.
  runs=$(sed -n 's/^#\([0-9]*\): cov:.*/\1/p' "${logs[$i]}" | tail -1)
  new=$(find "${crash_dirs[$i]}" -type f -newer "${stamps[$i]}")
  echo "${names[$i]}: ${runs:-?} executions, exit status $status"
  if [ "$status" -ne 0 ] || [ -n "$new" ]; then
    failed=1
    grep -m1 -E 'ERROR|SUMMARY|deadly signal|runtime error' "${logs[$i]}" || true
    for f in $new; do echo "  written: ${f#$top/}"; done
  fi
done
exit $failed
