#!/usr/bin/env bash
# Runs a test command on an X server of its own when the xcb platform is asked for, so that
# tests run side by side never take each other's window activation. Any other platform (and
# the listing of a test program's cases) runs the command as it is.
set -u

if [ "${QT_QPA_PLATFORM:-}" != "xcb" ]; then
    exec "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/own-display.XXXXXX") || exit 1
server=""
test=""
cleanup() {
    if [ -n "$test" ]; then
        kill "$test" 2>/dev/null
        wait "$test" 2>/dev/null
    fi
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null
        wait "$server" 2>/dev/null
    fi
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

# The server has read its (empty) authority file: nothing in the folder is needed any more,
# and a test killed on its time limit then leaves nothing behind in it.
rm -rf "$work"
export DISPLAY=":$number"
"$@" &
test=$!
wait "$test"
status=$?
test=""
exit "$status"
