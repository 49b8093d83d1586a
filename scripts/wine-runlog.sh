#!/usr/bin/env bash
# The run log of a scheduled run, under Wine: the Windows program converts
# the bundled sample with /g /x and closes by itself; its record must be in
# the run log with the settings, the stages, the run's note and the exit
# status. Two runs:
#   1. /l:FILE: the record goes to that file;
#   2. no /l:: the record goes to %LOCALAPPDATA%\Vuzuz archive creator\runs.log
#      in the Wine prefix (here no conversion, and Smart import finds no
#      GlobalServer), after the record of the --sample run that made the
#      sample directory;
#   3. /g /x with a MetaStock folder that is not there (an unmapped drive at
#      night): the window shows no box, closes by itself with exit status 2
#      and leaves the refusal's record.
#
# usage: wine-runlog.sh [WINDOWS_BUILD_DIR]   (vuzuz-archive-creator built)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
win_build="$(cd "${1:-$root/build/win}" && pwd)"

# The window needs an X display.
if [ "${VZ_WINE_XVFB:-}" != 1 ]; then
  VZ_WINE_XVFB=1 exec xvfb-run -a "$0" "$win_build"
fi

program="$win_build/app/vuzuz-archive-creator.exe"
[ -f "$program" ] || { echo "build $program first" >&2; exit 2; }
wine=/usr/lib/wine/wine64

work="$(mktemp -d /tmp/vz-runlog.XXXXXX)"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "wine-runlog: $*" >&2
  for log in "$work"/night.log "$default_log"; do
    [ -f "$log" ] && { echo "--- $log" >&2; cat "$log" >&2; }
  done
  exit 1
}
winpath() { echo "Z:${1//\//\\}"; }
# Every line of the file that holds the text, after its stamp.
expect_line() {
  grep -qF -- "$2" "$1" || fail "$1 has no line with: $2"
}

$wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
# The program and its sample in a folder of their own.
mkdir -p "$work/app"
cp "$program" "$work/app/"
(cd "$work/app" && timeout 300 $wine ./vuzuz-archive-creator.exe --sample >/dev/null 2>&1) ||
  fail "the sample could not be converted"
ms="$work/app/sample/metastock"
[ -f "$ms/EMASTER" ] || fail "no sample MetaStock directory"

# 1. Converting with /l:FILE.
set +e
timeout 300 $wine "$work/app/vuzuz-archive-creator.exe" /g /x "/m:$(winpath "$ms")" "/o:$(winpath "$work/out")" \
  /f:20211201 /i:n "/l:$(winpath "$work/night.log")" >/dev/null 2>&1
status=$?
set -e
default_log=""
[ "$status" = 0 ] || fail "the /g /x run ended with status $status, expected 0"
[ -f "$work/night.log" ] || fail "no run log at /l:'s file"
# Every line starts with a local date, time and process id.
bad=$(grep -cvE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} \[[0-9]+\] ' "$work/night.log" || true)
[ "$bad" = 0 ] || fail "$bad lines of the log lack the stamp"
expect_line "$work/night.log" "==== run started (vuzuz-archive-creator "
expect_line "$work/night.log" "Create archives: on, process selected securities: off, Smart import: off"
expect_line "$work/night.log" "Analysis: done in "
expect_line "$work/night.log" "Collection: done in "
expect_line "$work/night.log" "Export: done in "
expect_line "$work/night.log" "Note: Same symbol as a converted security, not converted: EURUSD"
expect_line "$work/night.log" "Final status: Export complete."
tail -n 1 "$work/night.log" | grep -qF "==== run ended, exit status 0" || fail "the log's last line is not the run's end"

# 2. The default place, no conversion, Smart import without GlobalServer.
set +e
timeout 300 $wine "$work/app/vuzuz-archive-creator.exe" /g /x "/m:$(winpath "$ms")" "/o:$(winpath "$work/out")" \
  /a:n /i:y >/dev/null 2>&1
status=$?
set -e
default_log="$(find "$WINEPREFIX/drive_c" -path '*Vuzuz archive creator/runs.log' -print -quit)"
[ "$status" = 0 ] || fail "the second /g /x run ended with status $status, expected 0"
[ -n "$default_log" ] || fail "no runs.log under %LOCALAPPDATA%\\Vuzuz archive creator"
expect_line "$default_log" "Smart import skipped: GlobalServer is not running."
tail -n 1 "$default_log" | grep -qF "==== run ended, exit status 0" || fail "the default log's last line is not the run's end"
# The --sample conversion and the second run, not the first (it went to /l:).
[ "$(grep -c '==== run started' "$default_log")" = 2 ] || fail "the default log does not hold exactly two runs"
grep -qF "Output directory:    z:\\" "$default_log" || fail "the default log lacks the settings"
# 3. A scheduled start whose settings are refused.
set +e
timeout 120 $wine "$work/app/vuzuz-archive-creator.exe" /g /x "/m:$(winpath "$work/unmapped")" \
  "/o:$(winpath "$work/out")" "/l:$(winpath "$work/refused.log")" >/dev/null 2>&1
status=$?
set -e
[ "$status" != 124 ] || fail "the refused /g /x start waited instead of closing"
[ "$status" = 2 ] || fail "the refused /g /x start ended with status $status, expected 2"
[ -f "$work/refused.log" ] || fail "the refused start left no record"
expect_line "$work/refused.log" "Settings refused: Invalid MetaStock directory."
tail -n 1 "$work/refused.log" | grep -qF "==== run ended, exit status 2" || fail "the refused start's record does not end with exit status 2"
echo "wine-runlog: the /g /x runs left their records ($(wc -l < "$work/night.log") and $(wc -l < "$default_log") lines)"
