#!/usr/bin/env bash
# Starts the real program in a real X server with a picture named on its command line, waits
# for its window, checks its size and that it shows the picture, closes it with its exit button
# and checks that it ends with status 0; then, under a window manager (openbox) on a 1920 x 1080
# screen, that every start at display scale 2 puts the whole frame inside the screen, and that
# the window comes back where it was left: window_smoke.sh PROGRAM PICTURE
set -euo pipefail
program=$1
picture=$2
here=$(dirname "$0")

case "${3:-}" in
    "")
        "$here/../../scripts/with-xvfb" bash "$0" "$program" "$picture" --inside
        XVFB_SCREEN=1920x1080x24 exec "$here/../../scripts/with-xvfb" bash "$0" "$program" \
            "$picture" --managed
        ;;
    --managed)
        exec bash "$here/window_placement.sh" "$program"
        ;;
esac
unset QT_QPA_PLATFORM
work=$(mktemp -d)
pid=
trap 'rm -rf "$work"; [ -z "$pid" ] || kill "$pid" 2>/dev/null || true' EXIT
# What the window remembers goes here, not into the settings of whoever runs the test.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data

"$program" "$picture" &
pid=$!

wid=
for _ in $(seq 200); do
    wid=$(xdotool search --onlyvisible --name "^$(basename "$picture") \\(100%\\) - colorsplit\$" 2>/dev/null | head -n 1) && [ -n "$wid" ] && break
    sleep 0.1
done
[ -n "$wid" ] || { echo "FAIL: no window named after the picture appeared"; exit 1; }
sleep 0.5

geometry=$(xwininfo -id "$wid")
width=$(awk '/Width:/ {print $2}' <<<"$geometry")
height=$(awk '/Height:/ {print $2}' <<<"$geometry")
# No window manager here: the window has no frame, so its outer size is its own: the designed
# 788 x 528 below a menu bar.
menu=$((height - 528))
[ "$width" = 788 ] && [ "$menu" -ge 16 ] && [ "$menu" -le 48 ] \
    || { echo "FAIL: window is ${width}x${height}"; exit 1; }

# The first paint may still be on its way: look a few times.
colours=0
for _ in $(seq 20); do
    import -window "$wid" "$work/shot.png"
    colours=$(convert "$work/shot.png" -format '%k' info:)
    [ "$colours" -gt 16 ] && break
    sleep 0.25
done
[ "$colours" -gt 16 ] || { echo "FAIL: the window drew only $colours colours"; exit 1; }

# Docks match the window to its launcher by its class and show it with the launcher's icon.
entry=$(dirname "$0")/../../dist/linux/io.github.colorsplit.Colorsplit.desktop
class=$(sed -n 's/^StartupWMClass=//p' "$entry")
# (Read whole first: grep -q would stop reading early, and pipefail take xprop's SIGPIPE for
# a failure.)
properties=$(xprop -id "$wid" WM_CLASS _NET_WM_ICON)
grep -q "^WM_CLASS.*\"$class\"\$" <<<"$properties" \
    || { echo "FAIL: the window's class is not the desktop entry's $class: $(grep WM_CLASS <<<"$properties")"; exit 1; }
grep -q 'Icon (48 x 48)' <<<"$properties" || { echo "FAIL: the window has no icon of its own"; exit 1; }

# The picture's pixel (40, 40) shows at (60, 80) below the menu bar: the frame at (0, 10), the
# picture at (20, 30).
want=$(convert "$picture" -format '%[pixel:p{40,40}]' info:)
shown=$(convert "$work/shot.png" -format "%[pixel:p{60,$((80 + menu))}]" info:)
[ "$want" = "$shown" ] || { echo "FAIL: the picture's pixel is $want, the window shows $shown"; exit 1; }

# The exit button, 離開, at (640, 89), 92 x 30.
xdotool mousemove --window "$wid" 686 $((104 + menu)) click 1
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then echo "FAIL: still running after 離開"; exit 1; fi
status=0
wait "$pid" || status=$?
[ "$status" = 0 ] || { echo "FAIL: exit status $status"; exit 1; }
echo "window smoke test: 1 passed, 0 failed"
