#!/usr/bin/env bash
# Runs every test: the native suite, the same suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz targets for a
# short fixed time, and the Windows build's suite under Wine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
jobs="${VZ_JOBS:-$(nproc)}"
fuzz_seconds="${VZ_FUZZ_SECONDS:-15}"
"$root/scripts/install-deps.sh"

started=$(date +%s)
step() { echo; echo "==== $* ($(( $(date +%s) - started )) s in) ===="; }

step "native build and tests"
# Optimised, asserts kept, no debug information: the quickest useful build.
cmake -S "$root" -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Tests -DCMAKE_CXX_FLAGS_TESTS="-O2" \
  -DVZ_BUILD_BENCH=OFF >/dev/null
ninja -C "$build/native" -j "$jobs"
(cd "$build/native" && ctest --output-on-failure)

step "sanitizer build and tests"
cmake -S "$root" -B "$build/asan" -G Ninja -DCMAKE_BUILD_TYPE=Tests -DCMAKE_CXX_FLAGS_TESTS="-O1 -g" -DVZ_SANITIZE=ON \
  -DVZ_BUILD_BENCH=OFF >/dev/null
ninja -C "$build/asan" -j "$jobs" unit_tests vuzuz-archive-creator
(cd "$build/asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure)

step "fuzz targets, ${fuzz_seconds}s each"
CC=clang CXX=clang++ cmake -S "$root" -B "$build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Tests -DCMAKE_CXX_FLAGS_TESTS="-O1 -g" \
  -DVZ_FUZZ=ON -DVZ_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
targets=$(cd "$root/fuzz" && ls *.cpp 2>/dev/null | sed 's/\.cpp$//')
for t in $targets; do ninja -C "$build/fuzz" -j "$jobs" "fuzz_$t" >/dev/null; done
for t in $targets; do
  work="$build/fuzz/corpus-$t"
  rm -rf "$work" && mkdir -p "$work"
  [ -d "$root/fuzz/corpus/$t" ] && cp -r "$root/fuzz/corpus/$t/." "$work/"
  echo "-- fuzz_$t"
  "$build/fuzz/fuzz/fuzz_$t" -max_total_time="$fuzz_seconds" -print_final_stats=0 \
    -artifact_prefix="$build/fuzz/crash-$t-" "$work" 2>&1 | tail -n 2
done

step "Windows build and tests under Wine"
cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build/win" -j "$jobs" unit_tests vuzuz-archive-creator gsstandin wingui-driver
prefix="$(mktemp -d /tmp/vz-wineprefix.XXXXXX)"
# Let the prefix's wineserver save and exit before the prefix goes.
trap 'WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w 2>/dev/null || true; rm -rf "$prefix"' EXIT
# No Mono or Gecko installer prompts in a fresh prefix.
wine_run() {
  WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" xvfb-run -a /usr/lib/wine/wine64 "$@"
}
# Without a window manager, Wine stalls about 2 s on every hide or destroy of
# a captioned window unless it manages the windows itself.
wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
# One Wine process runs the whole suite; in a zone with daylight saving so
# that Wine's time-zone record is compared with the Linux provider's.
TZ=Europe/Berlin wine_run "$build/win/tests/unit_tests.exe"
TZ=America/New_York wine_run "$build/win/tests/unit_tests.exe" --gtest_filter='TimeZoneProvider.*'
# The program itself converts the bundled sample under Wine.
(cd "$build/win/app" && wine_run ./vuzuz-archive-creator.exe --sample >/dev/null)
# Its window, driven through its controls; screenshots in build/win/screenshots.
"$root/scripts/wine-window.sh" "$build/win"
# Smart import against the stand-in; a scheduled /g /x run's record in the
# run log; nights in a row against the stand-in, a bad night first in each
# pair. They spend their time waiting on Wine, each with its own prefix and X
# display, so they run side by side; each one's output follows in turn.
pids=()
names=()
side_by_side() {
  # xvfb-run -a takes the first free display; starts a moment apart keep
  # two scripts from taking the same one.
  [ ${#pids[@]} = 0 ] || sleep 3
  "$root/scripts/$1" "${@:2}" >"$build/win/side-by-side-${#pids[@]}.log" 2>&1 &
  pids+=($!)
  names+=("$1")
}
side_by_side wine-smart-import.sh "$build/win" "$build/native"
side_by_side wine-runlog.sh "$build/win"
side_by_side wine-nights.sh "$build/win" "$build/native"
failed=0
for i in "${!pids[@]}"; do
  status=0
  wait "${pids[$i]}" || status=$?
  echo "-- ${names[$i]} (exit status $status)"
  cat "$build/win/side-by-side-$i.log"
  [ "$status" = 0 ] || failed=1
done
[ "$failed" = 0 ] || { echo "A Wine script failed (above)." >&2; exit 1; }

step "release packages: built twice, the zip under Wine, the .deb installed"
# Reuses the builds above for the first packages; the second is compiled anew.
package_start=$(date +%s)
"$root/scripts/check-packages.sh" "$build"
echo "packages checked in $(( $(date +%s) - package_start )) s"
echo; echo "All tests passed in $(( $(date +%s) - started )) s."
