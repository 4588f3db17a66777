#!/usr/bin/env bash
# The installation, as a person gets it.
#   install_test.sh layout  BUILD COMPONENT VERSION
#       cmake --install into a staging folder (DESTDIR, prefix /usr): exactly the expected files,
#       icons of the right sizes, a desktop entry that validates, and the installed programs run
#       offscreen: --version, the window in English from the settings (so the translations were
#       found), and the demo mode (so qj-sim was found beside qj-panel).
#   install_test.sh package BUILD COMPONENT VERSION
#       cpack -G DEB into a scratch folder: name, version, section, dependencies, the dialout
#       note, the same files; the packaged program prints the package's version.
set -euo pipefail

mode=$1
build=$2
component=$3
version=$4

scratch=$(mktemp -d "${TMPDIR:-/tmp}/qj-install-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

icon_sizes=(16 22 24 32 48 64 128 256)

# Every file the installation holds, relative to the prefix, sorted.
expected_files() {
    {
        echo bin/qj-panel
        echo bin/qj-sim
        echo share/applications/qj-panel.desktop
        for side in "${icon_sizes[@]}"; do
            echo "share/icons/hicolor/${side}x${side}/apps/qj-panel.png"
        done
        echo share/icons/hicolor/scalable/apps/qj-panel.svg
        echo share/qj-panel/translations/qj-panel_en.qm
    } | LC_ALL=C sort
}

# check_files PREFIX: the files under PREFIX are exactly the expected ones.
check_files() {
    local prefix=$1
    local found
    found=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
    if [ "$found" != "$(expected_files)" ]; then
        diff <(expected_files) <(echo "$found") >&2 || true
        fail "the installed files differ from the expected ones (< expected, > found)"
    fi
    for program in qj-panel qj-sim; do
        [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
    done
}

# png_size FILE: "WIDTHxHEIGHT" from the PNG header (big-endian words at bytes 16 and 20).
png_size() {
    [ "$(head -c 8 "$1" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || return 1
    local b
    read -r -a b < <(od -An -j16 -N8 -tu1 "$1")
    local width=$(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]))
    local height=$(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7]))
    echo "${width}x${height}"
}

# run_offscreen OUTFILE PROGRAM ARGS...: a short run without a display; ends by itself or fails.
run_offscreen() {
    local out=$1
    shift
    local rc=0
    QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$scratch/config" \
        timeout 30 "$@" >"$out" 2>"$out.err" || rc=$?
    if [ "$rc" -eq 124 ]; then
        cat "$out.err" >&2
        fail "$* did not end within 30 s (a message box waits: English captions or qj-sim not found?)"
    fi
    [ "$rc" -eq 0 ] || {
        cat "$out.err" >&2
        fail "$* ended with $rc"
    }
}

# remember_language LANG: the settings the panel reads at start, as it writes them itself.
remember_language() {
    mkdir -p "$scratch/config/QJ"
    printf '[General]\nlanguage=%s\n' "$1" >"$scratch/config/QJ/QJ.conf"
}

layout() {
    local stage=$scratch/stage
    DESTDIR=$stage cmake --install "$build" --prefix /usr --component "$component" >/dev/null
    local usr=$stage/usr
    check_files "$usr"

    for side in "${icon_sizes[@]}"; do
        local size
        size=$(png_size "$usr/share/icons/hicolor/${side}x${side}/apps/qj-panel.png") ||
            fail "the ${side}x${side} icon is not a PNG"
        [ "$size" = "${side}x${side}" ] || fail "the ${side}x${side} icon is $size"
    done
    grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/qj-panel.svg" ||
        fail "the scalable icon is not an SVG"

    local desktop=$usr/share/applications/qj-panel.desktop
    desktop-file-validate "$desktop" || fail "desktop-file-validate refuses $desktop"
    for line in 'Name=QJ Karaoke' 'Exec=qj-panel' 'Icon=qj-panel' 'Terminal=false' \
        'Type=Application' 'Categories=AudioVideo;Audio;'; do
        grep -qxF "$line" "$desktop" || fail "the desktop entry lacks $line"
    done
    for key in 'Name\[zh_CN\]' 'Comment' 'Comment\[zh_CN\]'; do
        grep -qE "^$key=.+" "$desktop" || fail "the desktop entry lacks $key"
    done

    run_offscreen "$scratch/version" "$usr/bin/qj-panel" --version
    [ "$(cat "$scratch/version")" = "QJ $version" ] ||
        fail "qj-panel --version prints '$(cat "$scratch/version")', not 'QJ $version'"
    run_offscreen "$scratch/sim-version" "$usr/bin/qj-sim" --version
    [ "$(cat "$scratch/sim-version")" = "qj-sim $version" ] ||
        fail "qj-sim --version prints '$(cat "$scratch/sim-version")'"

    # The translations: with English remembered the panel loads them from
    # share/qj-panel/translations at start; were they missing it would show a message box and
    # wait, and the run would not end. The English window must look different from the
    # Chinese one.
    remember_language en
    run_offscreen "$scratch/en.out" "$usr/bin/qj-panel" --screenshot "$scratch/en.png"
    remember_language zh_CN
    run_offscreen "$scratch/zh.out" "$usr/bin/qj-panel" --screenshot "$scratch/zh.png"
    png_size "$scratch/en.png" >/dev/null || fail "no picture of the English window"
    png_size "$scratch/zh.png" >/dev/null || fail "no picture of the Chinese window"
    [ "$(png_size "$scratch/en.png")" = "$(png_size "$scratch/zh.png")" ] ||
        fail "the window changed its size with the language"
    if cmp -s "$scratch/en.png" "$scratch/zh.png"; then
        fail "the window with English remembered shows the Chinese captions"
    fi

    # The demo mode starts qj-sim from the panel's own folder; had it not started, a message box
    # would wait and the run would not end.
    run_offscreen "$scratch/sim.out" "$usr/bin/qj-panel" --simulate --screenshot "$scratch/sim.png"
    png_size "$scratch/sim.png" >/dev/null || fail "no picture of the window in demo mode"
    echo "layout: $(expected_files | wc -l) files, desktop entry valid, translations found"
}

package() {
    (cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null)
    local deb
    deb=$scratch/out/qj-panel_${version}_$(dpkg --print-architecture).deb
    [ -f "$deb" ] || fail "no $(basename "$deb"); found: $(ls "$scratch/out")"

    field() { dpkg-deb -f "$deb" "$1"; }
    [ "$(field Package)" = qj-panel ] || fail "Package: $(field Package)"
    [ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
    [ "$(field Section)" = sound ] || fail "Section: $(field Section)"
    [ -n "$(field Maintainer)" ] || fail "no Maintainer"
    local depends
    depends=$(field Depends)
    for dependency in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins \
        'fonts-wqy-microhei | fonts-noto-cjk'; do
        [[ ", $depends," == *", $dependency"[\ ,]* ]] ||
            fail "Depends lacks $dependency: $depends"
    done
    # Read whole, not piped into grep -q: under pipefail an early-quitting reader can fail the
    # pipe by SIGPIPE on dpkg-deb although the word is there.
    [[ "$(field Description)" == *dialout* ]] || fail "the description does not mention dialout"

    dpkg-deb -x "$deb" "$scratch/root"
    check_files "$scratch/root/usr"
    run_offscreen "$scratch/version" "$scratch/root/usr/bin/qj-panel" --version
    [ "$(cat "$scratch/version")" = "QJ $(field Version)" ] ||
        fail "the packaged qj-panel prints '$(cat "$scratch/version")' for package version $(field Version)"
    echo "package: $(basename "$deb"), Depends: $depends"
}

case "$mode" in
layout) layout ;;
package) package ;;
*) fail "unknown mode $mode" ;;
esac
