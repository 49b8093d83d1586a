#!/usr/bin/env bash
# Builds the release packages from the current commit:
#   dist/vuzuz-archive-creator-VERSION-windows-x64.zip   the Windows program,
#       its guide (README.txt, CRLF) and the guide's pictures
#   dist/vuzuz-archive-creator_VERSION_amd64.deb         the Linux program,
#       its man page, README, copyright and changelog
#   dist/SHA256SUMS
# The same commit gives the same bytes in any folder at any time: member
# times are the commit's time (SOURCE_DATE_EPOCH), members are listed in a
# fixed order with fixed owners and modes, the programs carry no build path
# or link time (CMakeLists.txt).
#
# It builds in the folders scripts/test-all.sh uses (build/win, build/native)
# with the same settings, so after test-all.sh nothing is compiled again.
#   scripts/package.sh
# Environment: VZ_BUILD (build folder, default build/), VZ_DIST (default
# dist/), VZ_JOBS (parallel jobs).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VZ_BUILD:-$root/build}"
dist="${VZ_DIST:-$root/dist}"
jobs="${VZ_JOBS:-$(nproc)}"
"$root/scripts/install-deps.sh"

name=vuzuz-archive-creator
maintainer="Vuzuz archive creator developers <maintainers@users.noreply.c-seed-2b10ca63.example>"
# The version is written once, in CMakeLists.txt's project().
version="$(sed -n 's/^project([^)]* VERSION \([0-9][0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
[ -n "$version" ] || { echo "package.sh: no VERSION in project() of CMakeLists.txt" >&2; exit 1; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct 2>/dev/null)" ||
    { echo "package.sh: not a git checkout; set SOURCE_DATE_EPOCH to the release's time" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "package.sh: warning: the tree has uncommitted changes; the packages hold them but carry the commit's id" >&2
fi

# The programs, built as scripts/test-all.sh builds them.
cmake -S "$root" -B "$build/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build/win" -j "$jobs" vuzuz-archive-creator >/dev/null
cmake -S "$root" -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Tests -DCMAKE_CXX_FLAGS_TESTS="-O2" \
  -DVZ_BUILD_BENCH=OFF >/dev/null
ninja -C "$build/native" -j "$jobs" vuzuz-archive-creator >/dev/null

stage="$build/package"
rm -rf "$stage" && mkdir -p "$stage" "$dist"
umask 022
# Every member: the commit's time, and modes the umask does not decide.
normalise() {
  find "$1" -type d -exec chmod 0755 {} +
  find "$1" -type f -exec chmod 0644 {} +
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# --- Windows zip -------------------------------------------------------------
zipname="$name-$version-windows-x64.zip"
win="$stage/win"
mkdir -p "$win/guide"
x86_64-w64-mingw32-strip -o "$win/$name.exe" "$build/win/app/$name.exe"
sed "s/@VERSION@/$version/" "$root/docs/guide/README.txt" | sed 's/$/\r/' >"$win/README.txt"
# The pictures the guide names, in the guide's order.
pictures=(main-window calendar import-range run-progress)
for picture in "${pictures[@]}"; do
  if [ -f "$root/docs/guide/$picture.png" ]; then
    cp "$root/docs/guide/$picture.png" "$win/guide/"
  elif [ "$picture" = main-window ] && [ -f "$root/docs/main-window.png" ]; then
    cp "$root/docs/main-window.png" "$win/guide/"
  else
    echo "package.sh: docs/guide/$picture.png is not there yet; the zip goes without it" >&2
  fi
done
normalise "$win"
chmod 0755 "$win/$name.exe"
members=("$name.exe" README.txt)
for picture in "${pictures[@]}"; do
  [ -f "$win/guide/$picture.png" ] && members+=("guide/$picture.png")
done
rm -f "$dist/$zipname"
# -X: no owner or extra time fields; -D: no folder entries; UTC: zip keeps
# local times.
(cd "$win" && TZ=UTC zip -q -X -D -9 "$dist/$zipname" "${members[@]}")

# --- Debian package ----------------------------------------------------------
debname="${name}_${version}_amd64.deb"
deb="$stage/deb"
doc="$deb/usr/share/doc/$name"
mkdir -p "$deb/DEBIAN" "$deb/usr/bin" "$deb/usr/share/man/man1" "$doc"
strip --strip-unneeded --remove-section=.comment --remove-section=.note -o "$deb/usr/bin/$name" \
  "$build/native/app/$name"
release_day="$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%d)"
sed -e "s/@VERSION@/$version/" -e "s/^\.TH \(.*\) \"\" /.TH \1 \"$release_day\" /" \
  "$root/packaging/$name.1" | gzip -9n >"$deb/usr/share/man/man1/$name.1.gz"
cp "$root/README.md" "$doc/README.md"
cp "$root/packaging/copyright" "$doc/copyright"
commit="$(git -C "$root" rev-parse --short=7 HEAD 2>/dev/null || true)"
{
  echo "$name ($version) unstable; urgency=medium"
  echo
  echo "  * Release $version${commit:+ (commit $commit)}."
  echo
  echo " -- $maintainer  $(LC_ALL=C date -u -R -d "@$SOURCE_DATE_EPOCH")"
} | gzip -9n >"$doc/changelog.gz"

# Depends: what the program is linked against, as dpkg-shlibdeps finds it.
shlibs="$stage/shlibs"
mkdir -p "$shlibs/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: amd64\n' "$name" "$name" >"$shlibs/debian/control"
depends="$(cd "$shlibs" && dpkg-shlibdeps -O "$deb/usr/bin/$name" | sed -n 's/^shlibs:Depends=//p')"
installed_kib="$(find "$deb/usr" -type f -printf '%s\n' | awk '{ kib += int(($1 + 1023) / 1024) } END { print kib }')"
cat >"$deb/DEBIAN/control" <<CONTROL
Package: $name
Version: $version
Architecture: amd64
Maintainer: $maintainer
Installed-Size: $installed_kib
Depends: $depends
Section: misc
Priority: optional
Description: MetaStock price data into Vuzuz GlobalServer archives
 Vuzuz archive creator converts the price data of a MetaStock data
 directory into ".omz" archives for Vuzuz Research GlobalServer: one
 archive per month of daily bars and one per day of intraday ticks.
 .
 It opens the MetaStock directory as one of its registered users, so it
 can run while other MetaStock-compatible programs share the directory,
 and never replaces an archive by anything but a complete new one. This
 is the command-line program; GlobalServer's Smart import needs the
 Windows program.
CONTROL
(cd "$deb" && find usr -type f | LC_ALL=C sort | xargs md5sum) >"$deb/DEBIAN/md5sums"
normalise "$deb"
chmod 0755 "$deb/usr/bin/$name"
rm -f "$dist/$debname"
dpkg-deb --root-owner-group -Zxz --build "$deb" "$dist/$debname" >/dev/null

(cd "$dist" && sha256sum "$zipname" "$debname" >SHA256SUMS)
echo "Packages of $version in $dist:"
(cd "$dist" && cat SHA256SUMS)
