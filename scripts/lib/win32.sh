# scripts/lib/win32.sh -- the 32-bit route: the program Windows users run, under 32-bit Wine, on
# this machine whose kernel cannot execute 32-bit Linux programs. qemu-i386 (10, from Debian's
# backports suite; 7.2 cannot run Wine) executes them through a binfmt_misc entry, and Wine's i386
# packages run on it, slowly: every 32-bit Unix library, Mesa's llvmpipe included, is emulated.
#
# Sourced (after wine-env.sh):
#   qe_win32_setup      # installs and registers what is missing; one line on failure, status 1
#   qe_binfmt_i386      # the binfmt entry alone: it lives in the kernel, so a machine that kept its
#                       # disk but started afresh has the packages and no entry
#   WINE32              # the 32-bit loader
#   QE_WINE32_TEMPLATE  # a prepared 32-bit prefix, made once; copy it
#
# Everything is checked before it is done, so a second call on a ready machine takes a moment, and
# one lock keeps two callers (two test runs side by side) from installing at once.

WINE32=/usr/lib/wine/wine
QE_WINE32_TEMPLATE=$QE_CACHE/wine32-template

qe_binfmt_i386() {
    local dir=/proc/sys/fs/binfmt_misc interp=/usr/libexec/qemu-binfmt/i386-binfmt-P
    [ -e "$dir/qemu-i386" ] && return 0
    [ -x "$interp" ] || { echo "win32: no $interp (qemu-user-static 10 is not installed)" >&2; return 1; }
    [ -e "$dir/register" ] || mount -t binfmt_misc binfmt_misc "$dir" 2>/dev/null ||
        { echo "win32: this machine refuses binfmt_misc (cannot mount $dir)" >&2; return 1; }
    # An i386 ELF executable or shared object. F: the interpreter is opened now, so it works in any
    # mount namespace; O: qemu gets the program as an open file; P: argv[0] stays as it was given.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$interp"':OPF' \
        >"$dir/register" 2>/dev/null || [ -e "$dir/qemu-i386" ] ||
        { echo "win32: the kernel refused the i386 binfmt entry" >&2; return 1; }
}

qe_win32_installed() {
    dpkg-query -W -f='${Version}\n' qemu-user-static 2>/dev/null | grep -q '^1:1[0-9]' &&
        dpkg-query -W -f='${Status}\n' wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386 libpulse0:i386 2>/dev/null |
            grep -c 'install ok installed' | grep -qx 5
}

qe_win32_setup() {
    mkdir -p "$QE_CACHE"
    (
        flock 9
        if ! qe_win32_installed; then
            export DEBIAN_FRONTEND=noninteractive
            # The backports suite, from the same archive as the machine's own Debian.
            if ! apt-cache policy 2>/dev/null | grep -q 'bookworm-backports'; then
                local uri
                uri=$(awk '/^URIs:/ { u = $2 } /^Suites:/ && ($0 " ") ~ / bookworm / { print u; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null)
                [ -n "$uri" ] || uri=$(awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
                [ -n "$uri" ] || { echo "win32: no Debian archive to take bookworm-backports from" >&2; exit 1; }
                printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
                    "$uri" >/etc/apt/sources.list.d/qe-backports.sources
                apt-get update -qq >/dev/null 2>&1 || { echo "win32: apt-get update failed" >&2; exit 1; }
            fi
            apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user-static >/dev/null 2>&1 ||
                { echo "win32: could not install qemu-user-static from bookworm-backports" >&2; exit 1; }
            # Before Wine's i386 packages: their set-up runs 32-bit programs.
            qe_binfmt_i386 || exit 1
            if ! dpkg --print-foreign-architectures | grep -qx i386; then
                dpkg --add-architecture i386 && apt-get update -qq >/dev/null 2>&1 ||
                    { echo "win32: could not add the i386 architecture" >&2; exit 1; }
            fi
            apt-get install -y -qq --no-install-recommends wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386 libpulse0:i386 >/dev/null 2>&1 ||
                { echo "win32: could not install wine32:i386 (no i386 packages here?)" >&2; exit 1; }
        fi
        qe_binfmt_i386 || exit 1
        qe_make_template "$QE_WINE32_TEMPLATE" "$WINE32" win32
    ) 9>"$QE_CACHE/.win32.lock"
}
