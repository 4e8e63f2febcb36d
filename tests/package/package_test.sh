#!/usr/bin/env bash
# Builds the Debian package, checks its files, unpacks it into a temporary root and runs the
# installed colorsplit-cli on the installed sample: its log must equal the build tree's.
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

desktop-file-validate "$source_dir/dist/linux/io.github.colorsplit.Colorsplit.desktop" \
    || fail "desktop entry does not validate"
appstreamcli validate --no-net --pedantic \
    "$build_dir/dist/io.github.colorsplit.Colorsplit.metainfo.xml" >/dev/null \
    || fail "metainfo does not validate"

(cd "$build_dir" && cpack -G DEB -B "$work/pkg" >/dev/null)
deb=$(ls "$work"/pkg/colorsplit_*.deb)
dpkg -c "$deb" >"$work/files"
for f in ./usr/bin/colorsplit ./usr/bin/colorsplit-cli \
         ./usr/share/colorsplit/samples/landscape.bmp \
         ./usr/share/applications/io.github.colorsplit.Colorsplit.desktop \
         ./usr/share/metainfo/io.github.colorsplit.Colorsplit.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/io.github.colorsplit.Colorsplit.svg \
         ./usr/share/icons/hicolor/16x16/apps/io.github.colorsplit.Colorsplit.png \
         ./usr/share/icons/hicolor/256x256/apps/io.github.colorsplit.Colorsplit.png \
         ./usr/share/man/man1/colorsplit.1.gz \
         ./usr/share/man/man1/colorsplit-cli.1.gz \
         ./usr/share/doc/colorsplit/copyright \
         ./usr/share/doc/colorsplit/changelog.Debian.gz; do
    grep -q " $f\$" "$work/files" || fail "package lacks $f"
done
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6gui6 libqt6widgets6 qt6-qpa-plugins libtiff6 libwebp7 libwebpdemux2 libgif7 libheif1 liblcms2-2 libcairo2 \
         "fonts-noto-cjk | fonts-wqy-microhei"; do
    grep -q -- "$d" <<<"$depends" || fail "Depends lacks $d: $depends"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$(cat "$build_dir/version.txt")-1" ] || fail "version"
# Debian's own judge of packages: any error or warning fails.
lintian --pedantic --fail-on error,warning "$deb" >"$work/lintian" 2>&1 \
    || { cat "$work/lintian"; fail "lintian"; }

dpkg -x "$deb" "$work/root"
use=(open "$work/root/usr/share/colorsplit/samples/landscape.bmp"
     pick 40 40 pick 370 70 pick 300 320 pick 120 270 execute mask 3 mean)
"$work/root/usr/bin/colorsplit-cli" "${use[@]}" >"$work/installed.log"
use[1]=$source_dir/samples/landscape.bmp
"$build_dir/app/colorsplit-cli" "${use[@]}" >"$work/built.log"
cmp -s "$work/installed.log" "$work/built.log" || fail "logs differ"
[ "$(wc -l <"$work/built.log")" -gt 12 ] || fail "short log"
"$work/root/usr/bin/colorsplit-cli" --version | grep -q "$(cat "$build_dir/version.txt")" || fail "--version"
echo "package test: 1 passed, 0 failed"
