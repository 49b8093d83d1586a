#!/usr/bin/env bash
# Scheduled nights under Wine: the same /g /x command, without /f:, run
# night after night against the GlobalServer stand-in (tools/gsstandin),
# which misbehaves on the first night of each pair. After the second night
# the stand-in must hold every day archive and every monthly archive the
# output folder has: nothing that a bad night deleted or left out may stay
# missing. Each pair starts from a night that imported its range whole
# (with /f:, as a user sets the first start), into an output folder of its
# own:
#   1. night 1: the stand-in refuses the first archive after the delete
#      (exit 4); night 2: it takes everything (exit 0);
#   2. night 1: GlobalServer is not running (exit 0, Smart import skipped);
#      night 2: the stand-in runs (exit 0).
# The stand-in keeps what it holds in a file across its restarts (days of
# the day archives, months of the monthly archives, less what its delete
# wizard took); the check reads that file, never the program's output.
#
# usage: wine-nights.sh [WINDOWS_BUILD_DIR [NATIVE_BUILD_DIR]]
# The Windows build must hold vuzuz-archive-creator and gsstandin; the
# native build msgen.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
win_build="$(cd "${1:-$root/build/win}" && pwd)"
native_build="$(cd "${2:-$root/build/native}" && pwd)"

# The program and the stand-in must share one X display.
if [ "${VZ_WINE_XVFB:-}" != 1 ]; then
  VZ_WINE_XVFB=1 exec xvfb-run -a "$0" "$win_build" "$native_build"
fi

script_name=wine-nights
# shellcheck source=wine-standin-lib.sh
. "$root/scripts/wine-standin-lib.sh"

"$msgen" sample "$work/ms" >/dev/null
run_limit=600

# One night: /g /x over the output folder $1, To at $2, more switches after.
night() {
  local out="$1" to="$2"
  shift 2
  local status=0
  timeout "$run_limit" "$wine" "$program" "/m:$(winpath "$work/ms")" "/o:$(winpath "$out")" /a:y /i:y /d:y \
    "/t:$to" "$@" "/l:$(winpath "$work/nights.log")" /g /x >"$work/program.log" 2>&1 || status=$?
  echo "$status"
}


expect_status() {
  [ "$1" = "$2" ] || { cat "$work/program.log" "$work/nights.log" >&2 2>/dev/null; fail "$3: exit status $1, expected $2"; }
}

# What the output folder $1 holds that the stand-in's file $2 lacks: one
# line per day archive ("day YYYY-MM-DD") or monthly archive ("month
# YYYY-MM").
lacking() {
  local out="$1" held="$2"
  (cd "$out" && find . -name '*.omz') | sed -nE \
    -e 's|.*/i([0-9]{2})([0-9]{2})([0-9]{2})\.omz$|day 20\1-\2-\3|p' \
    -e 's|.*/d([0-9]{2})([0-9]{2})\.omz$|month 20\1-\2|p' | sort -u >"$work/source.lines"
  [ -s "$work/source.lines" ] || fail "no archives in $out"
  tr -d '\r' <"$held" | sort -u >"$work/held.lines" 2>/dev/null || : >"$work/held.lines"
  comm -23 "$work/source.lines" "$work/held.lines"
}

# A pair of nights after a first whole night; $1 names it, $2 is night 1's
# fault: "refuse" or "absent".
pair() {
  local name="$1" fault="$2"
  local out="$work/out-$name" held="$work/$name.held"
  mkdir -p "$out"
  echo "-- $name: the first night, from 2026-11-18"
  start_standin --holdings "$(winpath "$held")"
  expect_status "$(night "$out" 20261119 /f:20261118)" 0 "$name, first night"
  stop_standin

  echo "-- $name: night 1 ($fault)"
  if [ "$fault" = refuse ]; then
    start_standin --holdings "$(winpath "$held")" --refuse-first
    expect_status "$(night "$out" 20261125)" 4 "$name, night 1"
    stop_standin
  else
    expect_status "$(night "$out" 20261125)" 0 "$name, night 1"
  fi

  echo "-- $name: night 2"
  start_standin --holdings "$(winpath "$held")"
  expect_status "$(night "$out" 20261201)" 0 "$name, night 2"
  stop_standin

  local missing
  missing="$(lacking "$out" "$held")"
  echo "   $(wc -l <"$work/source.lines") days and months in the output folder; lacking in GlobalServer: $(printf '%s' "$missing" | grep -c . || true)"
  [ -z "$missing" ] || fail "after night 2 GlobalServer lacks:
$missing"
}

pair refused refuse
pair not-running absent
echo "Nights under Wine passed: GlobalServer holds every day after each pair."
