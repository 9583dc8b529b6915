#!/usr/bin/env bash
# jt6400-cli's man page as man shows it: every example on a line of its
# own, as --help prints them, and SEE ALSO naming the other programs, not
# the page itself.
# Usage: man_page_test.sh PAGE.1.gz JT6400-CLI
set -uo pipefail
page=$1
cli=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -f "$page" ] || fail "no man page at $page"

text=$(zcat "$page" | MANWIDTH=100 groff -t -man -Tutf8 -P -cbou 2>/dev/null) || fail "groff could not render $page"
section() { awk -v name="$1" '$0 == name {on = 1; next} /^[A-Z][A-Z ]+$/ {on = 0} on' <<<"$text"; }

# The examples of the help text, one a line, each on a line of its own in
# the page.
examples=$("$cli" --help | awk '/^Examples:/ {on = 1; next} on && /^  / {sub(/^ +/, ""); print} on && /^$/ {exit}')
[ -n "$examples" ] || fail "the help text shows no examples"
shown=$(section EXAMPLES | sed -e 's/^ *//' -e '/^$/d')
[ "$shown" = "$examples" ] || fail "EXAMPLES shows
$shown
instead of one example a line:
$examples"

see_also=$(section "SEE ALSO")
for other in jt6400 jt6400-sim; do
  grep -q "\b$other(1)" <<<"$see_also" || fail "SEE ALSO does not name $other(1): $see_also"
done
grep -q "jt6400-cli(1)" <<<"$see_also" && fail "SEE ALSO names the page itself: $see_also"
echo "man page of jt6400-cli: examples one a line, SEE ALSO names the other programs"
