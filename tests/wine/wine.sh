#!/usr/bin/env bash
# Runs the Windows build of the component under Wine, in a prefix of the build's own, with no
# display and no prompts (Wine's Mono and Gecko installers are switched off).
#
#   wine.sh PREFIX prefix                 a fresh prefix (an old one is removed first)
#   wine.sh PREFIX stop                   ends the prefix's wineserver
#   wine.sh PREFIX register DLL           regsvr32, then every registry entry checked exactly
#   wine.sh PREFIX unregister DLL         regsvr32 /u, then every entry checked gone
#   wine.sh PREFIX run EXE [ARGS...]      a Windows program
#   wine.sh PREFIX script VBS [FILES...]  a VBScript through cscript, given the files' Windows paths
#   wine.sh PREFIX compare NATIVE EXE     both programs' outputs, compared line by line
set -euo pipefail

prefix=$1
command=$2
shift 2

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export DISPLAY=
export WINEDLLOVERRIDES="mscoree,mshtml="
# The system code page comes from the locale: en_US gives Windows-1252.
export LANG=en_US.UTF-8
unset LC_ALL LANGUAGE
# The model file, when one is named, as the component under Wine opens it.
if [[ -n ${CPSERVICES_MODELS:-} && $command != prefix ]]; then
  CPSERVICES_MODELS=$(winepath -w "$CPSERVICES_MODELS")
  export CPSERVICES_MODELS
fi

CLSID_CP='{5974E7BB-89E2-11D6-BFA5-00C04F6B8C5D}'
CLSID_R9='{D7A9F2B0-F27B-4F0B-A2FC-680CBE33BAA9}'
LIBID='{FE5C1EB8-8912-11D6-BFA4-00C04F6B8C5D}'
IID='{5974E7BA-89E2-11D6-BFA5-00C04F6B8C5D}'
HKCR='HKEY_CLASSES_ROOT'

# The keys the component owns, and below them, line for line, what each must hold after
# registration: a key's own line, then "key|value name|data".
top_keys=(
  "Varnocpservices.CPServices.1" "Varnocpservices.CPServices"
  "Varnocpservices.R9CPServices.1" "Varnocpservices.R9CPServices"
  "CLSID\\$CLSID_CP" "CLSID\\$CLSID_R9"
)
expected_entries() {
  local module=$1
  cat <<EOT
$HKCR\\Varnocpservices.CPServices.1
$HKCR\\Varnocpservices.CPServices.1|(Default)|CPServices Class
$HKCR\\Varnocpservices.CPServices.1\\CLSID
$HKCR\\Varnocpservices.CPServices.1\\CLSID|(Default)|$CLSID_CP
$HKCR\\Varnocpservices.CPServices
$HKCR\\Varnocpservices.CPServices|(Default)|CPServices Class
$HKCR\\Varnocpservices.CPServices\\CLSID
$HKCR\\Varnocpservices.CPServices\\CLSID|(Default)|$CLSID_CP
$HKCR\\Varnocpservices.R9CPServices.1
$HKCR\\Varnocpservices.R9CPServices.1|(Default)|R9CPServices Class
$HKCR\\Varnocpservices.R9CPServices.1\\CLSID
$HKCR\\Varnocpservices.R9CPServices.1\\CLSID|(Default)|$CLSID_R9
$HKCR\\Varnocpservices.R9CPServices
$HKCR\\Varnocpservices.R9CPServices|(Default)|R9CPServices Class
$HKCR\\Varnocpservices.R9CPServices\\CLSID
$HKCR\\Varnocpservices.R9CPServices\\CLSID|(Default)|$CLSID_R9
$HKCR\\Varnocpservices.R9CPServices\\CurVer
$HKCR\\Varnocpservices.R9CPServices\\CurVer|(Default)|Varnocpservices.R9CPServices.1
$HKCR\\CLSID\\$CLSID_CP
$HKCR\\CLSID\\$CLSID_CP|(Default)|CPServices Class
$HKCR\\CLSID\\$CLSID_CP\\ProgID
$HKCR\\CLSID\\$CLSID_CP\\ProgID|(Default)|Varnocpservices.CPServices.1
$HKCR\\CLSID\\$CLSID_CP\\VersionIndependentProgID
$HKCR\\CLSID\\$CLSID_CP\\VersionIndependentProgID|(Default)|Varnocpservices.CPServices
$HKCR\\CLSID\\$CLSID_CP\\InprocServer32
$HKCR\\CLSID\\$CLSID_CP\\InprocServer32|(Default)|$module
$HKCR\\CLSID\\$CLSID_CP\\InprocServer32|ThreadingModel|both
$HKCR\\CLSID\\$CLSID_R9
$HKCR\\CLSID\\$CLSID_R9|(Default)|R9CPServices Class
$HKCR\\CLSID\\$CLSID_R9\\ProgID
$HKCR\\CLSID\\$CLSID_R9\\ProgID|(Default)|Varnocpservices.R9CPServices.1
$HKCR\\CLSID\\$CLSID_R9\\VersionIndependentProgID
$HKCR\\CLSID\\$CLSID_R9\\VersionIndependentProgID|(Default)|Varnocpservices.R9CPServices
$HKCR\\CLSID\\$CLSID_R9\\Programmable
$HKCR\\CLSID\\$CLSID_R9\\InprocServer32
$HKCR\\CLSID\\$CLSID_R9\\InprocServer32|(Default)|$module
$HKCR\\CLSID\\$CLSID_R9\\InprocServer32|ThreadingModel|Apartment
$HKCR\\CLSID\\$CLSID_R9\\TypeLib
$HKCR\\CLSID\\$CLSID_R9\\TypeLib|(Default)|$LIBID
EOT
}

# `reg query KEY /s` flattened: "key" for each key, "key|name|data" for each value.
flat_query() {
  wine reg query "$HKCR\\$1" /s 2>/dev/null | tr -d '\r' | awk '
    /^HKEY_/ { key = $0; print key; next }
    /^    / { sub(/^    /, ""); n = index($0, "    "); name = substr($0, 1, n - 1)
              rest = substr($0, n + 4); t = index(rest, "    ")
              print key "|" name "|" (t ? substr(rest, t + 4) : ""); next }'
}

key_exists() { wine reg query "$HKCR\\$1" >/dev/null 2>&1; }

fail() { echo "FAIL: $*"; exit 1; }

case $command in
  prefix)
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    echo "prefix ready: $prefix"
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    ;;
  register)
    dll=$(winepath -w "$1")
    wine regsvr32 /s "$dll" || fail "regsvr32 $dll"
    actual=$(for key in "${top_keys[@]}"; do flat_query "$key"; done)
    if ! diff -u <(expected_entries "$dll" | LC_ALL=C sort) <(echo "$actual" | LC_ALL=C sort); then
      fail "the registry entries differ from the expected ones (- expected, + found)"
    fi
    for key in "TypeLib\\$LIBID\\1.0" "TypeLib\\$LIBID\\1.0\\0\\win64" "Interface\\$IID"; do
      key_exists "$key" || fail "no key $HKCR\\$key"
    done
    flat_query "TypeLib\\$LIBID\\1.0" | grep -qxF "$HKCR\\TypeLib\\$LIBID\\1.0|(Default)|varnocpservices 1.0 Type Library" \
      || fail "type library help string"
    flat_query "TypeLib\\$LIBID\\1.0\\0\\win64" | grep -qxF "$HKCR\\TypeLib\\$LIBID\\1.0\\0\\win64|(Default)|$dll" \
      || fail "type library path"
    echo "registered: $(expected_entries "$dll" | wc -l) entries as expected, type library and interface registered"
    ;;
  unregister)
    dll=$(winepath -w "$1")
    wine regsvr32 /s /u "$dll" || fail "regsvr32 /u $dll"
    for key in "${top_keys[@]}" "TypeLib\\$LIBID" "Interface\\$IID"; do
      if key_exists "$key"; then fail "$HKCR\\$key is still there"; fi
    done
    key_exists "CLSID" || fail "$HKCR\\CLSID itself was removed"
    wine regsvr32 /s /u "$dll" || fail "a second regsvr32 /u"
    echo "unregistered: every entry removed"
    ;;
  run)
    wine "$@"
    ;;
  script)
    args=()
    for arg in "$@"; do args+=("$(winepath -w "$arg")"); done
    wine cscript //nologo "${args[@]}"
    ;;
  compare)
    native=$1
    windows=$2
    out="$prefix-$(basename "$native")"
    "$native" >"$out.native.txt"
    wine "$windows" | tr -d '\r' >"$out.windows.txt"
    if ! diff -u --label native "$out.native.txt" --label windows "$out.windows.txt"; then
      fail "$(basename "$native"): the portable build differs from Windows (- native, + Windows)"
    fi
    echo "$(wc -l <"$out.native.txt") lines identical"
    ;;
  *)
    echo "unknown command: $command" >&2
    exit 2
    ;;
esac
