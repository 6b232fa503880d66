#!/usr/bin/env bash
# `cpsctl read` and `cpsctl write` timed side by side with a peer, Debian's dmrconfig, decoding
# and encoding a 256-channel codeplug of its own radio family. The same hyperfine run times
# every command (no shell, warm-up first), and the table gives each median and its ratio to the
# peer's (read against decode, write against encode).
#
#   bench/peer.sh [CPSCTL]      CPSCTL defaults to build/tools/cpsctl/cpsctl
#
# PEER_DIR names the folder of the peer's inputs (by default shared/bench-peer beside the
# repository), RUNS the runs of each command (20).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cpsctl=$(realpath "${1:-$here/build/tools/cpsctl/cpsctl}")
peer_dir=${PEER_DIR:-$here/../shared/bench-peer}
runs=${RUNS:-20}

for tool in dmrconfig hyperfine python3; do
  command -v "$tool" >/dev/null || { echo "bench/peer.sh: $tool is missing (make bench-peer installs it)" >&2; exit 1; }
done
[ -x "$cpsctl" ] || { echo "bench/peer.sh: no cpsctl at $cpsctl" >&2; exit 1; }
[ -f "$peer_dir/dmrconfig-uv380-256ch.img.gz" ] || { echo "bench/peer.sh: no peer inputs in $peer_dir" >&2; exit 1; }

work=$(mktemp -d /tmp/cps-bench-peer-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The peer's image and text, and a copy of the image for it to encode into.
gunzip -c "$peer_dir/dmrconfig-uv380-256ch.img.gz" >peer.img
gunzip -c "$peer_dir/dmrconfig-uv380-256ch.conf.gz" >peer.conf
cp peer.img enc.img

# A factory radio with 255 channels and its codeplug; the full codeplug too where cpsctl can
# make one. A write puts the radio's own codeplug back, so every run writes the same.
"$cpsctl" radio create r255.radio --gen 1 --channels 255 >/dev/null
"$cpsctl" read r255.radio -o r255.json >/dev/null
names=("dmrconfig decode" "dmrconfig encode" "cpsctl read (255 channels)" "cpsctl write (255 channels)")
commands=("dmrconfig peer.img" "dmrconfig -c enc.img peer.conf"
          "$cpsctl read r255.radio" "$cpsctl write r255.radio r255.json --no-backup --no-verify")
if "$cpsctl" radio create --help 2>/dev/null | grep -q -- '--full'; then
  "$cpsctl" radio create full.radio --gen 1 --full >/dev/null
  "$cpsctl" read full.radio -o full.json >/dev/null
  names+=("cpsctl read (full)" "cpsctl write (full)")
  commands+=("$cpsctl read full.radio" "$cpsctl write full.radio full.json --no-backup --no-verify")
else
  echo "(this cpsctl has no 'radio create --full': the full codeplug is left out)"
fi

args=()
for k in "${!commands[@]}"; do args+=(--command-name "${names[$k]}" "${commands[$k]}"); done
hyperfine -N --warmup 3 --runs "$runs" --export-json times.json --style none "${args[@]}" >/dev/null

python3 - times.json <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
median = {r["command"]: r["median"] * 1000 for r in results}
decode, encode = median["dmrconfig decode"], median["dmrconfig encode"]
print(f"{'command':<30} {'median ms':>10} {'vs peer':>8}")
for name, ms in median.items():
    peer = encode if ("write" in name or "encode" in name) else decode
    print(f"{name:<30} {ms:>10.2f} {ms / peer:>7.2f}x")
PY
