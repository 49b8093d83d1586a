#!/usr/bin/env bash
# The release packages as a user meets them:
#   1. scripts/package.sh builds them (reusing the builds in BUILD_DIR), then
#      again from a fresh clone of the same commit in other folders, compiled
#      anew without a compiler cache; the two SHA256SUMS must be equal;
#   2. the zip, unpacked into a folder whose path has spaces and Cyrillic
#      letters, under Wine: --version prints the version, --sample converts
#      the bundled sample and --verify reads its archives back, and the
#      window opens with its icon (tools/wingui-driver --icon; the picture is
#      kept as BUILD_DIR/package-check/icon-window.png);
#   3. lintian finds no error in the .deb; as root, apt-get installs it,
#      the program in /usr/bin prints its version and converts the sample,
#      man finds its page, and apt-get removes it leaving nothing behind.
#
# usage: check-packages.sh [BUILD_DIR]   (default build/; build/win's
#        wingui-driver built, as scripts/test-all.sh does)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
name=vuzuz-archive-creator
check_dir="$build/package-check"
rm -rf "$check_dir" && mkdir -p "$check_dir"
work="$(mktemp -d /tmp/vz-packages.XXXXXX)"
prefix="$work/wineprefix"
cleanup() {
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL $*" >&2; exit 1; }
ok() { echo "ok   $*"; }

version="$(sed -n 's/^project([^)]* VERSION \([0-9][0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
commit="$(git -C "$root" rev-parse --short=7 HEAD)"
expected="$name $version ($commit)"
zip="$root/dist/$name-$version-windows-x64.zip"
deb="$root/dist/${name}_${version}_amd64.deb"

echo "-- the version without git"
# A source tree from a tarball has no commit to name: the plain version.
mkdir -p "$work/tarball"
cmake -DSOURCE_DIR="$work/tarball" -DVERSION="$version" -DOUT="$work/tarball/version.h" \
  -P "$root/cmake/WriteProgramVersion.cmake"
grep -qx "#define VZ_PROGRAM_VERSION_TEXT \"$version\"" "$work/tarball/version.h" ||
  fail "a tree without git gets the plain version: $(cat "$work/tarball/version.h")"
ok "a tree without git: \"$version\""

echo "-- two builds of commit $commit"
VZ_BUILD="$build" "$root/scripts/package.sh" >/dev/null
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
  echo "SKIP the second build: the tree has uncommitted changes, and the clone builds the commit"
else
  second="$work/second"
  git clone -q --no-checkout "$root" "$second/src"
  git -C "$second/src" checkout -q "$(git -C "$root" rev-parse HEAD)"
  # Compiled anew: no cache may stand in for the compiler.
  CCACHE_DISABLE=1 VZ_BUILD="$second/build" VZ_DIST="$second/dist" "$second/src/scripts/package.sh" >/dev/null
  if ! cmp -s "$root/dist/SHA256SUMS" "$second/dist/SHA256SUMS"; then
    diff "$root/dist/SHA256SUMS" "$second/dist/SHA256SUMS" || true
    # The second build's packages and their unpacked members stay for a look
    # beside the first's (build/package).
    mkdir -p "$check_dir/second"
    cp -r "$second/dist" "$second/build/package" "$check_dir/second/"
    (cd "$build/package" && find . -type f -exec cmp {} "$check_dir/second/package/{}" \;) || true
    fail "the two builds differ: $check_dir/second holds the second (cmp -l, objdump -p, strings)"
  fi
  ok "both builds give the same SHA-256 sums"
fi
cat "$root/dist/SHA256SUMS"
(cd "$root/dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"

echo "-- the zip under Wine, from a folder with spaces and Cyrillic letters"
unpacked="$work/Мои программы/Vuzuz archive creator"
mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked"
for member in "$name.exe" README.txt guide/main-window.png; do
  [ -f "$unpacked/$member" ] || fail "the zip holds $member"
done
grep -q $'\r$' "$unpacked/README.txt" && ! grep -q $'[^\r]$' "$unpacked/README.txt" ||
  fail "README.txt has CRLF line ends"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
winpath() { echo "Z:${1//\//\\}"; }
exe="$(winpath "$unpacked/$name.exe")"
xvfb-run -a -s "-screen 0 1024x768x24" bash -s "$exe" "$(winpath "$unpacked")" "$expected" \
  "$(winpath "$build/win/tools/wingui-driver.exe")" "$(winpath "$check_dir")" <<'INNER' || exit 1
set -euo pipefail
exe="$1" dir="$2" expected="$3" driver="$4" shots="$5"
fail() { echo "FAIL $*" >&2; exit 1; }
ok() { echo "ok   $*"; }
wine() { /usr/lib/wine/wine64 "$@"; }
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
got="$(wine "$exe" --version | tr -d '\r')"
[ "$got" = "$expected" ] || fail "--version prints \"$expected\", not \"$got\""
ok "--version: $got"
wine "$exe" --sample >/dev/null || fail "--sample exits with status $?"
ok "--sample converts the bundled sample"
wine "$exe" --verify "$dir\\sample\\output" "/m:$dir\\sample\\metastock" >/dev/null ||
  fail "--verify finds the sample's archives unsound (status $?)"
ok "--verify reads the archives back and finds them agreeing with the sample"
wine "$driver" --icon "$exe" "$shots"
INNER
convert "$check_dir/icon-window.bmp" "$check_dir/icon-window.png" && rm -f "$check_dir/icon-window.bmp"
ok "the window's picture: $check_dir/icon-window.png"

echo "-- the Debian package"
lintian --fail-on error "$deb" | tee "$check_dir/lintian.txt" || fail "lintian reports errors"
ok "lintian: no errors ($(grep -c '^W:' "$check_dir/lintian.txt" || true) warnings)"
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP installing the .deb: that needs root (CI runs as root)"
  exit 0
fi
! dpkg -s "$name" >/dev/null 2>&1 || fail "$name is installed already; remove it first"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
installed_ok=0
(
  set -e
  got="$(/usr/bin/$name --version)"
  [ "$got" = "$expected" ] || fail "/usr/bin/$name --version prints \"$expected\", not \"$got\""
  ok "installed; --version: $got"
  # A user of its own, so that the sample lands in its data folder.
  home="$work/home"
  mkdir -p "$home"
  (cd "$work" && HOME="$home" XDG_DATA_HOME= XDG_STATE_HOME= /usr/bin/$name --sample >/dev/null 2>&1) ||
    fail "/usr/bin/$name --sample exits with status $?"
  sample="$home/.local/share/$name/sample"
  HOME="$home" /usr/bin/$name --verify "$sample/output" "/m:$sample/metastock" >/dev/null ||
    fail "--verify finds the installed program's sample archives unsound"
  [ ! -e /usr/bin/sample ] || fail "the sample was written into /usr/bin"
  ok "--sample converts the bundled sample into $sample, and --verify agrees"
  page="$(man -w $name)" || fail "man -w $name finds no page"
  ok "man -w: $page"
) && installed_ok=1
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq --purge "$name" >/dev/null
[ "$installed_ok" = 1 ] || exit 1
! dpkg -s "$name" >/dev/null 2>&1 || fail "$name is still installed"
for f in "/usr/bin/$name" "/usr/share/man/man1/$name.1.gz" "/usr/share/doc/$name"; do
  [ ! -e "$f" ] || fail "$f is left after the removal"
done
ok "removed cleanly"
