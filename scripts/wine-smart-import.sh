#!/usr/bin/env bash
# Smart import for real, under Wine: the Windows program converts a small
# generated MetaStock directory and drives a GlobalServer stand-in
# (tools/gsstandin) through its delete and import wizards. The output folder
# has a Cyrillic name and spaces ("Выход архивы/out dir"), so every path the
# program types into GlobalServer's file dialog must arrive whole. The runs:
#   1. the stand-in takes every archive: exit status 0; the range was typed
#      into the delete wizard, every archive of the run was imported (its
#      path as typed, Cyrillic and all) and unpacks to what the Linux
#      program unpacks, GlobalServer minimised;
#   2. the stand-in answers an intraday archive with a second "Open" window:
#      exit status 4 ("Export complete, but import failed."), and the
#      complaint, the file dialog and the wizard were closed in that order;
#   3. the stand-in refuses the very first archive after the range was
#      deleted: exit status 4, the delete came first and nothing was
#      imported (the run states the loss; the tests on the simulated desktop
#      check its words);
#   4. --check-import with the stand-in: both wizards opened from the menu
#      and cancelled, nothing typed, taken, deleted or imported, exit status
#      0; without it, exit status 4;
#   5. no stand-in: Smart import is skipped, exit status 0;
#   6. an export that cannot put an archive in place, under /g /x: the run
#      fails at that stage and the program ends by itself with exit status 3
#      (no error box waits for a person).
# The checks use the exit statuses and the stand-in's record, never the
# program's own output.
#
# usage: wine-smart-import.sh [WINDOWS_BUILD_DIR [NATIVE_BUILD_DIR]]
# The Windows build must hold vuzuz-archive-creator and gsstandin; the
# native build msgen and vuzuz-archive-creator (for the reference unpack).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
win_build="$(cd "${1:-$root/build/win}" && pwd)"
native_build="$(cd "${2:-$root/build/native}" && pwd)"

# Both programs must share one X display: run the whole script under one
# xvfb-run.
if [ "${VZ_WINE_XVFB:-}" != 1 ]; then
  VZ_WINE_XVFB=1 exec xvfb-run -a "$0" "$win_build" "$native_build"
fi

script_name=wine-smart-import
# shellcheck source=wine-standin-lib.sh
. "$root/scripts/wine-standin-lib.sh"
reference="$native_build/app/vuzuz-archive-creator"

"$msgen" sample "$work/ms" >/dev/null
out="$work/Выход архивы/out dir"
mkdir -p "$out"
from=20261123
to=20261130
# A scheduled run must end by itself whatever happens: a run still going
# after this long has hung.
run_limit=600
run_program() {
  local status=0
  timeout "$run_limit" "$wine" "$program" "/m:$(winpath "$work/ms")" "/o:$(winpath "$out")" "/f:$from" "/t:$to" "$@" \
    /g /x >"$work/program.log" 2>&1 || status=$?
  echo "$status"
}


# The lines of file $1 appear in the record in that order.
expect_in_order() {
  awk 'BEGIN { n = 0; i = 0 } NR == FNR { want[n++] = $0; next } i < n && $0 == want[i] { i++ } END { exit i < n ? 1 : 0 }' \
    "$1" "$work/record.lines" || fail "the record lacks, in order: $(cat "$1")"
}

echo "-- Smart import into the stand-in"
start_standin
status=$(run_program /a:y /i /d)
stop_standin
[ "$status" = 0 ] || { cat "$work/program.log"; fail "exit status $status, expected 0"; }
grep -q '^undecodable' "$work/record.lines" && fail "$(grep '^undecodable' "$work/record.lines")"

# The delete wizard got the range, on GlobalServer's clock: midnight of each
# day on the data's clock (UTC+1 with European summer time) is 23:00 the day
# before in UTC.
grep -qx 'deleted 11>22>2026 11>29>2026 23>00>00 23>00>00' "$work/record.lines" ||
  fail "unexpected delete range: $(grep '^deleted' "$work/record.lines" || echo none)"

cat >"$work/want" <<'LINES'
send main WM_SYSCOMMAND 0xF120 0x0
send combo CB_SETCURSEL 0x0 0x0
post main WM_KEYDOWN 0x41 0x10170001
selected all
post main WM_KEYDOWN 0x44 0x10170001
post startDate WM_KEYDOWN 0x31 0x20001
send startDate WM_KEYDOWN 0x27 0x94D0001
post wizard WM_COMMAND 12325 finish
send notice WM_CLOSE 0x0 0x0
post main WM_KEYDOWN 0x56 0x102F0001
post page WM_COMMAND 5109 browse
send field EM_SETMODIFY 0x1 0x0
send field WM_GETTEXT 10
post dialog WM_COMMAND 1 open
post wizard WM_COMMAND 12324 next
post portfolio BM_SETCHECK 0x0 0x0
post symbols WM_COMMAND 5355 all
all symbols
post wizard WM_COMMAND 12325 finish
import finished
send notice WM_CLOSE 0x0 0x0
send main WM_SYSCOMMAND 0xF020 0x0
minimised
LINES
expect_in_order "$work/want"
# Two import passes: the monthly archive, then the days.
[ "$(grep -cx 'import finished' "$work/record.lines")" = 2 ] || fail "expected two finished imports"

# Every archive the run wrote was imported (the monthly ones typed without
# their extension) and unpacks as the Linux program unpacks it.
archives=$(cd "$out" && find . -name '*.omz' | sort)
[ -n "$archives" ] || fail "the run wrote no archives"
count=0
for archive in $archives; do
  path="$out/${archive#./}"
  name=$(basename "$archive" .omz)
  typed=$(winpath "$path")
  case "$name" in d*) typed="${typed%.omz}" ;; esac
  # Windows paths: the drive letter may come in either case.
  grep -qixF "accepted $typed" "$work/record.lines" || fail "not imported: $typed"
  "$reference" --unzip "$path" "$work/reference/$name" >/dev/null
  diff -r "$work/reference/$name" "$work/unpacked/$name" >/dev/null || fail "$name unpacks differently"
  count=$((count + 1))
done
echo "   $count archives imported and checked"

echo "-- the stand-in refuses an intraday archive"
start_standin --refuse .omz
status=$(run_program /a:n /i /d)
stop_standin
[ "$status" = 4 ] || { cat "$work/program.log"; fail "exit status $status, expected 4"; }
# The monthly pass went through; the first day archive was refused.
sed -E -i 's/^refused .*/refused/' "$work/record.lines"
cat >"$work/want" <<'LINES'
import finished
minimised
refused
send complaint WM_CLOSE 0x0 0x0
send dialog WM_CLOSE 0x0 0x0
send wizard WM_CLOSE 0x0 0x0
LINES
expect_in_order "$work/want"
[ "$(grep -c '^minimised' "$work/record.lines")" = 1 ] || fail "minimised after the failed import"

echo "-- the stand-in refuses the first archive after the delete"
start_standin --refuse-first
status=$(run_program /a:n /i /d)
stop_standin
[ "$status" = 4 ] || { cat "$work/program.log"; fail "exit status $status, expected 4"; }
sed -E -i 's/^refused .*/refused/; s/^deleted .*/deleted/' "$work/record.lines"
cat >"$work/want" <<'LINES'
deleted
refused
send complaint WM_CLOSE 0x0 0x0
send dialog WM_CLOSE 0x0 0x0
send wizard WM_CLOSE 0x0 0x0
LINES
expect_in_order "$work/want"
grep -q '^accepted' "$work/record.lines" && fail "an archive was taken after the first was refused"
grep -qx 'import finished' "$work/record.lines" && fail "an import finished after the first archive was refused"

echo "-- --check-import tries both wizards and changes nothing"
check_import() {
  local status=0
  timeout "$run_limit" "$wine" "$program" --check-import "/m:$(winpath "$work/ms")" "/o:$(winpath "$out")" \
    "/f:$from" "/t:$to" /i:y /d:y >"$work/program.log" 2>&1 || status=$?
  echo "$status"
}
start_standin
status=$(check_import)
stop_standin
[ "$status" = 0 ] || { cat "$work/program.log"; fail "--check-import: exit status $status, expected 0"; }
# Its steps reach the console it was started from.
for step in "[ok]     GlobalServer is running" "[ok]     Import wizard: opened" "[ok]     Delete wizard: opened" \
  "A scheduled run could import."; do
  grep -qF "$step" "$work/program.log" || { cat "$work/program.log"; fail "--check-import did not print: $step"; }
done
cat >"$work/want" <<'LINES'
post main WM_KEYDOWN 0x56 0x102F0001
send wizard WM_CLOSE 0x0 0x0
post main WM_KEYDOWN 0x44 0x10170001
send wizard WM_CLOSE 0x0 0x0
LINES
expect_in_order "$work/want"
grep -qE '^(deleted|accepted|refused|selected all|import finished|all symbols)|WM_COMMAND|CB_SETCURSEL|WM_SETTEXT' \
  "$work/record.lines" && fail "--check-import changed something: $(grep -E '^(deleted|accepted)|WM_COMMAND' "$work/record.lines" | head -n 3)"
status=$(check_import)
[ "$status" = 4 ] || { cat "$work/program.log"; fail "--check-import without GlobalServer: exit status $status, expected 4"; }

echo "-- no stand-in"
status=$(run_program /a:n /i /d)
[ "$status" = 0 ] || { cat "$work/program.log"; fail "exit status $status without GlobalServer, expected 0"; }

echo "-- a failed conversion under /g /x"
# The export cannot put the monthly archive in place (a folder stands
# there): its error would have been a box waiting for a person. /a:y, as
# the runs before stored "Create archives" off.
broken="$work/broken out"
mkdir -p "$broken/d2611.omz"
status=0
timeout "$run_limit" "$wine" "$program" "/m:$(winpath "$work/ms")" "/o:$(winpath "$broken")" "/f:$from" "/t:$to" /a:y \
  /g /x >"$work/program.log" 2>&1 || status=$?
[ "$status" = 3 ] || { cat "$work/program.log"; fail "exit status $status for a failed stage under /g /x, expected 3"; }
echo "Smart import round trip passed."
