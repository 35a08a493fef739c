#!/usr/bin/env bash
# Signs the stand-in installer in every way the trust tests need, then runs
# them. (Inside a Wine session.)
#   trust_test.sh TEST_PROGRAM PROGRAM_TO_SIGN
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/make_signed_partners.sh" "$2" "$work/partners"
BOUNTIQ_PARTNERS="$(printf 'Z:%s' "$work/partners" | tr / '\\')" wine "$1"
