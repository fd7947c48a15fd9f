#!/bin/bash
# own_display.sh COMMAND [ARGS...]: runs the command on an X display of its
# own. The scenarios photograph the screen under the wizard, and the windows
# of tests running beside them must not be in the picture. Xvfb picks a free
# display number itself (-displayfd), so parallel scenarios cannot collide.
# ORVIK_SCREEN_SIZE (default 1024x768) sizes the screen, e.g. larger for a
# display at a higher scale.
set -u
number=$(mktemp)
Xvfb -displayfd 3 -screen 0 "${ORVIK_SCREEN_SIZE:-1024x768}x24" -nolisten tcp 3>"$number" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$number"' EXIT
for _ in $(seq 200); do
    [[ -s $number ]] && break
    sleep 0.05
done
if [[ ! -s $number ]]; then
    echo "own_display.sh: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=:$(head -n 1 "$number")
"$@"
