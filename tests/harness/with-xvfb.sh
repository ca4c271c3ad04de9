#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command on an X server of its own (Xvfb, 640 x 480), which ends with
# it:   tests/harness/with-xvfb.sh COMMAND [ARGS...]
set -euo pipefail
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -nolisten local 3>"$dir/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wait $xvfb 2>/dev/null || true; rm -rf "$dir"' EXIT
for _ in $(seq 200); do [ -s "$dir/display" ] && break; sleep 0.05; done
[ -s "$dir/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(cat "$dir/display")
"$@"
