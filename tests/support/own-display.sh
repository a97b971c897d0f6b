#!/usr/bin/env bash
# Runs a test command on an X server of its own when the xcb platform is asked for, so that
# tests run side by side never take each other's window activation. Any other platform (and
# the listing of a test program's cases) runs the command as it is.
#
# ZEL_WINDOW_MANAGER=openbox asks for the xcb platform with a window manager on that server,
# for the cases about frames, title bars and maximised windows; the command starts once the
# manager has taken the screen, so that every window it maps is managed.
set -u

if [ -n "${ZEL_WINDOW_MANAGER:-}" ]; then
    if [ "$ZEL_WINDOW_MANAGER" != "openbox" ]; then
        echo "own-display: unknown window manager \"$ZEL_WINDOW_MANAGER\"" >&2
        exit 1
    fi
    export QT_QPA_PLATFORM=xcb
fi
if [ "${QT_QPA_PLATFORM:-}" != "xcb" ]; then
    exec "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/own-display.XXXXXX") || exit 1
server=""
manager=""
test=""
stop() {
    if [ -n "$1" ]; then
        kill "$1" 2>/dev/null
        wait "$1" 2>/dev/null
    fi
}
cleanup() {
    stop "$test"
    stop "$manager"
    stop "$server"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# The server picks a free display number itself and writes it once it accepts clients.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset -auth "$work/auth" \
    3>"$work/display" 2>"$work/server.log" &
server=$!
if ! read -r -t 20 number <"$work/display"; then
    echo "own-display: the X server did not start" >&2
    cat "$work/server.log" >&2
    exit 1
fi
export DISPLAY=":$number"

if [ -n "${ZEL_WINDOW_MANAGER:-}" ]; then
    # The system's settings only (not the user's), and its log in the folder of this run. A
    # manager sets _NET_SUPPORTING_WM_CHECK once it has the screen: from then on every map
    # request goes to it.
    XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
        openbox --sm-disable >"$work/manager.log" 2>&1 &
    manager=$!
    ready=""
    for _ in $(seq 1 200); do
        if xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
            ready=1
            break
        fi
        if ! kill -0 "$manager" 2>/dev/null; then break; fi
        sleep 0.05
    done
    if [ -z "$ready" ]; then
        echo "own-display: the window manager did not start" >&2
        cat "$work/manager.log" >&2
        exit 1
    fi
fi

# The server has read its (empty) authority file and the manager has opened its log: nothing
# in the folder is needed any more, and a test killed on its time limit then leaves nothing
# behind in it.
rm -rf "$work"
"$@" &
test=$!
wait "$test"
status=$?
test=""
exit "$status"
