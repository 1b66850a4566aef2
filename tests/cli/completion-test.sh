#!/usr/bin/env bash
# The bash completion of qubra-cli against the program's own usage text: every command and
# option it names is offered where it belongs, and a command's options only after it.
set -euo pipefail
program=$1
completion=$2
source /usr/share/bash-completion/bash_completion
source "$completion"

usage=$("$program" --help)
# The options that several commands share, written once in the usage, stand in their lines.
batch=$(sed -n '/^BATCH/{n;p}' <<<"$usage")
[ -n "$batch" ] || { echo "FAIL: no BATCH options in the usage" >&2; exit 1; }
usage=$(sed "s/\[BATCH\]/$batch/" <<<"$usage")
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The candidates for the last word of the line given.
candidates() {
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMP_LINE="$*"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _qubra_cli qubra-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort
}
offers() { grep -qxF -- "$2" <<<"$1"; }

commands=$(sed -n 's/^  qubra-cli \[options\] \([a-z-]*\).*/\1/p' <<<"$usage" | sort)
[ -n "$commands" ] || fail "no command found in the usage"
[ "$(candidates qubra-cli '')" = "$commands" ] || fail "commands offered: $(candidates qubra-cli '' | xargs)"

common=$(sed -n '/^Options:/,$p' <<<"$usage" | grep -o -- '--[a-z-]*' | sort -u)
for option in $common; do
  offers "$(candidates qubra-cli --)" "$option" || fail "$option not offered before the command"
done

# Options that belong to some command, from the command lines of the usage.
owned=$(sed -n 's/^  qubra-cli \[options\] [a-z-]* //p' <<<"$usage" | grep -o -- '--[a-z-]*' | sort -u)
for command in $commands; do
  line=$(grep -E "^  qubra-cli \[options\] $command( |$)" <<<"$usage")
  # A value option before the command must not hide it.
  offered=$(candidates qubra-cli --timeout 300 "$command" --)
  for option in $owned; do
    if grep -q -- "$option\b" <<<"$line"; then
      offers "$offered" "$option" || fail "$command: $option not offered"
    elif offers "$offered" "$option"; then
      fail "$command: $option offered, but it belongs elsewhere"
    fi
  done
  for option in $common; do
    offers "$offered" "$option" || fail "$command: $option not offered"
  done
done

# Where a value is typed there is nothing to offer.
[ -z "$(candidates qubra-cli read --ip '')" ] || fail "an address is completed"

[ "$failures" -eq 0 ] || exit 1
echo "completion offers what the usage names"
