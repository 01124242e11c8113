# Sourced: installs the Debian packages the project needs, once, quietly.
QE_PACKAGES="cmake ninja-build g++ g++-multilib clang libclang-rt-14-dev googletest libbenchmark-dev
 g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 fonts-wine xvfb openbox x11-apps imagemagick xdotool wmctrl
 x11-utils pulseaudio pulseaudio-utils qemu-user-static valgrind xmp libxmp-dev openmpt123 libopenmpt-dev
 libfreetype-dev fonts-dejavu-core python3 sox bc linux-perf
 fonts-dejavu-extra zlib1g-dev ffmpeg gdb"

qe_install_packages() {
    missing=""
    for p in $QE_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    echo "installing:$missing"
    if [ "$(id -u)" != 0 ]; then SUDO=sudo; else SUDO=; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq >/dev/null || return 1
    $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null || return 1
}

# The browser page and its tests (scripts/web, tests/e2e/web_test.sh): emscripten, the font and
# FreeType its glyphs are rendered with, the three engines (chromium; firefox-esr; WebKitGTK's
# driver and MiniBrowser, with GStreamer's PulseAudio output for its sound) and node, then
# puppeteer-core from npm as the lockfile pins it, without a browser of its own.
QE_WEB_PACKAGES="emscripten fonts-wine libfreetype-dev gcc chromium firefox-esr webkit2gtk-driver libwebkit2gtk-4.1-0
                 gstreamer1.0-pulseaudio nodejs python3 cmake ninja-build"

qe_install_web_packages() {
    QE_PACKAGES="$QE_WEB_PACKAGES" qe_install_packages || return 1
    [ "${1:-}" = "--with-npm" ] || return 0
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    [ -d "$root/node_modules/puppeteer-core" ] && return 0
    command -v npm >/dev/null || { QE_PACKAGES="npm" qe_install_packages || return 1; }
    echo "installing: puppeteer-core (npm)"
    (cd "$root" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund >/dev/null) || return 1
}
