# Sourced by the test scripts: a work folder that goes at exit, and the
# loopback server (http_server.py) started in it and stopped at exit.
#   start_server [CERT KEY]   with the server's environment before the call;
#                             waits until "$work/ports" names its ports
#   winpath PATH              a Linux path as Wine sees it
#   $wine PROGRAM ARGS...     starts a Windows program (scripts/wine)
loopback_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine=$loopback_here/../../scripts/wine
work=$(mktemp -d)
server=""
cleanup() {
  # Whatever the caller's shell options: errors here change no exit status.
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

start_server() {
  /usr/bin/python3 "$loopback_here/http_server.py" "$work/ports" "$@" &
  server=$!
  for _ in $(seq 100); do
    [ -s "$work/ports" ] && return 0
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
  done
  echo "the test server did not start${BOUNTIQ_SERVER_PORT:+ on port $BOUNTIQ_SERVER_PORT (in use?)}"
  exit 1
}

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
