#!/usr/bin/env bash
# Builds the Debian package from an already built tree with cpack, unpacks it
# into a private root with dpkg-deb and checks what a user gets: the programs
# run from there (the panel's --version without any display), the desktop
# entry is valid and names an installed program and icon, the AppStream
# metadata is valid, the icons, man pages, changelog and documentation are in
# place, jt6400-cli's bash completion offers its commands and options, the
# udev rule is only an example, and the dependencies are those of the linked
# libraries. The programs carry Debian's hardening, lintian finds no error,
# and a second package made after the built files got new times is the same,
# byte for byte.
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

# Reproducible: the files the package holds get new times, as a new build of
# the same commit gives them, and the package made again is the same.
touch -c "$build"/bin/jt6400 "$build"/bin/jt6400-sim "$build"/bin/jt6400-cli "$build"/packaging/man/*.gz \
  "$build"/packaging/changelog.gz
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/again" >"$work/cpack-again.log" 2>&1; then
  cat "$work/cpack-again.log" >&2
  fail "cpack could not build the package a second time"
fi
again=("$work"/again/*.deb)
if ! cmp -s "$deb" "${again[0]}"; then
  listing() { dpkg-deb --fsys-tarfile "$1" | tar -tv --full-time; dpkg-deb --ctrl-tarfile "$1" | tar -tv --full-time; }
  diff <(listing "$deb") <(listing "${again[0]}") >&2 || true
  fail "two packages of one build differ"
fi

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
for f in README.md copyright changelog.gz examples/60-jt6400-serial.rules; do
  [ -s "$usr/share/doc/jt6400/$f" ] || fail "usr/share/doc/jt6400/$f missing"
done
# The man pages carry the date of the source (the build's SOURCE_DATE_EPOCH),
# not of the build.
source_date=$(sed -n 's/.*ENV{SOURCE_DATE_EPOCH} "\([0-9]*\)".*/\1/p' "$build/packaging/CPackTimes.cmake")
[ -n "$source_date" ] || fail "the build sets no SOURCE_DATE_EPOCH for cpack"
for p in "${programs[@]}"; do
  page_date=$(gzip -dc "$usr/share/man/man1/$p.1.gz" | sed -n 's/^\.TH [^"]*"1" "\([^"]*\)".*/\1/p')
  [ "$page_date" = "$(LC_ALL=C date -u -d "@$source_date" '+%B %Y')" ] ||
    fail "man page of $p is dated '$page_date', the source $(date -u -d "@$source_date" '+%F')"
done
# The changelog: Debian's format, its newest entry for this version.
changelog_head=$(gzip -dc "$usr/share/doc/jt6400/changelog.gz" | head -n 1)
[[ "$changelog_head" == "jt6400 ($version) "*"; urgency="* ]] ||
  fail "the changelog's newest entry is '$changelog_head', the package is $version"
# Debian's hardening in every program: position-independent, relocations
# read-only and bound at start-up, a stack protector, fortified C library
# calls.
for p in "${programs[@]}"; do
  exe=$usr/bin/$p
  LC_ALL=C readelf -hW "$exe" | grep -Eq 'Type: +DYN' || fail "$p is not a position-independent executable"
  LC_ALL=C readelf -lW "$exe" | grep -q GNU_RELRO || fail "$p has no read-only relocations (relro)"
  LC_ALL=C readelf -dW "$exe" | grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' || fail "$p is not linked with -z now"
  symbols=$(LC_ALL=C readelf --dyn-syms -W "$exe")
  grep -q '__stack_chk_fail' <<<"$symbols" || fail "$p has no stack protector"
  grep -Eq ' __[a-z_]+_chk(@|$)' <<<"$symbols" || fail "$p calls no fortified C library function"
done
# Beyond Debian's defaults: hardening-check (devscripts) finds nothing
# missing in any program, the stack cannot be executed, and the C++ library
# checks its containers' bounds (the programs call its assertion handler).
# (The linker marks only shared libraries as not loadable by dlopen; the C
# library refuses to load a position-independent program anyway.)
for p in "${programs[@]}"; do
  exe=$usr/bin/$p
  report=$(hardening-check --nocfprotection "$exe" 2>&1) || fail "hardening-check: $report"
  stack=$(LC_ALL=C readelf -lW "$exe" | grep -E '^ +GNU_STACK') || fail "$p names no stack permissions"
  grep -Eq ' RW +0x' <<<"$stack" || fail "$p has an executable stack: $stack"
  symbols=$(LC_ALL=C readelf --dyn-syms -W "$exe")
  grep -q __glibcxx_assert_fail <<<"$symbols" ||
    fail "$p is built without the C++ library's assertions (-D_GLIBCXX_ASSERTIONS)"
done
# Control-flow protection. A program carries the marks hardening-check looks
# for (x86 feature: IBT, SHSTK) only when every object linked into it has
# them, the C library's start-up files included; where a program of one line
# built with the project's compiler gets them, every program must have them.
# Debian 12's start-up files lack them (no program of Debian 12 has them), so
# there the programs' own code shows it: its functions begin with an
# end-branch instruction.
if [ "$(uname -m)" = x86_64 ]; then
  compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")
  echo 'int main() { return 0; }' >"$work/probe.cpp"
  "$compiler" -fcf-protection=full "$work/probe.cpp" -o "$work/probe" || fail "$compiler cannot build with -fcf-protection"
  if LC_ALL=C readelf -nW "$work/probe" | grep -q 'x86 feature: IBT, SHSTK'; then
    for p in "${programs[@]}"; do
      report=$(hardening-check "$usr/bin/$p" 2>&1) || fail "hardening-check: $report"
    done
  else
    echo "note: this system's C start-up files carry no control-flow marks; checking the programs' own code"
    # Stripped programs name no functions: their returns stand for them
    # (built without the protection, a program has two end-branches, both
    # from the compiler's own start-up files).
    for p in "${programs[@]}"; do
      objdump -d --no-show-raw-insn "$usr/bin/$p" >"$work/code.txt"
      branches=$(grep -c $'\tendbr64' "$work/code.txt") || true
      returns=$(grep -cE $'\t(ret|repz ret|bnd ret)' "$work/code.txt") || true
      [ $((branches * 4)) -ge "$returns" ] ||
        fail "$p has $branches end-branch instructions for $returns returns: not built with -fcf-protection"
    done
  fi
fi
# lintian: no error, and none of its hardening complaints.
# Its exit status is 0 or 1 (tags found) when it could check the package;
# anything else (not installed, or it could not run) fails the test.
lintian_status=0
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1) || lintian_status=$?
if [ "$lintian_status" -gt 1 ]; then
  echo "$lintian_out" >&2
  fail "lintian could not check the package (exit status $lintian_status)"
fi
if grep -E '^E: |hardening-|no-changelog' <<<"$lintian_out" >&2; then
  fail "lintian reports errors, missing hardening or no changelog"
fi

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
# The AppStream metadata: valid, launching the installed desktop entry, its
# newest release this version.
metainfo=("$usr"/share/metainfo/*.metainfo.xml)
[ ${#metainfo[@]} -eq 1 ] && [ -f "${metainfo[0]}" ] || fail "no AppStream metadata in usr/share/metainfo"
validation=$(appstreamcli validate --no-net "${metainfo[0]}" 2>&1) || fail "appstreamcli validate: $validation"
component=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "${metainfo[0]}")
[ "$(basename "${metainfo[0]}")" = "$component.metainfo.xml" ] || fail "${metainfo[0]} is not named after its id $component"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "${metainfo[0]}")
[ -f "$usr/share/applications/$launchable" ] || fail "the metadata launches $launchable, which is not installed"
newest=$(sed -n 's:.*<release version="\([^"]*\)".*:\1:p' "${metainfo[0]}" | head -n 1)
[ "$newest" = "$version" ] || fail "the metadata's newest release is $newest, the package is $version"
[ -x "$usr/bin/$exec_program" ] || fail "Exec=$exec_program is no installed program"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = jt6400 ] || fail "Icon= does not name the installed icon jt6400"

# The unpacked programs themselves. The panel answers --version before it
# needs a display, so no display is given to it.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/jt6400" --version) ||
  fail "jt6400 --version failed without a display"
[ "$out" = "jt6400 $version" ] || fail "jt6400 --version printed '$out', the package is $version"
out=$("$usr/bin/jt6400-sim" --help) || fail "jt6400-sim --help failed"
[[ "$out" == "Usage: jt6400-sim "* ]] || fail "jt6400-sim --help printed: $out"
out=$("$usr/bin/jt6400-sim" --version) || fail "jt6400-sim --version failed"
[ "$out" = "jt6400-sim $version" ] || fail "jt6400-sim --version printed '$out', the package is $version"
if [ "$cli" = 1 ]; then
  out=$("$usr/bin/jt6400-cli" --help) || fail "jt6400-cli --help failed"
  grep -q "jt6400-cli" <<<"$out" || fail "jt6400-cli --help does not name the program: $out"

  # bash completion, as bash runs it for the installed program: the commands
  # for the first word, the options after "-", port links for --port.
  completion=$usr/share/bash-completion/completions/jt6400-cli
  [ -f "$completion" ] || fail "no bash completion for jt6400-cli"
  mkdir "$work/ports"
  ln -s /dev/null "$work/ports/COM3"
  ln -s /dev/null "$work/ports/COM12"
  ln -s /dev/null "$work/ports/com4"
  complete_words() {
    PATH="$usr/bin:$PATH" JT6400_PORT_DIR="$work/ports" bash -c '
      source "$1"; shift
      COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
      $(complete -p jt6400-cli | sed "s/.*-F \([^ ]*\) .*/\1/") jt6400-cli
      printf "%s\n" "${COMPREPLY[@]}" | sort' sh "$completion" "$@"
  }
  offered=$(complete_words jt6400-cli "")
  for c in list identify save apply query send status run stop; do
    grep -qxF "$c" <<<"$offered" || fail "the completion does not offer the command $c: $offered"
  done
  # Each offered word is a command jt6400-cli takes (it may then refuse the
  # missing argument, or find no generator, but never the command itself).
  for c in $offered; do
    out=$(JT6400_PORT_DIR="$work/ports" timeout 30 "$usr/bin/jt6400-cli" "$c" </dev/null 2>&1) || true
    ! grep -q "unknown command" <<<"$out" || fail "the completion offers '$c', which jt6400-cli does not know"
  done
  for w in $(complete_words jt6400-cli st); do
    [[ "$w" == st* ]] || fail "the completion of 'st' offers $w"
  done
  offered=$(complete_words jt6400-cli --)
  for o in --port --json --log --help --version; do
    grep -qxF -- "$o" <<<"$offered" || fail "the completion does not offer the option $o: $offered"
  done
  [ "$(complete_words jt6400-cli --port "" | tr '\n' ' ')" = "COM12 COM3 " ] ||
    fail "completion of --port: $(complete_words jt6400-cli --port "")"
  touch "$work/settings-one.txt"
  [ "$(cd "$work" && complete_words jt6400-cli --port 3 save settings-)" = settings-one.txt ] ||
    fail "completion of save's file: $(cd "$work" && complete_words jt6400-cli --port 3 save settings-)"
  [ -z "$(complete_words jt6400-cli status "")" ] || fail "the completion offers words after status"
else
  echo "SKIPPED jt6400-cli --help: this build has no jt6400-cli target yet, so the package cannot carry it"
fi
echo "package checked: ${programs[*]}"
