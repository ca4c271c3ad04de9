# SPDX-License-Identifier: MIT
# Sourced by ./run and ./test: installs what is missing, configures, builds.
# Usage: tarvo_setup BUILD_DIR [extra Debian packages...]

TARVO_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libpulse-dev libwayland-dev
  fonts-noto-cjk)
TARVO_TEST_PACKAGES=(googletest libgtest-dev xvfb xdotool x11-utils imagemagick dpkg-dev
  libx11-dev libxtst-dev pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber dbus-daemon sox strace
  fonts-league-spartan fonts-dejavu-core desktop-file-utils appstream lintian devscripts
  sway grim qt6-wayland libwayland-dev libxkbcommon-dev valgrind mutter qt6-websockets-dev)
# Cross-building for Windows (tools/make-windows): the compiler, the
# installer maker, GoogleTest's sources for the engine's tests.
TARVO_WINDOWS_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 nsis zip googletest)
# The browser build (tools/make-web): emscripten, and Python's static server for --serve.
TARVO_WEB_PACKAGES=(cmake ninja-build emscripten python3)
# The browsers the page is played in by the tests and the benchmarks, with
# their drivers: Chromium, Firefox ESR (driven over its own WebDriver BiDi),
# WebKitGTK's MiniBrowser, and GStreamer's PulseAudio output for its sound.
TARVO_BROWSER_PACKAGES=(chromium chromium-driver firefox-esr webkit2gtk-driver gstreamer1.0-pulseaudio)
# The tests that need no display or sound server: the engine, the media and
# the window offscreen (what tools/test-in-debian-root --steps core builds).
TARVO_CORE_TEST_PACKAGES=(googletest libgtest-dev libx11-dev libxtst-dev libwayland-dev libxkbcommon-dev qt6-websockets-dev
  fonts-league-spartan fonts-dejavu-core)

# Whether this runs under an emulator (qemu-user, through the kernel's
# binfmt_misc): there the program the kernel really runs for this shell is
# the emulator. The shell's own view of itself would not tell (qemu shows a
# program its own binary), but readlink, another program, sees the kernel's.
# TARVO_EMULATOR, when set, is taken as it is.
tarvo_emulated() {
    [ -n "${TARVO_EMULATOR:-}" ] && return 0
    case $(readlink "/proc/$$/exe" 2>/dev/null) in
    *qemu*) return 0 ;;
    *) return 1 ;;
    esac
}

tarvo_install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing Debian packages: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq -o DPkg::Lock::Timeout=600
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq -o DPkg::Lock::Timeout=600 --no-install-recommends "${missing[@]}"
}

tarvo_setup() {
    local build=$1
    shift
    tarvo_install_missing "${TARVO_BUILD_PACKAGES[@]}" "$@"
    cmake -S . -B "$build" -G Ninja ${TARVO_CMAKE_ARGS:-} >/dev/null
    cmake --build "$build" ${TARVO_BUILD_TARGET:+--target "$TARVO_BUILD_TARGET"}
}
