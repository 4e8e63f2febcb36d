#!/usr/bin/env bash
# colorsplit-cli batch over 16 photo-sized pictures (4032 x 3024 JPEGs, made here), one picture
# at a time and two at once, without and with an export: the wall time of each run.
#   bench/batch.sh [COLORSPLIT_CLI]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${COLORSPLIT_BUILD_DIR:-$root/build}
cli=${1:-$build/app/colorsplit-cli}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for i in $(seq -w 1 16); do
    "$build/bench/colorsplit_make_photo" 4032 3024 "$work/photo$i.jpg" "$i"
done
seeds=(--seed 4B7AD3 --seed FACE4A --seed 42882D --seed AF1E1E)
for jobs in 1 2; do
    /usr/bin/time -f "--jobs $jobs: %e s, %M KB peak" \
        "$cli" batch --fit --jobs "$jobs" "${seeds[@]}" "$work"/photo*.jpg >"$work/jobs$jobs.csv"
done
cmp "$work/jobs1.csv" "$work/jobs2.csv" && echo "the same CSV"
for jobs in 1 2; do
    rm -rf "$work/out"
    /usr/bin/time -f "--jobs $jobs --export: %e s, %M KB peak" \
        "$cli" batch --fit --jobs "$jobs" --export "$work/out" "${seeds[@]}" "$work"/photo*.jpg >/dev/null
done
