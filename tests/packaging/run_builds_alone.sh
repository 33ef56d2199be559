#!/usr/bin/env bash
# `make run` builds the program alone: the one build command it gives names the brisel target, and what that
# target needs compiles nothing of the tests, the benchmarks or the GIMP plug-in (yet does compile the
# program's own main, so that the look below can fail).
#
#   run_builds_alone.sh SOURCE BUILD
set -euo pipefail
source=$1
build=$2
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

builds=$(make -s -n -C "$source" run BUILD="$build" | grep -E 'cmake --build' || true)
[ "$(printf '%s\n' "$builds" | grep -c .)" -eq 1 ] || fail "make run gives $(printf '%s\n' "$builds" | grep -c .) build commands: $builds"
case $builds in *"--target brisel"*) ;; *) fail "make run builds more than brisel: $builds" ;; esac

compiled=$(make -s -n -B -C "$build" brisel 2>/dev/null | grep -oE -- '-c [^ ]+\.cpp' | sed 's/^-c //' || true)
grep -q '/src/main\.cpp$' <<<"$compiled" || fail "the brisel target compiles no src/main.cpp: $compiled"
! grep -E '/(tests|bench|host/gimp)/' <<<"$compiled" || fail "the brisel target compiles the above"
echo "make run builds brisel alone: $(grep -c . <<<"$compiled") sources"
