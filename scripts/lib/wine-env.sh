# Sourced: the Wine environment shared by the tests and the demo.
#   QE_CACHE      where the prepared prefix template lives (made once per machine)
#   WINEPREFIX    the prefix in use: by default one per checkout, copied from the template
qe_root=$(cd "$(dirname "${BASH_SOURCE[0]:-$0}")/../.." 2>/dev/null && pwd)
: "${QE_CACHE:=${XDG_CACHE_HOME:-$HOME/.cache}/quietembers}"
: "${WINEPREFIX:=$qe_root/build/wineprefix}"
export QE_CACHE WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES=winemenubuilder.exe=d
WINE64=/usr/lib/wine/wine64
WINE=$WINE64   # the loader every start goes through (tests/e2e/win32_test.sh sets the 32-bit one)
# Debian's wine64 package puts no wineserver on the PATH (that wrapper comes with 32-bit Wine).
WINESERVER=/usr/lib/wine/wineserver64

# Closes every descriptor above 2 of the calling (sub)shell.
qe_close_fds() {
    local f n
    for f in /proc/$BASHPID/fd/*; do
        n=${f##*/}
        [ "$n" -gt 2 ] 2>/dev/null && eval "exec $n>&-" 2>/dev/null
    done
    return 0
}

. "$(dirname "${BASH_SOURCE[0]:-$0}")/win32.sh"
# Once Wine's i386 packages are installed, a 64-bit prefix runs 32-bit programs too (its set-up,
# some services), and those need qemu's binfmt entry, which the kernel forgets when the machine
# starts afresh: it is checked before every start of Wine.
qe_wine32_ready() { [ ! -e "$WINE32" ] || qe_binfmt_i386; }

# qe_make_template DIR LOADER [WINEARCH]: a prepared prefix, made once and then copied: Tahoma
# fonts copied in (Debian's Wine never looks for them where the package puts them), Direct3D's
# threaded command stream off (it makes the main thread spin), no crash dialog (with a display, a
# crash would wait on it instead of exiting).
qe_make_template() {
    local t=$1 loader=$2
    [ -f "$t/.ready" ] && return 0
    mkdir -p "$QE_CACHE"
    (
        flock 9
        [ -f "$t/.ready" ] && exit 0
        rm -rf "$t"
        export WINEPREFIX="$t"
        [ -n "${3:-}" ] && export WINEARCH=$3
        unset DISPLAY
        $loader wineboot -i </dev/null >/dev/null 2>&1
        $loader reg add 'HKCU\Software\Wine\Direct3D' /v csmt /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
        $loader reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
        $WINESERVER -w
        [ -d "$t/drive_c/windows/Fonts" ] || { echo "wine: wineboot made no prefix in $t" >&2; exit 1; }
        cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$t/drive_c/windows/Fonts/"
        touch "$t/.ready"
    ) 9>"$t.lock"
}
qe_wine_template() { qe_wine32_ready && qe_make_template "$QE_CACHE/wine-template" "$WINE64"; }

# qe_wine_up [SECONDS]: makes $WINEPREFIX from the template if needed (the 32-bit one for 32-bit
# Wine) and starts its persistent
# wineserver: one that stays until it is stopped, or, given SECONDS, one that ends by itself, with
# every service Wine started, that long after its last program has exited.
qe_wine_up() {
    local persist=-p${1:-} template=$QE_CACHE/wine-template
    qe_wine_template || return 1
    if [ "$WINE" = "$WINE32" ]; then qe_win32_setup || return 1; template=$QE_WINE32_TEMPLATE; fi
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.ready" ]; then
            rm -rf "$WINEPREFIX"
            cp -a "$template" "$WINEPREFIX"
        fi
        if ! wineserver_running; then
            # Detached from every descriptor of ours: Wine's background processes inherit them, and
            # whoever reads our pipes would otherwise wait for them.
            ( qe_close_fds; exec setsid $WINESERVER "$persist" </dev/null >/dev/null 2>&1 ) &
            for _ in $(seq 50); do wineserver_running && break; sleep 0.1; done
            # The first program starts Wine's services, which keep the descriptors it has.
            ( qe_close_fds; exec setsid $WINE cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 )
        fi
    ) 9>"$WINEPREFIX.lock"
}

wineserver_running() {
    # A running server has its socket in server-DEV-INODE/ of this prefix, under /tmp/.wine-UID
    # upstream and under a private /tmp/wine-XXXXXX on Debian.
    local id s
    id=$(stat -c 'server-%d-%i' "$WINEPREFIX" 2>/dev/null | awk -F- '{printf "server-%x-%x", $2, $3}')
    for s in "/tmp/.wine-$(id -u)/$id/socket" /tmp/wine-*/"$id"/socket; do
        [ -S "$s" ] && [ -O "$s" ] && return 0
    done
    return 1
}

# Stops the prefix's wineserver and everything Wine started in it.
qe_wine_down() {
    [ -d "$WINEPREFIX" ] || return 0
    $WINESERVER -k </dev/null 2>/dev/null
    timeout 10 $WINESERVER -w </dev/null 2>/dev/null
    return 0
}
