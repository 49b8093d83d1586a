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
figures="$(mktemp)"
trap 'rm -f "$figures"' EXIT
for b in "$root"/build/bench/bench/bench_*; do
  [ -x "$b" ] || continue
  [ "$(basename "$b")" = bench_conversion ] && continue
  echo "== $(basename "$b")"
  "$b" "$@" | tee -a "$figures"
done
b="$root/build/bench/bench/bench_conversion"
if [ -x "$b" ]; then
  echo "== bench_conversion"
  "$b" "$@" | tee -a "$figures"
fi

# The figures that have a target, each against it (a figure the run did
# not print, as with --small, is left out).
echo
echo "== targets"
awk '
  BEGIN {
    n = split("own_implode_cpu_vs_stormlib 0.67 conversion_time_vs_stormlib_compression 0.6 " \
              "msreadbars_vs_plain_read 1.5 verify_time_vs_conversion 0.5 " \
              "windowed_time_vs_one_window 1.15 conversion_cost_growth_16_vs_1 1.1 " \
              "peak_rss_mib_at_budget_256 320 peak_rss_bytes_per_kept_daily_row 48", t, " ")
    for (i = 1; i < n; i += 2) { order[++count] = t[i]; target[t[i]] = t[i + 1] }
  }
  NF == 2 && ($1 in target) { value[$1] = $2 }
  END {
    for (i = 1; i <= count; ++i) {
      name = order[i]
      if (!(name in value)) continue
      printf "%-42s %10s  target <= %-5s %s\n", name, value[name], target[name],
             (value[name] + 0 <= target[name] + 0) ? "met" : "MISSED"
    }
  }' "$figures"
