#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package as tools/make-deb does and checks it as a Debian
# maintainer and a software centre would: lintian (pedantic), the hardening of
# the executable, the launcher entry, the AppStream metadata and the icons.
#   tests/package/package_test.sh WORK_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$1
for tool in lintian hardening-check desktop-file-validate appstreamcli identify dpkg-deb; do
    command -v $tool >/dev/null || { echo "missing tool: $tool (./test installs it)"; exit 1; }
done
deb=$("$here/tools/make-deb" "$work" | tail -n 1)
rm -rf "$work/root" && dpkg-deb -x "$deb" "$work/root"
failed=0
fail() { echo "FAILED: $*"; failed=$((failed + 1)); }

# The default maintainer is a placeholder (tarvo@localhost) that a packager
# replaces; lintian rightly flags that address and nothing else. Without a
# homepage (TARVO_HOMEPAGE, as tools/make-deb takes it), lintian's run of
# AppStream 1.x also reports the missing homepage; the metadata is checked in
# full below, so that report alone is let through then.
tags=$(lintian --pedantic --no-tag-display-limit "$deb" 2>/dev/null | grep -E '^[EWIPX]:' || true)
expected=': bogus-mail-host(-in-debian-changelog)? .*tarvo@localhost'
[ -n "${TARVO_HOMEPAGE:-}" ] || expected="$expected|: appstream-metadata-validation-failed "
unexpected=$(grep -v -E "$expected" <<<"$tags" || true)
[ -z "$unexpected" ] || fail "lintian: $unexpected"

# Control-flow protection is left out: Debian 12's C start files carry no IBT
# note, so no program built there can have it. Branch protection (BTI and PAC,
# which newer hardening-check looks for) exists on ARM only.
unchecked=(--nocfprotection)
if [ "$(dpkg --print-architecture)" != arm64 ] &&
   grep -q -- --nobranchprotection <<<"$(hardening-check --help 2>&1 || true)"; then
    unchecked+=(--nobranchprotection)
fi
hardening-check "${unchecked[@]}" "$work/root/usr/games/tarvo" || fail "hardening-check"

desktop-file-validate "$work/root/usr/share/applications/io.tarvo.tarvo.desktop" || fail "desktop-file-validate"
source "$here/tests/package/appstream.sh"
tarvo_validate_metainfo "$work/root/usr/share/metainfo/io.tarvo.tarvo.metainfo.xml" "${TARVO_HOMEPAGE:-}" \
    || fail "appstreamcli"
grep -qx 'Exec=/usr/games/tarvo' "$work/root/usr/share/applications/io.tarvo.tarvo.desktop" || fail "Exec line"
for size in 32 48 64 128 256; do
    f=$work/root/usr/share/icons/hicolor/${size}x${size}/apps/tarvo.png
    [ -f "$f" ] || { fail "no ${size}x${size} icon"; continue; }
    [ "$(identify -format '%wx%h' "$f")" = "${size}x${size}" ] || fail "icon $f is not ${size}x${size}"
done
[ "$(zcat "$work/root/usr/share/man/man6/tarvo.6.gz" | head -c 1)" ] || fail "man page"
grep -q '^License: MIT' "$work/root/usr/share/doc/tarvo/copyright" || fail "copyright"
# The copyright file says every file is MIT: each source file says so too
# (not the npm packages that bench/run installs for the benchmarks).
unmarked=$(cd "$here" && find src tests tools bench packaging cmake -path bench/lighthouse/node_modules -prune -o -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' \
    -o -name CMakeLists.txt -o -name '*.cmake' -o -name '*.in' ! -name changelog.in -o -name '*.supp' -o -name '*.xml' \) -print0 \
    | xargs -0 grep -L 'SPDX-License-Identifier: MIT' || true)
[ -z "$unmarked" ] || fail "no SPDX line in: $unmarked"

[ $failed = 0 ] && echo "package: 1 passed, 0 failed" || { echo "package: 0 passed, 1 failed"; exit 1; }
