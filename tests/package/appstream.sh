# SPDX-License-Identifier: MIT
# Sourced by install_test.sh and package_test.sh.
# tarvo_validate_metainfo FILE [HOMEPAGE]: the AppStream metadata is valid on
# AppStream 0.16 (Debian 12) and 1.x (Debian 13), warnings included, and names
# a homepage exactly when the build was given one (TARVO_HOMEPAGE). The game
# has none of its own; without one, AppStream 1.x warns that it is missing, and
# that one warning (and no other) is let through as a note.
tarvo_validate_metainfo() {
    local meta=$1 homepage=${2:-} version lenient=()
    if [ -n "$homepage" ]; then
        grep -qF "<url type=\"homepage\">$homepage</url>" "$meta" || { echo "homepage $homepage missing"; return 1; }
    else
        ! grep -q 'type="homepage"' "$meta" || { echo "a homepage although none is configured"; return 1; }
        version=$(appstreamcli --version | sed -n 's/.*version: *//p')
        if [ "${version%%.*}" -ge 1 ]; then lenient=(--override=url-homepage-missing=info); fi
    fi
    appstreamcli validate --no-net --pedantic --explain "${lenient[@]}" "$meta"
}
