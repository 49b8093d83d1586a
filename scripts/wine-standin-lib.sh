# Sourced by the Wine scripts that drive the GlobalServer stand-in
# (tools/gsstandin) with the Windows program: the programs' paths, a work
# folder with a throw-away Wine prefix, the stand-in's start and stop, and
# the clean-up. The caller sets `script_name` (its messages and work folder),
# `win_build` and `native_build`, and runs under one xvfb-run so that the
# program and the stand-in share a display.

program="$win_build/app/vuzuz-archive-creator.exe"
standin="$win_build/tools/gsstandin.exe"
msgen="$native_build/tools/msgen"
wine=/usr/lib/wine/wine64

work="$(mktemp -d "/tmp/vz-$script_name.XXXXXX")"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# GlobalServer's local clock for the delete range.
export TZ=UTC
# Command-line arguments and the record's lines are UTF-8.
export LC_ALL=C.UTF-8
standin_pid=""
cleanup() {
  if [ -n "$standin_pid" ]; then
    touch "$work/record.txt.stop"
    wait "$standin_pid" 2>/dev/null || true
  fi
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "$script_name: $*" >&2
  # What the stand-in and the program left, for a look at the failure.
  if [ -n "${VZ_WINE_KEEP:-}" ]; then
    mkdir -p "$VZ_WINE_KEEP" && cp "$work"/record.* "$work"/*.held "$work"/*.log "$VZ_WINE_KEEP"/ 2>/dev/null || true
  fi
  exit 1
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Without a window manager Wine waits about two seconds on every hide or
# destroy of a captioned window unless its windows are unmanaged.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# The stand-in with the given options, once it says it is ready; what it
# unpacks goes to $work/unpacked, emptied first.
start_standin() {
  rm -f "$work/record.txt" "$work/record.txt.stop"
  rm -rf "$work/unpacked"
  "$wine" "$standin" "$(winpath "$work/record.txt")" "$(winpath "$work/unpacked")" --lifetime 300 "$@" &
  standin_pid=$!
  for _ in $(seq 1 300); do
    grep -qx ready "$work/record.txt" 2>/dev/null && return 0
    sleep 0.2
  done
  fail "the stand-in did not start"
}

# Stops the stand-in; its record's lines are then in $work/record.lines.
stop_standin() {
  touch "$work/record.txt.stop"
  wait "$standin_pid" || fail "the stand-in failed"
  standin_pid=""
  tr -d '\r' <"$work/record.txt" >"$work/record.lines"
}
