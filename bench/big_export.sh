#!/usr/bin/env bash
# A 96-megapixel photo (12000 x 8000, made here) as a JPEG, an LZW TIFF in strips and a lossy
# WebP, each opened as a reduced copy alone; and the JPEG opened, grouped and exported at full
# size. The wall time and peak memory of each run; the files' sizes, as each is read whole
# into memory first.
#   bench/big_export.sh [COLORSPLIT_CLI] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${COLORSPLIT_BUILD_DIR:-$root/build}
cli=${1:-$build/app/colorsplit-cli}
runs=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for kind in jpg tif webp; do
    "$build/bench/colorsplit_make_photo" 12000 8000 "$work/photo.$kind"
done
run() {
    local what=$1
    shift
    for _ in $(seq "$runs"); do
        rm -rf "$work/out"
        /usr/bin/time -f "$what: %e s, %M KB peak" "$cli" "$@" >/dev/null
    done
}
for kind in jpg tif webp; do
    echo "photo.$kind: $(stat -c %s "$work/photo.$kind") bytes"
    run "open $kind" --fit open "$work/photo.$kind"
done
run "open, group, export" --fit open "$work/photo.jpg" \
    seed 4B7AD3 seed FACE4A seed 42882D seed AF1E1E execute export "$work/out"
du -b "$work/out"/* | awk '{ sum += $1 } END { print "export: " sum " bytes in " NR " files" }'
