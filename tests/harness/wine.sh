#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command with Wine pointed at a private prefix, which Wine makes on
# first use:   tests/harness/wine.sh PREFIX COMMAND [ARGS...]
# e.g.         tests/harness/wine.sh build/wine/try wine build-windows/tarvo.exe
# Wine's files stay in PREFIX and PREFIX.home (its HOME): nothing outside
# them changes. No .NET or Internet Explorer stand-ins are fetched or
# installed, and no launcher entries are written for Start-menu shortcuts.
# Japanese captions need a Japanese locale name (and a CJK font).
set -euo pipefail
prefix=$(realpath -m "$1")
shift
mkdir -p "$prefix.home"
unset LC_ALL LC_CTYPE LC_MESSAGES
export WINEPREFIX=$prefix HOME=$prefix.home XDG_CONFIG_HOME=$prefix.home/.config XDG_CACHE_HOME=$prefix.home/.cache \
    XDG_DATA_HOME=$prefix.home/.local/share WINEDEBUG=${WINEDEBUG:--all} WINEARCH=win64 LANG=ja_JP.UTF-8 \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
exec "$@"
