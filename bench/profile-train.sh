#!/usr/bin/env bash
# The runs that train a profile-guided build of cpsctl (CPS_PROFILE=generate): what people run
# most, reading and writing radios of both generations, the 255-channel and the full codeplug
# among them, plus a set and a get. Each run adds to the profiles the build writes.
#
#   bench/profile-train.sh CPSCTL
set -euo pipefail

cpsctl=$(realpath "$1")
work=$(mktemp -d /tmp/cps-profile-train-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

run() { "$cpsctl" "$@" >/dev/null; }
run radio create r255.radio --gen 1 --channels 255
run radio create full.radio --gen 1 --full
run radio create small.radio --gen 1
run radio create r9.radio --gen 2
for radio in r255 full small r9; do
  run read "$radio.radio" -o "$radio.json"
  for _ in 1 2 3; do
    run write "$radio.radio" "$radio.json" --no-backup --no-verify
    run read "$radio.radio"
  done
  run write "$radio.radio" "$radio.json"
done
run set small.json 38 0 455=146.5 -o edited.json
run get edited.json 38 0
run write small.radio edited.json --no-backup
