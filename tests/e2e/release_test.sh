#!/usr/bin/env bash
# The release package: scripts/release makes quietembers-<version>.zip holding exactly the two
# stripped exes, the web page, the music module, the info file and the poster; the exes are PE files of the right machine that
# import only the system DLLs (and the C runtime); the same commit gives the same bytes, the exes
# relinked; and the 64-bit exe taken from the package runs the show and exits with code 0.
. "$(dirname "$0")/lib.sh"

# What each exe may import, in lower case.
allowed_dlls=" kernel32.dll user32.dll gdi32.dll ole32.dll winmm.dll d3d8.dll msvcrt.dll "
# entry  kind  format (objdump's name for a PE file of that machine)
entries=(
    "poster.png             png"
    "quietembers-win64.exe  exe  pei-x86-64"
    "quietembers.exe        exe  pei-i386"
    "quietembers.html       html"
    "quietembers.txt        text"
    "quietembers.xm         xm"
)
max_exe32=600000   # bytes: the limit scripts/release promises for the 32-bit exe

# zip_layout ZIP: "name time extra_length" a line, in the archive's order.
zip_layout() {
    python3 -c 'import sys, zipfile
for i in zipfile.ZipFile(sys.argv[1]).infolist():
    print(i.filename, "%04d%02d%02d%02d%02d%02d" % i.date_time, len(i.extra), i.comment == b"")' "$1"
}

check_exe() {  # FILE FORMAT
    local file=$1 format=$2 head dlls dll
    head=$(x86_64-w64-mingw32-objdump -p "$file" 2>/dev/null)
    e2e_check '[[ $head == *"file format $format"* ]]' "$(basename "$file") is not a $format PE file"
    e2e_check '! x86_64-w64-mingw32-objdump -h "$file" | grep -q "\.debug_"' "$(basename "$file") has debug sections"
    e2e_check 'x86_64-w64-mingw32-objdump -t "$file" 2>/dev/null | grep -q "^no symbols"' "$(basename "$file") has a symbol table"
    dlls=$(echo "$head" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
    e2e_check '[ -n "$dlls" ]' "$(basename "$file") imports nothing"
    for dll in $dlls; do
        e2e_check '[[ $allowed_dlls == *" $dll "* ]]' "$(basename "$file") imports $dll"
    done
    e2e_log "$(basename "$file"): $(stat -c %s "$file") bytes, imports $dlls"
}

if e2e_begin release; then
    dist=$E2E_OUT/dist
    if ! "$e2e_root/scripts/release" -o "$dist" >"$E2E_OUT/release.log" 2>&1; then
        e2e_fail "scripts/release failed: $(tail -n 3 "$E2E_OUT/release.log")"
    fi
    zip=$(ls "$dist"/quietembers-*.zip 2>/dev/null | head -n 1)
    version=$(cd "$e2e_root" && git describe --tags --always --dirty)
    e2e_check '[ "$(basename "$zip")" = "quietembers-$version.zip" ]' "package named '$(basename "$zip")', version $version"
fi
if [ -f "${zip:-}" ]; then
    # Exactly the expected entries, sorted, stamped alike, without extra fields or comments.
    layout=$(zip_layout "$zip")
    e2e_check '[ "$(echo "$layout" | cut -d" " -f1 | tr "\n" " ")" = "$(printf "%s\n" "${entries[@]}" | cut -d" " -f1 | tr "\n" " ")" ]' \
        "entries: $(echo "$layout" | cut -d' ' -f1 | tr '\n' ' ')"
    e2e_check '[ "$(echo "$layout" | cut -d" " -f2- | sort -u | wc -l)" = 1 ] && [ "$(echo "$layout" | cut -d" " -f3-4 | sort -u)" = "0 True" ]' \
        "entries differ in time stamp, extra fields or comment: $layout"
    pkg=$E2E_OUT/pkg
    mkdir -p "$pkg"
    python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$pkg"
    for row in "${entries[@]}"; do
        read -r entry kind format <<<"$row"
        case $kind in
            exe) check_exe "$pkg/$entry" "$format" ;;
            # The page as built, at most 1 MB, loading nothing from elsewhere; the module as committed.
            html) e2e_check 'cmp -s "$pkg/$entry" "$e2e_root/build/web/quietembers.html" && [ "$(stat -c %s "$pkg/$entry")" -le 1048576 ] && ! grep -qE "(src|href)=\"?(https?:|//)" "$pkg/$entry"' \
                      "$entry is not the page as built, within 1 MB and on its own" ;;
            xm) e2e_check 'cmp -s "$pkg/$entry" "$e2e_root/assets/music.xm"' "$entry is not assets/music.xm" ;;
            png) e2e_check '[ "$(identify -format "%m %wx%h" "$pkg/$entry" 2>/dev/null)" = "PNG 640x480" ]' "$entry is not a 640x480 PNG" ;;
            text)
                # Plain text for Notepad: ASCII, CRLF line ends, the version, the keys, the 64-bit exe for Wine.
                e2e_check '! LC_ALL=C grep -q "[^[:print:][:space:]]" "$pkg/$entry"' "$entry is not plain ASCII"
                e2e_check '[ "$(grep -c $'"'"'\r$'"'"' "$pkg/$entry")" = "$(wc -l <"$pkg/$entry")" ]' "$entry has lines without CRLF"
                for word in "$version" Escape quietembers-win64.exe quietembers.html quietembers.xm; do
                    e2e_check 'grep -qF -- "$word" "$pkg/$entry"' "$entry does not mention $word"
                done
                ;;
        esac
    done
    size32=$(stat -c %s "$pkg/quietembers.exe")
    e2e_check '[ "$size32" -le "$max_exe32" ]' "the 32-bit exe is $size32 bytes"

    # The same commit, the exes linked again: the same bytes (the poster is the capture's, which
    # capture_test shows to be the same on every run).
    rm -f "$e2e_root/build/win32/quietembers.exe" "$e2e_root/build/win64/quietembers.exe"
    if "$e2e_root/scripts/release" -o "$E2E_OUT/dist2" --poster "$pkg/poster.png" >"$E2E_OUT/release2.log" 2>&1; then
        e2e_check 'cmp -s "$zip" "$E2E_OUT/dist2/$(basename "$zip")"' "a second package of the same commit differs"
    else
        e2e_fail "the second scripts/release failed: $(tail -n 3 "$E2E_OUT/release2.log")"
    fi
    e2e_log "$(basename "$zip"): $(stat -c %s "$zip") bytes, sha256 $(sha256sum "$zip" | cut -d' ' -f1)"

    # The 64-bit exe from the package runs the show (its music plays, after the title card);
    # WM_CLOSE ends it with code 0. 240 s, only against a hang: start-up, the title card and the
    # shutdown on a machine loaded so that frames come a few a second.
    QE_EXE=$pkg/quietembers-win64.exe
    e2e_capture_start && e2e_start
    if e2e_wait_window 240 && e2e_wait_until 240 e2e_music_heard 1; then
        e2e_close
        e2e_wait_exit 240
        e2e_check '[ "$E2E_EXIT" = 0 ]' "the packaged 64-bit exe exited with $E2E_EXIT"
    else
        e2e_fail "the packaged 64-bit exe played no show"
    fi
fi
e2e_end
