#!/usr/bin/env bash
# jt6400-cli's bash completion as bash runs it: the completion function
# called with the words of a command line, its offers compared with what
# jt6400-cli takes at that place.
# Usage: completion_test.sh COMPLETION JT6400-CLI
set -uo pipefail
completion=$(realpath "$1")
cli=$(realpath "$2")
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -f "$completion" ] || fail "no completion file at $completion"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/ports"
ln -s "$cli" "$work/bin/jt6400-cli"
ln -s /dev/null "$work/ports/COM3"
touch "$work/settings-one.txt"

# The words offered for a command line whose last word is being completed,
# one a line, sorted.
offered() {
  (cd "$work" && PATH="$work/bin:$PATH" JT6400_PORT_DIR="$work/ports" bash -c '
    source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    $(complete -p jt6400-cli | sed "s/.*-F \([^ ]*\) .*/\1/") jt6400-cli
    printf "%s\n" "${COMPREPLY[@]}" | sed "/^$/d" | sort' sh "$completion" "$@")
}

commands=$(offered jt6400-cli "")
grep -qxF status <<<"$commands" || fail "no commands offered at the start: $commands"
options=$(offered jt6400-cli --)
grep -qxF -- --json <<<"$options" || fail "no options offered for --: $options"

# What each command line offers: the commands, the options, files, or
# nothing at all.
check() {
  local want=$1
  shift
  local got expected
  got=$(offered "$@")
  case $want in
    commands) expected=$commands ;;
    options) expected=$options ;;
    nothing) expected= ;;
    *) expected=$want ;;
  esac
  [ "$got" = "$expected" ] || fail "completing '$*' offered
$got
instead of $want:
$expected"
}

# A value option's value is no command: the word after it is.
check commands jt6400-cli --serial 1234 ""
check commands jt6400-cli --allow 192.168.1.0/24 ""
check commands jt6400-cli --port 3 ""
check commands jt6400-cli --serial = 1234 ""
check commands jt6400-cli --log traffic.txt --serial 1234 ""
check nothing jt6400-cli --serial ""
check nothing jt6400-cli --allow ""
check COM3 jt6400-cli --port ""
# Options after the command, as jt6400-cli takes them.
check options jt6400-cli status --
check options jt6400-cli --serial 1234 run --
check --json jt6400-cli status --j
check settings-one.txt jt6400-cli save --port 3 settings-
check settings-one.txt jt6400-cli --serial 1234 apply settings-
check nothing jt6400-cli save settings-one.txt ""
check nothing jt6400-cli status ""
# After "--" every word is the command's.
check nothing jt6400-cli query -- --j
check "$(printf 'status\nstop')" jt6400-cli -- st
echo "bash completion of jt6400-cli: commands after option values, options after the command"
