#!/usr/bin/env bash
# A packager's build from the program sources and Qt alone: configured with
# BUILD_TESTING=OFF while CMake may find none of the test-only packages
# (GoogleTest, JPEG, Google Benchmark), the configuration succeeds, asks for
# no Qt Test, and its build holds the three programs, the man pages and the
# package, and no test or benchmark.
# Usage: without_tests_test.sh SOURCE_DIR GENERATOR
set -euo pipefail
source=$1
generator=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if ! cmake -S "$source" -B "$work/build" -G "$generator" -DBUILD_TESTING=OFF \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_JPEG=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >"$work/configure.log" 2>&1; then
  cat "$work/configure.log" >&2
  fail "the build without tests cannot be configured without the test packages"
fi
grep -q '^Qt6Test_DIR:' "$work/build/CMakeCache.txt" && fail "the build without tests looks for Qt Test"
[ -f "$work/build/CPackConfig.cmake" ] || fail "the build without tests makes no package configuration"

targets=$(cmake --build "$work/build" --target help 2>/dev/null || true)
for t in jt6400 jt6400-cli jt6400-sim man-pages; do
  grep -Eq "(^|[ /])$t(:| |$)" <<<"$targets" || fail "the build without tests has no target $t"
done
if grep -Eq '(^|[ /])(test_|bench_|app_tests|e2e_tests|jt_test_support)' <<<"$targets"; then
  fail "the build without tests still has test or benchmark targets: $(grep -E 'test_|bench_|_tests|jt_test_support' <<<"$targets" | head -5)"
fi
echo "configured without tests: jt6400 jt6400-cli jt6400-sim"
