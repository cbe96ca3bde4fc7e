#!/usr/bin/env bash
# scripts/check-layers on a tiny tree: a downward include passes, an upward
# one is named with its file and line and fails the check.
#   check_layers_test.sh <check-layers> <sandbox directory>
set -u
checker=$1
tree=$2/tree
rm -rf "$tree"
mkdir -p "$tree/base" "$tree/top"
printf 'base:\ntop: base\n' >"$tree/layers.txt"
printf '#include "base/ground.h"\n' >"$tree/base/ground.cpp"
printf '#include <string>\n#include "base/ground.h"\n' >"$tree/top/roof.cpp"

fail() {
  echo "FAILED: $*"
  echo "$out"
  exit 1
}

out=$(bash "$checker" --root "$tree" 2>&1) || fail "allowed includes were refused"
grep -q 'top/ *may include top base' <<<"$out" || fail "the table was not listed"

printf 'int x;\n#include "top/roof.h"\n' >>"$tree/base/ground.cpp"
out=$(bash "$checker" --root "$tree" 2>&1) && fail "an upward include passed"
grep -qx 'base/ground.cpp:3: base may not include top/roof.h' <<<"$out" ||
  fail "the upward include was not named as file:line"
[ "$(grep -c 'may not include' <<<"$out")" -eq 1 ] || fail "allowed includes were reported too"
echo "check-layers: allowed and forbidden includes told apart"
