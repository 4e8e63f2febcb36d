#!/usr/bin/env bash
# In a 1920 x 1080 X server (window_smoke.sh starts one), under openbox: at display scale 2 the
# design is taller than the screen, and every one of several starts must put the whole frame,
# title bar included, inside it (the window manager tells the frame late, and not alike every
# time); then a window the user moved and resized opens there again: window_placement.sh PROGRAM
set -euo pipefail
program=$1
unset QT_QPA_PLATFORM
work=$(mktemp -d)
wm= pid=
trap 'rm -rf "$work"; kill $pid $wm 2>/dev/null || true' EXIT
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' && break; sleep 0.1; done

# Starts the program with its settings in $1 and waits until it has placed itself (2.5 s).
start() {
    XDG_CONFIG_HOME=$1 XDG_DATA_HOME=$work/data "$program" 2>/dev/null &
    pid=$!
    for _ in $(seq 100); do
        wid=$(xdotool search --onlyvisible --pid "$pid" --name colorsplit 2>/dev/null | head -n 1) && break
        sleep 0.1
    done
    [ -n "$wid" ] || { echo "FAIL: no window appeared"; exit 1; }
    sleep 3
}
# The frame as "x y width height": the window's own place and the frame's extents round it.
frame() {
    local info l r t b
    info=$(xwininfo -id "$wid")
    read -r l r t b <<<"$(xprop -id "$wid" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ,)"
    awk -v l="${l:-0}" -v r="${r:-0}" -v t="${t:-0}" -v b="${b:-0}" '
        /Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
        /Width:/ {w = $2} /Height:/ {h = $2}
        END {print x - l, y - t, w + l + r, h + t + b}' <<<"$info"
}
stop() {
    xdotool windowactivate --sync "$wid" key ctrl+q
    wait "$pid" || { echo "FAIL: exit status $? after Ctrl+Q"; exit 1; }
    pid=
}

failed=0
for i in $(seq 8); do
    QT_SCALE_FACTOR=2 start "$work/fresh-$i"
    read -r x y w h <<<"$(frame)"
    if [ "$x" -lt 0 ] || [ "$y" -lt 0 ] || [ $((x + w)) -gt 1920 ] || [ $((y + h)) -gt 1080 ]; then
        echo "FAIL: start $i at scale 2: the frame is ${w}x${h}+${x}+${y}" && failed=$((failed + 1))
    fi
    stop
done
start "$work/moved"
xdotool windowsize "$wid" 900 640 windowmove "$wid" 300 200
sleep 0.5
left=$(frame)
stop
start "$work/moved"
[ "$(frame)" = "$left" ] || { echo "FAIL: left at $left, opened at $(frame)"; failed=$((failed + 1)); }
stop
[ "$failed" = 0 ] || exit 1
echo "window placement test: 9 passed, 0 failed"
