#!/usr/bin/env bash
# Drives bootflash's bash completion as bash-completion calls it, with COMP_WORDS, and checks
# what it offers: one row a case, the words typed (the last being completed) and the offers.
set -uo pipefail
flasher=$(realpath "$1")
completion=$2
source /usr/share/bash-completion/bash_completion
source "$completion"
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
ln -s "$flasher" "$bin/bootflash"
PATH="$bin:$PATH"
# The machine's serial devices are not the test's: one stands in for them.
_bootflash_ports() { echo /dev/ttyUSB7; }
# Outside a real completion compopt cannot act; note what was asked of it.
compopt() { options+=" $*"; }

# Prints the offers, then "nospace" when the completed word takes no space after it.
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    options=""
    _bootflash bootflash "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local offers
    offers=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    [[ $options == *"-o nospace"* ]] && offers+="nospace"
    echo "${offers% }"
}

failed=0
expect() {
    local wanted=$1
    shift
    local got
    got=$(complete_words "$@")
    if [ "$got" != "$wanted" ]; then
        echo "completing '$*': offered '$got', expected '$wanted'" >&2
        failed=1
    fi
}

# Every option that takes a value, as --help declares them, is followed by its value, never by
# an operation or an option.
while read -r option; do
    case $option in
        -p | --port | -b | --baud | --log | --reset | --after) ;;
        *) expect "" bootflash "$option" "" ;;
    esac
done < <(bootflash --help | sed -nE 's/^  (-[a-zA-Z], )?(--[a-z-]+) <.*/\1\2/p' | tr -d , | tr ' ' '\n')

expect "/dev/ttyUSB7" bootflash download fw.hex --port /dev/tty
expect "/dev/ttyUSB7" bootflash download fw.hex -p /dev/
expect "tcp:// nospace" bootflash --port tc
expect "socket:// nospace" bootflash -p so
expect "/dev/ttyUSB7 rfc2217:// socket:// tcp://" bootflash version -p ""
# A link to a port, as the emulator's --link makes one, completes as the path it is.
mkdir "$bin/bench" && cd "$bin/bench" && ln -s /dev/null sim && mkdir lines
expect "./lines ./sim" bootflash download fw.hex -p ./
expect "$bin/bench/sim" bootflash -p "$bin/bench/s"
cd - >/dev/null
expect "19200" bootflash --baud 19
expect "dtr-reset dtr-reset-rts-boot" bootflash --after dtr
expect "--scan-range" bootflash --scan
expect "--flash-range" bootflash --flash
expect "download" bootflash --address 3 dow
expect "download" bootflash --probe-ms 20 dow
# Each option is offered once.
duplicates=$(complete_words bootflash -- | tr ' ' '\n' | sort | uniq -d)
[ -z "$duplicates" ] || { echo "options offered twice: $duplicates" >&2; failed=1; }

[ "$failed" -eq 0 ] && echo "bootflash completion: every case as expected"
exit "$failed"
