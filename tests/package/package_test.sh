#!/usr/bin/env bash
# Builds the Debian package from an already built tree with cpack, unpacks it
# into a private root with dpkg-deb and checks what a user gets: the programs
# run from there (the panel's --version without any display), the desktop
# entry is valid and names an installed program and icon, the icons, man pages
# and documentation are in place, the udev rule is only an example, and the
# dependencies are those of the linked libraries.
# Usage: package_test.sh BUILD_DIR CLI_BUILT   (CLI_BUILT: 1 when this build
# has the jt6400-cli program, which the package must then carry)
set -euo pipefail
build=$1
cli=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack could not build the package"
fi
shopt -s nullglob
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] || fail "cpack made ${#debs[@]} .deb files, not one"
deb=${debs[0]}
echo "package: $(basename "$deb")"

# Control fields; the dependencies come from dpkg-shlibdeps.
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = jt6400 ] || fail "package name is '$(field Package)'"
[ "$(field Section)" = electronics ] || fail "section is '$(field Section)'"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^\>]+@[^\>]+\>$ ]] || fail "maintainer is '$(field Maintainer)'"
version=$(field Version)
depends=$(field Depends)
depended=$(tr ',' '\n' <<<"$depends" | awk '{print $1}')
for lib in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6serialport6; do
  grep -qxF "$lib" <<<"$depended" || fail "Depends lacks $lib: $depends"
done
dpkg-deb --control "$deb" "$work/control"
grep -q dialout "$work/control/postinst" || fail "the post-install message does not explain the dialout group"

root=$work/root
dpkg-deb --extract "$deb" "$root"
usr=$root/usr
programs=(jt6400 jt6400-sim)
[ "$cli" = 1 ] && programs+=(jt6400-cli)
for p in "${programs[@]}"; do
  [ -x "$usr/bin/$p" ] || fail "usr/bin/$p missing"
  page=$usr/share/man/man1/$p.1.gz
  [ -f "$page" ] || fail "man page of $p missing"
  header=$(gzip -dc "$page" | sed -n '/^\.TH /p')
  [[ "$header" == ".TH ${p^^} \"1\" "* ]] || fail "man page of $p has the header '$header'"
done
for f in README.md copyright examples/60-jt6400-serial.rules; do
  [ -s "$usr/share/doc/jt6400/$f" ] || fail "usr/share/doc/jt6400/$f missing"
done
active_rules=$(find "$root" -path '*/udev/rules.d/*')
[ -z "$active_rules" ] || fail "the package installs an active udev rule: $active_rules"

# The icon in the hicolor theme, each size what its folder says.
icons=$usr/share/icons/hicolor
for size in 48 256; do
  kind=$(file -b "$icons/${size}x$size/apps/jt6400.png")
  [[ "$kind" == "PNG image data, $size x $size,"* ]] || fail "${size}x$size icon: $kind"
done
kind=$(file -b "$icons/scalable/apps/jt6400.svg")
[[ "$kind" == "SVG "* ]] || fail "scalable icon: $kind"

# The desktop entry: valid, without even a warning, starting an installed
# program with the installed icon.
desktop=$usr/share/applications/jt6400.desktop
[ -f "$desktop" ] || fail "desktop entry missing"
validation=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $validation"
[ -z "$validation" ] || fail "desktop-file-validate: $validation"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$usr/bin/$exec_program" ] || fail "Exec=$exec_program is no installed program"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = jt6400 ] || fail "Icon= does not name the installed icon jt6400"

# The unpacked programs themselves. The panel answers --version before it
# needs a display, so no display is given to it.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/jt6400" --version) ||
  fail "jt6400 --version failed without a display"
[ "$out" = "jt6400 $version" ] || fail "jt6400 --version printed '$out', the package is $version"
out=$("$usr/bin/jt6400-sim" --help) || fail "jt6400-sim --help failed"
[[ "$out" == "Usage: jt6400-sim "* ]] || fail "jt6400-sim --help printed: $out"
if [ "$cli" = 1 ]; then
  out=$("$usr/bin/jt6400-cli" --help) || fail "jt6400-cli --help failed"
  grep -q "jt6400-cli" <<<"$out" || fail "jt6400-cli --help does not name the program: $out"
else
  echo "SKIPPED jt6400-cli --help: this build has no jt6400-cli target yet, so the package cannot carry it"
fi
echo "package checked: ${programs[*]}"
