#!/bin/sh
# Runs a link with the time stamp of the source instead of the build's:
# SOURCE_DATE_EPOCH when it is set, else the time of the commit that is
# built (the linker writes it into the PE header). The same commit then
# gives the same bytes, wherever and whenever it is built.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$(dirname "$0")/.." log -1 --format=%ct 2>/dev/null) || SOURCE_DATE_EPOCH=
  [ -n "$SOURCE_DATE_EPOCH" ] || SOURCE_DATE_EPOCH=0
  export SOURCE_DATE_EPOCH
fi
exec "$@"
