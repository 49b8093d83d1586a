#!/usr/bin/env bash
# Builds the Linux program and runs the main job: with no arguments it
# converts the bundled sample MetaStock directory and says where the
# archives went. Extra arguments are passed to the program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVZ_BUILD_TESTS=OFF -DVZ_BUILD_BENCH=OFF >/dev/null
ninja -C "$root/build/release" vuzuz-archive-creator >/dev/null
exec "$root/build/release/app/vuzuz-archive-creator" "$@"
