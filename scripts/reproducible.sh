#!/usr/bin/env bash
# Builds the shipped programs a second time, from the same sources in
# another folder with dependencies built there anew, and compares them byte
# for byte with build/bin; packs an installer twice with each Linux packing
# tool and compares the wrappers. Any difference fails, naming the file.
# The work tree's files are taken as git sees them (committed or not).
#   scripts/reproducible.sh        (after make build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
shipped=(bountiq-wrapper.exe bountiq-pack.exe bountiq-pack)
for f in "${shipped[@]}"; do
  [ -f "$top/build/bin/$f" ] || { echo "reproducible: no build/bin/$f: run make build first" >&2; exit 1; }
done

other=$(mktemp -d /tmp/bountiq-reproducible.XXXXXX)
trap 'rm -rf "$other"' EXIT
# Another folder, another name, another time.
src=$other/elsewhere/source
mkdir -p "$src"
(cd "$top" && git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf -) | tar -xf - -C "$src"
# The commit's time decides the time stamps; the copy has no history.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$top" log -1 --format=%ct)}
echo "reproducible: building the shipped programs again in $src (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
BOUNTIQ_DEPS=$other/deps "$src/scripts/setup.sh" i686 >/dev/null
(cd "$src" && cmake --preset release -DBOUNTIQ_DEPS="$other/deps" >/dev/null &&
  cmake --build build -j"$(nproc)" --target bountiq-wrapper bountiq-pack bountiq-pack-native >/dev/null)

failed=0
for f in "${shipped[@]}"; do
  if cmp -s "$top/build/bin/$f" "$src/build/bin/$f"; then
    echo "reproducible: $f identical ($(sha256sum <"$top/build/bin/$f" | cut -c1-16)...)"
  else
    echo "reproducible: $f differs: $(cmp -l "$top/build/bin/$f" "$src/build/bin/$f" | wc -l) bytes" >&2
    failed=1
  fi
done

# A wrapper packed twice from the same inputs, by each build's tool.
installer=$top/build/bin/bountiq-pack.exe  # any executable will do
for tool in "$top/build/bin/bountiq-pack" "$src/build/bin/bountiq-pack"; do
  for n in 1 2; do
    "$tool" "$installer" -o "$other/wrapped-$n-$(basename "$(dirname "$(dirname "$(dirname "$tool")")")").exe" \
      --name Setup.exe --silent-args /S >/dev/null 2>&1
  done
done
first=""
for w in "$other"/wrapped-*.exe; do
  if [ -z "$first" ]; then first=$w; continue; fi
  cmp -s "$first" "$w" || { echo "reproducible: packed wrappers differ: $(basename "$first") $(basename "$w")" >&2; failed=1; }
done
[ "$failed" = 0 ] && echo "reproducible: a packed wrapper is identical every time"
exit "$failed"
