#!/usr/bin/env bash
# Runs every input file of the given folders once through a fuzz target
# (a regression run of seeds and past crashes; no fuzzing). The folders'
# README and .gitkeep are no inputs.
#   scripts/fuzz-replay.sh TARGET FOLDER...
set -euo pipefail
target=$1; shift
files=()
for dir in "$@"; do
  [ -d "$dir" ] || continue
  while IFS= read -r -d '' f; do files+=("$f"); done < <(find "$dir" -type f ! -name 'README*' ! -name .gitkeep -print0 | sort -z)
done
if [ ${#files[@]} -eq 0 ]; then
  echo "no inputs in $*"
  exit 0
fi
echo "${#files[@]} inputs through $(basename "$target")"
# Given files, libFuzzer runs each once ("Running: FILE" before it) and stops
# at the first failure.
exec "$target" "${files[@]}"
