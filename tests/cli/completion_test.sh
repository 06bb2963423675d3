#!/bin/bash
# The bash completion offers every command and every option that korvane-fw's help shows.
# Usage: completion_test.sh KORVANE_FW COMPLETION_FILE
set -u
program=$1
source "$2"

complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _korvane_fw
    echo " ${COMPREPLY[*]} "
}

# The options of the help's option lines ("  -h,--help  Show ...", "  --port DESCRIPTOR ...").
options_of() {
    "$program" "$@" --help | grep -E '^  -' | awk '{print $1}' | tr ',' '\n' | sort -u
}

failed=0
offered=$(complete_words korvane-fw "")
for word in check update read detect ports help $(options_of); do
    [[ $offered == *" $word "* ]] || { echo "korvane-fw: $word not offered"; failed=1; }
done
for command in check update read detect ports; do
    offered=$(complete_words korvane-fw "$command" -)
    for option in $(options_of "$command"); do
        [[ $offered == *" $option "* ]] || { echo "$command: $option not offered"; failed=1; }
    done
done
offered=$(complete_words korvane-fw read --progress "")
[[ $offered == " bar plain none json " ]] || { echo "--progress values: $offered"; failed=1; }
exit $failed
