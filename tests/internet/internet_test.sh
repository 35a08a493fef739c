#!/usr/bin/env bash
# Runs the download tests against loopback servers this script starts: plain
# HTTP, and HTTPS with a certificate for "localhost" that the Wine prefix
# does not trust. Stops them afterwards. The partner installers it serves are
# copies of PROGRAM_TO_SIGN, signed by make_signed_partners.sh. (Inside a
# Wine session.)
#   internet_test.sh TEST_PROGRAM PROGRAM_TO_SIGN
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/loopback.sh"
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=localhost -addext subjectAltName=DNS:localhost \
  -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 >/dev/null 2>&1
"$here/make_signed_partners.sh" "$2" "$work/partners" || exit 1
BOUNTIQ_PARTNER_FILE=$work/partners/signed.exe BOUNTIQ_FILES=$work/partners start_server "$work/cert.pem" "$work/key.pem"
read -r http https <"$work/ports" || true  # no line end
# A folder with files in it, and a tree to be deleted with links to it and
# to an empty folder in it. (Wine lists a link to a file as the file
# itself: nothing can tell it from one.)
mkdir -p "$work/victim/inner" "$work/victim/empty" "$work/tree/sub" && echo keep >"$work/victim/keep.txt" &&
  echo deeper >"$work/victim/inner/deeper.txt" && echo x >"$work/tree/sub/file" &&
  ln -s "$work/victim" "$work/tree/sub/folder-link" && ln -s "$work/victim/empty" "$work/tree/sub/empty-link"
BOUNTIQ_VICTIM=$(winpath "$work/victim") BOUNTIQ_LINK_TREE=$(winpath "$work/tree") \
  BOUNTIQ_PARTNERS=$(winpath "$work/partners") BOUNTIQ_SERVER_LOG=$(winpath "$work/ports.log") \
  BOUNTIQ_HTTP_PORT=$http BOUNTIQ_HTTPS_PORT=$https "$wine" "$1" ${3:+"--gtest_filter=$3"}
