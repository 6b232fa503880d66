#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing. Quiet when
# everything is there already; safe to run again.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  libgtest-dev libgmock-dev
  libbenchmark-dev
  libcli11-dev
  nlohmann-json3-dev
  clang libclang-rt-dev
  # the Windows build (mingw-w64, widl with Wine's IDL files) and its tests under Wine
  g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev wine wine64
)

# Other packages instead, when named on the command line (make bench-peer names its own).
[ $# -gt 0 ] && packages=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
