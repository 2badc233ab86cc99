#!/usr/bin/env bash
# Checks the built manual pages: groff and man find nothing to warn about, and each page has the
# sections a reader looks for.
set -uo pipefail
pages=$1
failed=0
fail() { echo "$1" >&2; failed=1; }

declare -A sections=(
    [bootdevice]="NAME SYNOPSIS DESCRIPTION OPTIONS FILES SEE.ALSO"
    [bootflash]="NAME SYNOPSIS DESCRIPTION OPTIONS EXIT.STATUS OUTPUT ENVIRONMENT FILES EXAMPLES SEE.ALSO"
    [bootdev-sim]="NAME SYNOPSIS DESCRIPTION EXIT.STATUS ENVIRONMENT FILES EXAMPLES SEE.ALSO"
)
for program in "${!sections[@]}"; do
    page="$pages/$program.1.gz"
    [ -f "$page" ] || { fail "no page $page"; continue; }
    warnings=$(zcat "$page" | groff -ww -z -man 2>&1)
    [ -z "$warnings" ] || fail "groff warns on $program(1): $warnings"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man warns on $program(1): $warnings"
    for section in ${sections[$program]}; do
        zgrep -Eq "^\.SH \"?${section}\"?\$" "$page" || fail "$program(1) has no section ${section/./ }"
    done
done
[ "$failed" -eq 0 ] && echo "manual pages: clean, with every section"
exit "$failed"
