#!/usr/bin/env bash
# Installs what `make bench-peer` needs besides the build: the peer it is timed against and the
# timer. Only what is missing; quiet when everything is there already.
exec "$(dirname "$0")/install-deps.sh" dmrconfig hyperfine python3
