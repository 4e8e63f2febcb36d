#!/usr/bin/env bash
# Inside an X server of 1920 x 1080 (window_smoke.sh starts one): openbox frames the real
# program's window. At display scale 2 the design is taller than the screen; each of several
# starts must put the whole frame, title bar included, inside it (a window manager tells the
# frame late, and not every start alike). Then a window moved and resized by the user opens
# there again: window_placement.sh PROGRAM
set -euo pipefail
program=$1
unset QT_QPA_PLATFORM
work=$(mktemp -d)
wm=
pid=
trap 'rm -rf "$work"; [ -z "$pid" ] || kill "$pid" 2>/dev/null || true; [ -z "$wm" ] || kill "$wm" 2>/dev/null || true' EXIT
screen_width=1920
screen_height=1080

openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || { echo "FAIL: openbox did not start"; exit 1; }

# Starts the program with the settings in $1, waits for its window and for the window manager
# to settle it; sets wid and pid.
start() {
    XDG_CONFIG_HOME=$1 XDG_DATA_HOME=$work/data "$program" 2>>"$work/program.log" &
    pid=$!
    wid=
    for _ in $(seq 100); do
        wid=$(xdotool search --onlyvisible --pid "$pid" --name 'colorsplit' 2>/dev/null | head -n 1) && [ -n "$wid" ] && break
        sleep 0.1
    done
    [ -n "$wid" ] || { echo "FAIL: no window appeared"; exit 1; }
    # The window places itself again while the window manager settles it, for 2.5 s.
    sleep 3
}

# The window's frame as x y width height, from its own place and the frame's extents.
frame() {
    local info extents left right top bottom x y w h
    info=$(xwininfo -id "$wid")
    x=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")
    y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
    w=$(awk '/Width:/ {print $2}' <<<"$info")
    h=$(awk '/Height:/ {print $2}' <<<"$info")
    extents=$(xprop -id "$wid" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ,)
    read -r left right top bottom <<<"${extents:-0 0 0 0}"
    echo "$((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))"
}

stop() {
    xdotool windowactivate --sync "$wid" key ctrl+q
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    wait "$pid" || { echo "FAIL: exit status $? after Ctrl+Q"; exit 1; }
    pid=
}

failed=0
export QT_SCALE_FACTOR=2
for i in $(seq 8); do
    start "$work/fresh-$i"
    read -r fx fy fw fh <<<"$(frame)"
    if [ "$fx" -lt 0 ] || [ "$fy" -lt 0 ] || [ $((fx + fw)) -gt $screen_width ] \
        || [ $((fy + fh)) -gt $screen_height ]; then
        echo "FAIL: start $i at scale 2: the frame is ${fw}x${fh}+${fx}+${fy}"
        failed=$((failed + 1))
    fi
    stop
done

# Moved and resized (through the window manager, as a user does), closed, opened again.
export QT_SCALE_FACTOR=1
start "$work/moved"
xdotool windowsize "$wid" 900 640
xdotool windowmove "$wid" 300 200
sleep 0.5
left=$(frame)
stop
start "$work/moved"
again=$(frame)
stop
[ "$again" = "$left" ] || { echo "FAIL: left at $left, opened again at $again"; failed=$((failed + 1)); }

[ "$failed" = 0 ] || exit 1
echo "window placement test: 9 passed, 0 failed"
