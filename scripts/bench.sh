#!/usr/bin/env bash
# Builds and runs every benchmark; each prints its figures last, one per
# line as `name value`. Pass --small for a quick run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVZ_BUILD_TESTS=OFF >/dev/null
ninja -C "$root/build/bench" >/dev/null
# The conversion benchmark runs last: its figures (the memory budget, the
# scale) end the output. It keeps its generated directories in
# build/bench-data; --small skips its large runs.
for b in "$root"/build/bench/bench/bench_*; do
  [ -x "$b" ] || continue
  [ "$(basename "$b")" = bench_conversion ] && continue
  echo "== $(basename "$b")"
  "$b" "$@"
done
b="$root/build/bench/bench/bench_conversion"
if [ -x "$b" ]; then
  echo "== bench_conversion"
  "$b" "$@"
fi
