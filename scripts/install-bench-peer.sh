#!/usr/bin/env bash
# Installs what `make bench-peer` needs besides the build: the peer it is timed against, the
# timer, and what lays cpsctl's code out (valgrind counts the functions a run uses, lld links
# them together). Only what is missing; quiet when everything is there already.
exec "$(dirname "$0")/install-deps.sh" dmrconfig hyperfine python3 valgrind lld
