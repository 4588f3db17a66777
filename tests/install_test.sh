#!/usr/bin/env bash
# The installation, as a person gets it.
#   install_test.sh layout  BUILD COMPONENT VERSION PROGRAMS
#       cmake --install into a staging folder (DESTDIR, prefix /usr): exactly the expected files,
#       icons of the right sizes, a desktop entry that validates, a manual page for each
#       program, and the installed programs run offscreen: --version, the window in English
#       from the settings (so the translations were found), and the demo mode (so qj-sim was
#       found beside qj-panel).
#   install_test.sh package BUILD COMPONENT VERSION PROGRAMS
#       cpack -G DEB into a scratch folder: name, version, section, dependencies, the dialout
#       note, the same files, the copyright and a changelog whose latest entry is the package's
#       version; the packaged program prints the package's version.
#   install_test.sh lint    BUILD COMPONENT VERSION PROGRAMS
#       the package as Debian would judge it: lintian without an error or a warning (every tag
#       it has is listed), hardening-check on every program in it, and appstreamcli validate on
#       its description for software centres.
#   install_test.sh service-package BUILD service VERSION qjd
#       the service's package, qj-service, from the same cpack run: name, version, section, its
#       files (qjd, qjd(8), the systemd unit, copyright, changelog), no maintainer script, and
#       its dependencies: the C++ runtime, Qt Core and Qt Serial Port, never Qt Gui,
#       Qt Widgets, a platform plugin or a font. The packaged qjd runs without a display.
#   install_test.sh service-lint BUILD service VERSION qjd
#       lintian on qj-service as on the panel's package, and hardening-check on qjd.
#   install_test.sh service-unit BUILD service VERSION qjd
#       the packaged unit as systemd-analyze verify judges it, with the sandbox it asks for.
# PROGRAMS: the programs built, comma-separated (qj-panel,qj-sim[,qj-ctl]; qjd for the service).
set -euo pipefail

mode=$1
build=$2
component=$3
version=$4
IFS=, read -r -a programs <<<"$5"

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
        for program in "${programs[@]}"; do
            echo "bin/$program"
            echo "share/man/man1/$program.1.gz"
        done
        echo share/applications/qj-panel.desktop
        echo share/doc/qj-panel/changelog.gz
        echo share/doc/qj-panel/copyright
        for side in "${icon_sizes[@]}"; do
            echo "share/icons/hicolor/${side}x${side}/apps/qj-panel.png"
        done
        echo share/icons/hicolor/scalable/apps/qj-panel.svg
        echo share/metainfo/org.example.QJPanel.metainfo.xml
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
    for program in "${programs[@]}"; do
        [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
    done
}

# check_manual_pages PREFIX: each program's page is compressed and names the program, as whatis
# and apropos read it.
check_manual_pages() {
    local prefix=$1
    for program in "${programs[@]}"; do
        local page=$prefix/share/man/man1/$program.1.gz
        gzip -t "$page" 2>/dev/null || fail "$page is not compressed with gzip"
        local whatis
        whatis=$(lexgrog "$page") || fail "lexgrog cannot read the NAME section of $page"
        [[ "$whatis" == *": \"$program - "?* ]] || fail "the NAME line of $page: $whatis"
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
    check_manual_pages "$usr"

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

# build_package [NAME]: cpack -G DEB into the scratch folder (every package, one per component);
# prints the path of package NAME (qj-panel unless given).
build_package() {
    local name=${1:-qj-panel}
    (cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null)
    local deb
    deb=$scratch/out/${name}_${version}_$(dpkg --print-architecture).deb
    [ -f "$deb" ] || fail "no $(basename "$deb"); found: $(ls "$scratch/out")"
    echo "$deb"
}

# check_header NAME: the control fields every package of ours carries (`field` reads them).
check_header() {
    [ "$(field Package)" = "$1" ] || fail "Package: $(field Package)"
    [ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
    [ "$(field Section)" = sound ] || fail "Section: $(field Section)"
    [ -n "$(field Maintainer)" ] || fail "no Maintainer"
}

package() {
    local deb
    deb=$(build_package)

    field() { dpkg-deb -f "$deb" "$1"; }
    check_header qj-panel
    local depends
    depends=$(field Depends)
    for dependency in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins \
        qt6-translations-l10n 'fonts-wqy-microhei | fonts-noto-cjk'; do
        [[ ", $depends," == *", $dependency"[\ ,]* ]] ||
            fail "Depends lacks $dependency: $depends"
    done
    # Read whole, not piped into grep -q: under pipefail an early-quitting reader can fail the
    # pipe by SIGPIPE on dpkg-deb although the word is there.
    [[ "$(field Description)" == *dialout* ]] || fail "the description does not mention dialout"

    dpkg-deb -x "$deb" "$scratch/root"
    check_files "$scratch/root/usr"
    check_manual_pages "$scratch/root/usr"
    local doc=$scratch/root/usr/share/doc/qj-panel
    [ "$(head -n 1 "$doc/copyright")" = \
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
        fail "the copyright file is not in the machine-readable format"
    grep -qx 'License: Expat' "$doc/copyright" || fail "the copyright file names no licence"
    local changelog latest
    changelog=$(gzip -dc "$doc/changelog.gz") # read whole, as the Description above
    latest=${changelog%%$'\n'*}
    [[ "$latest" == "qj-panel ($(field Version)) "* ]] ||
        fail "the changelog's latest entry is '$latest', the package's version $(field Version)"
    run_offscreen "$scratch/version" "$scratch/root/usr/bin/qj-panel" --version
    [ "$(cat "$scratch/version")" = "QJ $(field Version)" ] ||
        fail "the packaged qj-panel prints '$(cat "$scratch/version")' for package version $(field Version)"
    echo "package: $(basename "$deb"), Depends: $depends"
}

# lintian_on DEB: lintian unpacks a package and runs tools on what is inside, so it warns when
# run as root. As root it runs as nobody, on a copy of the package in a new 0755 folder under
# /var/tmp that nobody owns, working in that folder: the checkout, the build folder and TMPDIR
# may lie where nobody cannot enter (root's home, a folder made by mktemp -d).
lintian_on() {
    local deb=$1
    shift
    if [ "$(id -u)" -ne 0 ]; then
        lintian "$@" "$deb"
        return
    fi
    local home rc=0
    home=$(mktemp -d /var/tmp/qj-lintian.XXXXXX)
    chmod 755 "$home"
    cp "$deb" "$home/"
    chown -R nobody:nogroup "$home"
    (cd "$home" && setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env HOME="$home" TMPDIR="$home" lintian "$@" "$home/$(basename "$deb")") || rc=$?
    rm -rf "$home"
    return "$rc"
}

# lint_package DEB: lintian without an error or a warning, then hardening-check and the
# stripping of every program in it (unpacked into $scratch/root).
lint_package() {
    local deb=$1
    # Errors and warnings fail; every tag is shown, informational and overridden ones too, so
    # that each is either mended or overridden with its reason.
    local rc=0 tags
    tags=$(lintian_on "$deb" --display-info --show-overrides --tag-display-limit 0 \
        --fail-on error,warning 2>&1) || rc=$?
    echo "${tags:-lintian: no tags}"
    [ "$rc" -eq 0 ] || fail "lintian finds errors or warnings in $(basename "$deb") (above)"

    dpkg-deb -x "$deb" "$scratch/root"
    local elves=()
    mapfile -t elves < <(find "$scratch/root" -type f -exec file {} + |
        sed -n 's/^\([^:]*\): *ELF .*/\1/p' | LC_ALL=C sort)
    [ ${#elves[@]} -eq ${#programs[@]} ] ||
        fail "${#elves[@]} programs in the package, not ${#programs[@]}: ${elves[*]}"
    # Control-flow protection is not asked for: Debian 12's C runtime start files carry no
    # CET marking, so no program linked there has it (/usr/bin/ls neither).
    hardening-check --nocfprotection "${elves[@]}" ||
        fail "hardening-check finds a program built without Debian's hardening"
    # Stripped as Debian strips: nothing left that only names the compiler.
    for elf in "${elves[@]}"; do
        local sections
        sections=$(readelf --section-headers --wide "$elf")
        [[ ! "$sections" =~ \ \.(comment|note)\  ]] ||
            fail "${elf#"$scratch/root"} keeps the section .${BASH_REMATCH[1]}"
    done
}

lint() {
    local deb
    deb=$(build_package)
    lint_package "$deb"

    local metainfo=$scratch/root/usr/share/metainfo/org.example.QJPanel.metainfo.xml
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli refuses $metainfo"
    grep -qF "<release version=\"$version\"" "$metainfo" ||
        fail "the metainfo's release is not $version"
    for program in "${programs[@]}"; do
        grep -qF "<binary>$program</binary>" "$metainfo" || fail "the metainfo does not name $program"
    done
    echo "lint: $(basename "$deb"): lintian, hardening-check and appstreamcli find nothing"
}

# The service's files, relative to /, sorted.
service_files() {
    printf '%s\n' usr/bin/qjd usr/lib/systemd/system/qjd.service \
        usr/share/doc/qj-service/changelog.gz usr/share/doc/qj-service/copyright \
        usr/share/man/man8/qjd.8.gz | LC_ALL=C sort
}

service_package() {
    local deb
    deb=$(build_package qj-service)
    field() { dpkg-deb -f "$deb" "$1"; }
    check_header qj-service
    local depends
    depends=$(field Depends)
    # libssl3: HTTPS and WSS.
    for dependency in libqt6core6 libqt6serialport6 libstdc++6 libssl3; do
        [[ ", $depends," == *", $dependency"[\ ,]* ]] ||
            fail "Depends lacks $dependency: $depends"
    done
    # What a rack machine without a desktop must not be made to install.
    for unwanted in libqt6gui6 libqt6widgets6 qt6-qpa-plugins qt6-translations fonts- libx libgl \
        libegl; do
        [[ ", $depends" != *", $unwanted"* ]] || fail "Depends pulls in $unwanted: $depends"
    done
    [[ "$(field Description)" == *"qjd(8)"* ]] || fail "the description does not point to qjd(8)"

    dpkg-deb -x "$deb" "$scratch/root"
    local found
    found=$(cd "$scratch/root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
    if [ "$found" != "$(service_files)" ]; then
        diff <(service_files) <(echo "$found") >&2 || true
        fail "the service's files differ from the expected ones (< expected, > found)"
    fi
    # No maintainer script enables or starts it: the administrator does, once it is configured.
    dpkg-deb -e "$deb" "$scratch/control"
    for script in preinst postinst prerm postrm; do
        [ ! -e "$scratch/control/$script" ] || fail "the package has a $script"
    done
    local page=$scratch/root/usr/share/man/man8/qjd.8.gz whatis text
    whatis=$(lexgrog "$page") || fail "lexgrog cannot read the NAME section of qjd.8"
    [[ "$whatis" == *': "qjd - '?* ]] || fail "the NAME line of qjd.8: $whatis"
    text=$(MANWIDTH=80 man -l -P cat "$page" 2>/dev/null)
    for word in CONFIGURATION token-file public-url new-token tls-cert tls-key /etc/qj/qjd.conf \
        systemctl; do
        [[ "$text" == *"$word"* ]] || fail "qjd(8) does not mention $word"
    done
    local needed
    needed=$(readelf --dynamic --wide "$scratch/root/usr/bin/qjd")
    for library in libQt6Gui libQt6Widgets libGL libEGL libxcb libfontconfig; do
        [[ "$needed" != *"[$library"* ]] || fail "qjd links $library"
    done
    [[ "$needed" == *"[libssl.so.3]"* ]] || fail "qjd does not link libssl.so.3"
    # No display and no platform plugin, as on a rack machine.
    local out
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 30 \
        "$scratch/root/usr/bin/qjd" --version) || fail "the packaged qjd --version failed"
    [ "$out" = "qjd $version" ] || fail "the packaged qjd prints '$out', not 'qjd $version'"
    echo "service package: $(basename "$deb"), Depends: $depends"
}

service_lint() {
    local deb
    deb=$(build_package qj-service)
    lint_package "$deb"
    echo "service lint: $(basename "$deb"): lintian and hardening-check find nothing"
}

# service_unit: systemd-analyze verify on the packaged unit, its ExecStart= pointed at the
# packaged program (verify wants it there), and the settings the service depends on.
service_unit() {
    local deb
    deb=$(build_package qj-service)
    dpkg-deb -x "$deb" "$scratch/root"
    local unit=$scratch/root/usr/lib/systemd/system/qjd.service
    [ -f "$unit" ] || fail "no unit in the package"
    mkdir -p "$scratch/units"
    sed "s|^ExecStart=/usr/bin/qjd |ExecStart=$scratch/root/usr/bin/qjd |" "$unit" \
        >"$scratch/units/qjd.service"
    grep -q "^ExecStart=$scratch/" "$scratch/units/qjd.service" || fail "no ExecStart=/usr/bin/qjd"
    local rc=0 out
    out=$(SYSTEMD_LOG_LEVEL=notice systemd-analyze verify --man=no \
        "$scratch/units/qjd.service" 2>&1) || rc=$?
    [ "$rc" -eq 0 ] && [ -z "$out" ] || fail "systemd-analyze verify (status $rc):
$out"
    local settings
    settings=$(grep -E '^[A-Za-z]+=' "$unit")
    for line in 'ConditionPathExists=/etc/qj/qjd.conf' 'RestartPreventExitStatus=2' \
        'DynamicUser=yes' 'SupplementaryGroups=dialout' 'NoNewPrivileges=yes' \
        'ProtectSystem=strict' 'ProtectHome=yes' 'PrivateTmp=yes' 'ReadWritePaths=/run/lock' \
        'LoadCredential=token:/etc/qj/qjd.token' 'Documentation=man:qjd(8)' \
        'WantedBy=multi-user.target'; do
        grep -qxF "$line" <<<"$settings" || fail "the unit lacks $line"
    done
    # Serial devices stay visible; the token reaches qjd as systemd's credential.
    ! grep -qE '^PrivateDevices=(yes|true|on|1)$' <<<"$settings" ||
        fail "PrivateDevices would hide the serial ports"
    grep -qE '^ExecStart=/usr/bin/qjd .*--token-file \$\{CREDENTIALS_DIRECTORY\}/token' \
        <<<"$settings" || fail "ExecStart does not hand qjd the token credential"
    echo "service unit: systemd-analyze verify finds nothing"
}


case "$mode" in
layout) layout ;;
package) package ;;
lint) lint ;;
service-package) service_package ;;
service-lint) service_lint ;;
service-unit) service_unit ;;
*) fail "unknown mode $mode" ;;
esac
