#!/usr/bin/env bash
# The folders' includes go one way, each folder on the ones below it:
#     params  <  link  <  panel  <  app
# with the script client (ctl) and the service (qjd) beside panel, on link and params, and the
# virtual processor (tools) on link and params. The engine folders (params, link), ctl and qjd
# include no Qt header outside Qt Core, Qt SerialPort and Qt Network (the port layer's network
# device), and the programs built on the engine alone (qj-ctl and qjd among them) need neither
# Qt Gui nor Qt Widgets.
#
#   layers_test.sh SOURCE_DIR QT_INCLUDE_DIR [PROGRAM...]
#   layers_test.sh --self-test     shows that a wrong-way include and a widget header are caught
set -euo pipefail

# Which folders' headers each folder may include.
declare -A allowed=(
    [params]="params"
    [link]="link params"
    [panel]="panel link params"
    [app]="app panel link params tools"
    [ctl]="ctl link params"
    [qjd]="qjd link params"
    [tools]="tools link params"
)
# The Qt modules the engine folders may use.
engine_qt=(QtCore QtSerialPort QtNetwork)

check() {
    local src=$1 qt=$2
    shift 2
    local bad=0 folder file line target name module found
    for folder in "${!allowed[@]}"; do
        [ -d "$src/$folder" ] || continue
        for file in "$src/$folder"/*.h "$src/$folder"/*.cpp; do
            [ -e "$file" ] || continue
            while IFS= read -r line; do
                target=${line#*\"}
                target=${target%%/*}
                if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
                    echo "layers: ${file#"$src"/} includes $target/, which is not below $folder/"
                    bad=1
                fi
            done < <(grep -E '^#include "[a-z]+/' "$file" || true)
            [[ $folder == params || $folder == link || $folder == ctl || $folder == qjd ]] || continue
            while IFS= read -r line; do
                name=${line#*<}
                name=${name%%>*}
                found=0
                for module in "${engine_qt[@]}"; do
                    [ -e "$qt/$module/$name" ] && found=1
                done
                if [ $found -eq 0 ]; then
                    echo "layers: ${file#"$src"/} includes <$name>, which is not Qt Core, Qt SerialPort or Qt Network"
                    bad=1
                fi
            done < <(grep -E '^#include <Q' "$file" || true)
        done
    done
    local program dynamic
    for program in "$@"; do
        # Read whole, not piped into grep -q: under pipefail a reader that quits early can fail
        # the writer with SIGPIPE.
        dynamic=$(readelf -d "$program") || { echo "layers: cannot read $program"; bad=1; continue; }
        if grep -E 'NEEDED.*libQt6(Gui|Widgets)' <<<"$dynamic" >/dev/null; then
            echo "layers: $program needs Qt Gui or Qt Widgets"
            bad=1
        fi
    done
    return $bad
}

self_test() {
    local tmp
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' RETURN
    mkdir -p "$tmp/src/params" "$tmp/src/link" "$tmp/src/panel" "$tmp/qt/QtCore" "$tmp/qt/QtWidgets"
    touch "$tmp/qt/QtCore/QString" "$tmp/qt/QtWidgets/QWidget"
    printf '#include "params/a.h"\n#include <QString>\n' >"$tmp/src/params/b.h"
    printf '#include "params/a.h"\n#include "link/c.h"\n' >"$tmp/src/link/d.h"
    printf '#include "link/d.h"\n#include <QWidget>\n' >"$tmp/src/panel/e.h"
    check "$tmp/src" "$tmp/qt" >/dev/null || { echo "self-test: a clean tree was refused"; return 1; }
    printf '#include "link/d.h"\n' >>"$tmp/src/params/b.h"
    if check "$tmp/src" "$tmp/qt" >/dev/null; then
        echo "self-test: params/ including link/ went unnoticed"
        return 1
    fi
    sed -i '$d' "$tmp/src/params/b.h"
    printf '#include <QWidget>\n' >>"$tmp/src/link/d.h"
    if check "$tmp/src" "$tmp/qt" >/dev/null; then
        echo "self-test: a widget header in link/ went unnoticed"
        return 1
    fi
    echo "self-test: both faults caught, the clean tree passed"
}

if [ "${1:-}" = --self-test ]; then
    self_test
else
    check "$@" && echo "layers: the includes go one way"
fi
