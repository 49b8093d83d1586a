#!/usr/bin/env bash
# Drives the Windows program's window under Wine and Xvfb with the test
# driver (tools/wingui-driver) in a throw-away Wine prefix, and turns the
# driver's screenshots into PNG files in build/win/screenshots. The user's
# guide shows four of them (docs/guide); to refresh its pictures, copy
#   main-window.png calendar.png import-range.png run-progress.png
# from there into docs/guide after a run.
#   scripts/wine-window.sh [BUILD_DIR]     (default build/win, already built)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/win}"
exe="$build/app/vuzuz-archive-creator.exe"
driver="$build/tools/wingui-driver.exe"
shots="$build/screenshots"
[ -f "$exe" ] && [ -f "$driver" ] || { echo "build $exe and $driver first" >&2; exit 2; }

prefix="$(mktemp -d /tmp/vz-wineprefix-window.XXXXXX)"
work="$(mktemp -d /tmp/vz-window-work.XXXXXX)"
# Let the prefix's wineserver save and exit before the prefix goes.
trap 'WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true;
      WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w 2>/dev/null || true; rm -rf "$prefix" "$work"' EXIT
rm -rf "$shots" && mkdir -p "$shots"

# One X server for the whole session, so every Wine process shares it.
status=0
xvfb-run -a -s "-screen 0 1024x768x24" bash -s "$prefix" "$exe" "$driver" "$work" "$shots" <<'INNER' || status=1
set -euo pipefail
prefix="$1" exe="$2" driver="$3" work="$4" shots="$5"
wine() { WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" /usr/lib/wine/wine64 "$@"; }
# Without a window manager, every hide or destroy of a captioned window
# stalls about 2 s unless Wine manages no windows itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
winpath() { echo "Z:${1//\//\\}"; }
wine "$driver" "$(winpath "$exe")" "$(winpath "$work")" "$(winpath "$shots")"
INNER

for bmp in "$shots"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
echo "Screenshots: $(ls "$shots" | tr '\n' ' ')"
for picture in main-window calendar import-range run-progress; do
  [ -f "$shots/$picture.png" ] || { echo "missing screenshot for the guide: $picture.png" >&2; status=1; }
done
exit $status
