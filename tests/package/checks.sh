# Sourced by the packing tools' test scripts: counted checks.
#   ok / fail WHAT         count a check that held / failed (and say which)
#   check WHAT COMMAND...  runs the command: held when it succeeds
#   checks_end NAME        prints the counts; fails when any check failed
passed=0
failed=0
ok() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
check() {
  local what=$1
  shift
  if "$@"; then ok; else fail "$what"; fi
}
checks_end() {
  echo "$1: $passed passed, $failed failed"
  [ "$failed" = 0 ]
}
