#!/usr/bin/env bash
# Runs the offer flow tests against a loopback server on the port the test
# wrapper was built with, once in the session's locale and once more in each
# of a few other countries' locales (Wine takes the user's country from the
# locale a process starts with). Inside a Wine session.
# The partner it serves is PROGRAM_TO_SIGN signed by the test publisher
# (make_signed_partners.sh); the tests may put another of the signed copies
# in its place (current.exe).
#   offer_test.sh TEST_PROGRAM PORT PROGRAM_TO_SIGN LOCALE_FOLDER
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../internet/loopback.sh"
"$here/../internet/make_signed_partners.sh" "$3" "$work/partners" || exit 1
cp "$work/partners/signed.exe" "$work/partners/current.exe"
BOUNTIQ_SERVER_PORT=$2 BOUNTIQ_PARTNER_FILE=$work/partners/current.exe start_server
export BOUNTIQ_SERVER_LOG BOUNTIQ_PARTNERS
BOUNTIQ_SERVER_LOG=$(winpath "$work/ports.log")
BOUNTIQ_PARTNERS=$(winpath "$work/partners")

rc=0
"$wine" "$1" || rc=1
for locale in de_DE pt_BR ru_RU; do
  echo "--- in the locale $locale.UTF-8"
  LOCPATH=$4 LANG=$locale.UTF-8 "$wine" "$1" --gtest_filter=OfferFlowTest.TheCountryOfTheSessionDecides || rc=1
done
exit $rc
