#!/usr/bin/env bash
# The manual pages, read as man reads them.
#   manpage_test.sh BUILD PROGRAMS
# Every page the build makes (qj-panel, qj-sim, qj-ctl, qjd) formats without a warning from groff
# (what lintian asks) and names its program for whatis. For each program built (PROGRAMS,
# comma-separated) the page's OPTIONS are exactly the options its --help lists, so a new or
# renamed option cannot go undocumented; qj-sim's page also holds each fault and each control
# command the program knows.
set -euo pipefail

build=$1
IFS=, read -r -a programs <<<"$2"
pages=$build/packaging/man

scratch=$(mktemp -d "${TMPDIR:-/tmp}/qj-manpage-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

export LC_ALL=C.UTF-8 MANWIDTH=80
unset MAN_KEEP_FORMATTING MANROFFSEQ

# render PAGE: the page as plain text.
render() {
    man -l -P cat "$1" 2>/dev/null
}

# section TEXT NAME: the lines of section NAME of a rendered page.
section() {
    awk -v name="$2" '/^[A-Z]/ { inside = ($0 == name); next } inside' <<<"$1"
}

# The options in a --help listing, or at the head of the items of an OPTIONS section: one a
# line, long and short forms alike, sorted.
help_options() {
    sed -nE 's/^  (-[A-Za-z], )?(--[a-z][a-z-]*).*/\1\2/p' <<<"$1" | tr -d ' ' | tr , '\n' |
        LC_ALL=C sort -u
}
page_options() {
    sed -nE 's/^       (-[A-Za-z], )?(--[a-z][a-z-]*).*/\1\2/p' <<<"$1" | tr -d ' ' | tr , '\n' |
        LC_ALL=C sort -u
}

# has_item TEXT WORD: WORD heads an item (indented, then two spaces or the end of the line).
has_item() {
    local word=$2
    grep -qE "^ +${word//[/\\[}( {2}|$)" <<<"$1"
}

checked=0
# page_of PROGRAM: its page; qjd, a system service, is in section 8, the others in section 1.
page_of() {
    if [ "$1" = qjd ]; then echo "$pages/qjd.8.gz"; else echo "$pages/$1.1.gz"; fi
}

for program in qj-panel qj-sim qj-ctl qjd; do
    page=$(page_of "$program")
    [ -f "$page" ] || fail "no $page"
    # lintian's own way of looking for mistakes in a page.
    warnings=$(man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) || true
    [ -z "$warnings" ] || fail "$(basename "$page" .gz) does not format cleanly:
$warnings"
    whatis=$(lexgrog "$page") || fail "no NAME section in $program.1"
    [[ "$whatis" == *": \"$program - "?* ]] || fail "the NAME line of $program.1: $whatis"
    checked=$((checked + 1))
done

for program in "${programs[@]}"; do
    text=$(render "$(page_of "$program")")
    options=$(section "$text" OPTIONS)
    [ -n "$options" ] || fail "$program.1 has no OPTIONS section"
    help=$(QT_QPA_PLATFORM=offscreen timeout 30 "$build/$program" --help) ||
        fail "$program --help failed"
    if [ "$(help_options "$help")" != "$(page_options "$options")" ]; then
        diff <(help_options "$help") <(page_options "$options") >&2 || true
        fail "the options of $program --help (<) and of $program.1 (>) differ"
    fi

    if [ "$program" = qj-sim ]; then
        # The faults, as --help lists them under --fault: "  NAME[=N]   what it does".
        faults=$(sed -nE 's/^ {15,}([a-z][a-z-]*(=N|\[=N\])?) {2,}.*/\1/p' <<<"$help")
        [ -n "$faults" ] || fail "qj-sim --help lists no faults"
        for fault in $faults; do
            has_item "$options" "$fault" || fail "qj-sim.1 does not describe the fault $fault"
        done
        # The control commands, as "help" on standard input lists them.
        reply=$(echo help | timeout 30 "$build/qj-sim" --quit-on-eof --no-pacing --no-realtime \
            2>/dev/null | sed -n 2p)
        [[ "$reply" == "OK commands: "* ]] || fail "qj-sim answers help with: $reply"
        control=$(section "$text" "CONTROL LINES")
        has_item "$control" help || fail "qj-sim.1 does not describe the control command help"
        IFS=, read -r -a commands <<<"${reply#OK commands: }"
        for command in "${commands[@]}"; do
            read -r word _ <<<"$command"
            grep -qE "^ +$word( |$)" <<<"$control" ||
                fail "qj-sim.1 does not describe the control command $word"
        done
    fi
done
echo "manual pages: $checked format cleanly; options checked against --help of ${programs[*]}"
