#!/usr/bin/env bash
# Runs scripts/run without a display, as on a fresh headless machine, and
# checks what it reports: exit status 0, a message that the panel read the
# generator back, and the path of a picture that shows the filled window.
set -euo pipefail
top=$1
bin=$2
out=$(mktemp -d /tmp/jt6400-run-test.XXXXXX)
trap 'rm -rf "$out"' EXIT

status=0
env -u DISPLAY JT6400_BIN="$bin" JT6400_SHOTS_DIR="$out/shots" "$top/scripts/run" \
  >"$out/stdout" 2>"$out/stderr" || status=$?
cat "$out/stderr"
fail() { echo "FAIL: $*"; exit 1; }

[ "$status" -eq 0 ] || fail "scripts/run exited with $status"
grep -q "^The panel has read the generator back: .*Model 6404+.*ComPort: 3" "$out/stderr" ||
  fail "no message that the read-back finished"
shot=$(tail -n1 "$out/stdout")
[[ "$shot" == "$out/shots/"*.png ]] || fail "last line is not the picture's path: $shot"
[ -s "$shot" ] || fail "no picture at $shot"

# The picture is the whole private screen with the panel on it: big enough
# for the window and not one flat colour.
read -r width height <<<"$(identify -format '%w %h' "$shot")"
[ "$width" -ge 622 ] && [ "$height" -ge 710 ] || fail "picture is ${width}x${height}"
deviation=$(convert "$shot" -colorspace Gray -format '%[fx:standard_deviation]' info:)
awk -v d="$deviation" 'BEGIN { exit !(d > 0.05) }' || fail "the picture is nearly flat (deviation $deviation)"
echo "PASS: $(head -n1 "$out/stderr" | cut -c1-60)..., picture $width x $height"
