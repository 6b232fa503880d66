#!/usr/bin/env bash
# cpsctl's commands as a script uses them: output, one-line errors, exit codes, and files that
# are written whole or not at all.
set -u
cpsctl=$(realpath "$1")
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

expect() {  # expect NAME EXIT-CODE PATTERN -- command...
  local name="$1" want="$2" pattern="$3"
  shift 4
  local out rc
  out=$("$@" 2>&1)
  rc=$?
  if [ "$rc" -ne "$want" ] || ! grep -qE -- "$pattern" <<<"$out"; then
    fail "$name: exit $rc (want $want), output:"
    echo "$out" | head -n 20
  fi
}

check() {  # check NAME command...: the command must succeed
  local name="$1"
  shift
  "$@" >/dev/null 2>&1 || fail "$name"
}

# ---- Commands that need no radio ------------------------------------------------------------

expect errors-130   0 '^ 130  0x80040982   Unpack failure\.$'  -- "$cpsctl" errors
expect errors-13    0 '^  13  0x8004090D  \(no message\)$'      -- "$cpsctl" errors
expect errors-count 0 '^ 135  0x80040987  Invalid RRO data\.$'  -- "$cpsctl" errors
expect range-207    0 '^field 207: minimum 100, maximum 6400, step 100$' -- "$cpsctl" range 207
expect range-91     0 '^field 91: minimum 0.025, maximum 3276.75, step 0.005$' -- "$cpsctl" range 91
expect range-none   1 '^error: Field not found\. \(0x80040968\)$' -- "$cpsctl" range 99999
# Fields without a range row say what checks them instead; a name may be several fields.
expect range-band   0 '^field 455 rx_frequency \(block 38 channel_list\): no range row; a frequency within the band of block 3' -- "$cpsctl" range rx_frequency
expect range-member 0 '^field 695 rx_frequency \(block 37 personalities\): no range row' -- "$cpsctl" range rx_frequency
expect range-choice 0 '^field 410 power .*no range row; choices "Low" \| "High" \| "Auto"$' -- "$cpsctl" range 410
expect range-alias  0 '^field 424 alias .*minimum 32, maximum 219, step 1; an alias: characters that survive packing' -- "$cpsctl" range alias
expect range-flag   0 '^field 5 block_5_enabled \(block 453 availability_flags\): no range row$' -- "$cpsctl" range 5
expect range-byname 0 '^field 2502 channel_spacing \(block 2018 channels\)' -- "$cpsctl" range channel_spacing --gen 2
expect range-noname 1 "^error: Field not found\. \(0x80040968\): no field of generation 1 is named 'bogus'$" -- "$cpsctl" range bogus

# fields: a block's table, by ID or name, for either generation.
expect fields-band   0 '^    455  rx_frequency  editable  a frequency within the band of block 3' -- "$cpsctl" fields 38
expect fields-header 0 '^    48  record_count  structural$' -- "$cpsctl" fields channel_list
expect fields-range  0 '^    96  power_level_1  read-only  range 1 to 163, step 0\.5' -- "$cpsctl" fields 3
expect fields-member 0 '^  member$' -- "$cpsctl" fields 37
expect fields-gen2   0 '^    2035  entry_count  structural$' -- "$cpsctl" fields 2018 --gen 2
expect fields-obd    0 '^    51  number_of_lists  structural$' -- "$cpsctl" fields 17
expect fields-custom 0 '^block 2006 alert_tones \(IDs 2006\): no field table$' -- "$cpsctl" fields 2006 --gen 2
expect fields-none   1 '^error: Block not supported\. \(0x8004096E\): generation 1 has no block 2018$' -- "$cpsctl" fields 2018
expect range-usage  2 'FIELD'                                 -- "$cpsctl" range
expect bad-command  2 '.'                                     -- "$cpsctl" frobnicate
for code in 0 1 2 3; do
  expect "help-exit-$code" 0 "^  $code  " -- "$cpsctl" --help
done

count=$("$cpsctl" errors | wc -l)
[ "$count" -eq 31 ] || fail "errors: $count lines, want 31"

# A model file that cannot be parsed makes every object creation fail, clearly. cpsctl uses the
# file beside it unless CPSERVICES_MODELS names another.
echo '{"gen1": ' >broken-models.json
echo '{}' >empty-models.json
expect models-broken 1 '^error: .* \(0x80004005\): check the model file' -- env CPSERVICES_MODELS=broken-models.json "$cpsctl" range 207
mkdir shipped && cp "$cpsctl" shipped/ && cp broken-models.json shipped/models.json
expect models-shipped 1 '\(0x80004005\)' -- env -u CPSERVICES_MODELS shipped/cpsctl range 207
expect models-user    0 '^field 207' -- env CPSERVICES_MODELS="$work/empty-models.json" shipped/cpsctl range 207

# ---- radio create ---------------------------------------------------------------------------

expect create        0 '^created radio\.json: generation 1, serial 100TAA0001' -- "$cpsctl" radio create radio.json --gen 1
expect create-other  0 'serial 100TAA0002' -- "$cpsctl" radio create other.json --gen 1 --serial 100TAA0002
expect create-serial 2 '^error: .*\(0x80070057\): .*serial number' -- "$cpsctl" radio create long.json --gen 1 --serial 12345678901
expect create-nogen  2 'gen'   -- "$cpsctl" radio create nogen.json
expect create-channels-0   2 '^error: .*\(0x80070057\): .*channel count must be 1 to 255, not 0' -- "$cpsctl" radio create none.json --gen 1 --channels 0
expect create-channels-256 2 'channel count must be 1 to 255, not 256' -- "$cpsctl" radio create many.json --gen 1 --channels 256
expect create-channels-abc 2 'channels' -- "$cpsctl" radio create abc.json --gen 1 --channels many
expect create-nodir  1 '^error: File exception\. \(0x8004097E\)' -- "$cpsctl" radio create missing/dir/radio.json --gen 1
# The factory options reach the radio's identity and information blocks.
"$cpsctl" radio create mobile.json --gen 1 --mobile --band UHF --version 0710 >/dev/null
"$cpsctl" read mobile.json -o mobile-codeplug.json >/dev/null
expect create-mobile  0 '^66  [a-z0-9_]+  "Mobile"  read-only$'    -- "$cpsctl" get mobile-codeplug.json 2 0 66
expect create-band    0 '^89  [a-z0-9_]+  "UHF"  structural$'       -- "$cpsctl" get mobile-codeplug.json 3 0 89
expect create-version 0 '^103  [a-z0-9_]+  "07\.10"  read-only$'  -- "$cpsctl" get mobile-codeplug.json 4 0 103
"$cpsctl" radio create full.json --gen 1 --channels 255 >/dev/null
"$cpsctl" read full.json -o full-codeplug.json >/dev/null
expect create-channels     0 '^81  [a-z0-9_]+  "255"  read-only$'    -- "$cpsctl" get full-codeplug.json 2 0 81
expect create-channel-last 0 '^424  [a-z0-9_]+  "CH 255"  editable$' -- "$cpsctl" get full-codeplug.json 38 254 424
"$cpsctl" radio create largest.json --gen 1 --full >/dev/null
"$cpsctl" read largest.json -o largest-codeplug.json >/dev/null
expect create-full-lists 0 '^block 37 personalities: 255 lists' -- "$cpsctl" get largest-codeplug.json 37
expect create-full-write 0 '^verified$'            -- "$cpsctl" write largest.json largest-codeplug.json --no-backup
expect create-full-usage 2 'excludes'              -- "$cpsctl" radio create x.json --gen 1 --full --channels 3
# Market classes 1 and 2 take the factory's class-1 model, which the shipped model file lists:
# the radio reads back with its Sel Call and SDT systems.
"$cpsctl" radio create class2.json --gen 1 --market-class 2 >/dev/null
"$cpsctl" read class2.json -o class2-codeplug.json >/dev/null
expect create-class-model  0 '^84  [a-z0-9_]+  "M1CLASS101 *"'  -- "$cpsctl" get class2-codeplug.json 3 0 84
expect create-class-region 0 '^99  [a-z0-9_]+  "Japan"'         -- "$cpsctl" get class2-codeplug.json 3 0 99
expect create-class-flag   0 '^759  [a-z0-9_]+  "1"  structural$'        -- "$cpsctl" get class2-codeplug.json 453 0 759
expect create-class-sdt    0 '^block 761 sdt_systems: 1 entry$' -- "$cpsctl" get class2-codeplug.json 761
expect create-class-3      2 'market-class'         -- "$cpsctl" radio create class3.json --gen 1 --market-class 3
"$cpsctl" set class2-codeplug.json 759 0 874="Sel Cal" -o class2-selcal.json >/dev/null
expect create-class-write  0 '^verified$'           -- "$cpsctl" write class2.json class2-selcal.json --no-backup
for f in long.json nogen.json none.json many.json abc.json class3.json; do [ ! -e "$f" ] || fail "create: $f left behind"; done

# ---- read, and the codeplug file ------------------------------------------------------------

touch -d 2020-01-01 radio.json
expect read-file 0 '^read radio\.json into codeplug\.json$' -- "$cpsctl" read radio.json -o codeplug.json
[ "$(date -r radio.json +%Y)" = 2020 ] || fail "read: the radio file was rewritten"
"$cpsctl" read radio.json >stdout.json 2>read.err || fail "read to standard output"
cmp -s codeplug.json stdout.json || fail "read: standard output and -o differ"
[ ! -s read.err ] || fail "read: wrote to standard error without a terminal: $(cat read.err)"
check read-json python3 -c '
import json, sys
d = json.load(open("codeplug.json"))
assert d["generation"] == 1
ids = [b["id"] for b in d["blocks"]]
assert len(ids) == len(set(ids)) and {1, 2, 3, 4, 453, 454} <= set(ids), ids
for b in d["blocks"]:
    assert b["kind"] in ("fields", "block", "lists")
'

expect read-missing 1 '^error: File cannot be opened\. \(0x8004097C\): radio .nowhere\.json.' -- "$cpsctl" read nowhere.json
echo '{"generation": 1}' >not-a-radio.json
expect read-invalid 1 '^error: Invalid data\. \(0x8004096B\): ' -- "$cpsctl" read not-a-radio.json
# A read that fails leaves no output file, and an existing one as it was.
expect read-fails 1 '^error: Unspecified error\. \(0x80004005\): radio .radio\.json.$' -- "$cpsctl" read radio.json -o failed.json --fail ioctl:1:0x80004005
[ ! -e failed.json ] || fail "read: a failed read left failed.json"
cp codeplug.json kept.json
expect read-fails-kept 1 '^error: .* \(0x[0-9A-F]{8}\): radio' -- "$cpsctl" read radio.json -o kept.json --fail read:1:0x80004005
cmp -s codeplug.json kept.json || fail "read: a failed read changed an existing output file"
[ -z "$("$cpsctl" read radio.json --fail ioctl:1:0x80004005 2>/dev/null)" ] || fail "read: a failed read printed a codeplug"
expect read-badfail 2 'read\|write\|ioctl' -- "$cpsctl" read radio.json --fail bogus:1:5

# Load then save gives the same file, byte for byte (set writes back what it loaded).
current=$("$cpsctl" get codeplug.json 4 0 104 | sed -nE '1s/^104  [a-z0-9_]+  "(.*)"  [a-z-]+$/\1/p')
expect roundtrip 0 '^set 1 field of block 4, entry 0 in again\.json$' -- "$cpsctl" set codeplug.json 4 0 "104=$current" -o again.json
cmp -s codeplug.json again.json || fail "round trip: load then save changed the codeplug"

# ---- get ------------------------------------------------------------------------------------

expect get-block   0 '^block 4 programming_record: 1 entry$'                -- "$cpsctl" get codeplug.json 4
expect get-rows    0 '^    103  [a-z0-9_]+  "07\.20"  read-only$'            -- "$cpsctl" get codeplug.json 4
expect get-fields  0 '^block 453 availability_flags: [0-9]+ fields$'        -- "$cpsctl" get codeplug.json 453
expect get-field   0 '^83  [a-z0-9_]+  "100TAA0001"  read-only$'             -- "$cpsctl" get codeplug.json 3 0 83
expect get-index   0 '^84  [a-z0-9_]+  "M1PORT00001     "  read-only$'       -- "$cpsctl" get codeplug.json 3 0 84
expect get-nofield 1 '^error: Field not found\. \(0x80040968\): block 4, entry 0, field 999$' -- "$cpsctl" get codeplug.json 4 0 999
expect get-noentry 1 '^error: Invalid entry/list index\. \(0x80040969\): block 4, entry 3, field 104$' -- "$cpsctl" get codeplug.json 4 3 104
expect get-noblock 1 '^error: Block not supported\. \(0x8004096E\): block 7$' -- "$cpsctl" get codeplug.json 7
expect get-nofile  1 '^error: File cannot be opened\. \(0x8004097C\): codeplug .nowhere\.json.' -- "$cpsctl" get nowhere.json 4
expect get-usage   2 'BLOCK' -- "$cpsctl" get codeplug.json

# Files that are not codeplugs are refused naming the place.
printf '{"generation": 1, "blocks": [{"id": 4, "kind": "block", "record": {"header": [], "entries": [[[103, "07.20"]]]}}]}' >short-row.json
expect file-row   1 '^error: Invalid data\. \(0x8004096B\): codeplug .short-row\.json.: blocks\[0\]\.record\.entries\[0\]\[0\]: must be a field row' -- "$cpsctl" get short-row.json 4
printf '{"generation": 1, "blocks": [{"id": 6, "kind": "lists", "record": {"header": [], "lists": [{"header": [], "entries": [[[1, "x", 300]]]}]}}]}' >bad-list.json
expect file-list  1 'blocks\[0\]\.record\.lists\[0\]\.entries\[0\]\[0\]\[2\]: must be a whole number from 0 to 255' -- "$cpsctl" get bad-list.json 6
printf '{"generation": 1, "blocks": [{"id": 4, "kind": "table", "record": []}]}' >bad-kind.json
expect file-kind  1 'blocks\[0\]\.kind: must be "fields", "block" or "lists"' -- "$cpsctl" get bad-kind.json 4
printf '{"generation": 1, "blocks": [], "extra": 1}' >extra-key.json
expect file-key   1 'unknown key "extra"' -- "$cpsctl" get extra-key.json 4
printf '{"generation": 1, "blocks": [' >truncated.json
expect file-json  1 'not valid JSON' -- "$cpsctl" get truncated.json 4
# A block the component refuses is named, and so is the value it refuses.
python3 - <<'EOF'
import json
d = json.load(open("codeplug.json"))
for b in d["blocks"]:
    if b["id"] == 4:
        for row in b["record"]["entries"][0]:
            if row[0] == 104:
                row[1] = "Nobody"
json.dump(d, open("bad-value.json", "w"))
EOF
expect file-value 1 '^error: Choice not found in the choice table\. \(0x8004096C\): codeplug .bad-value\.json., block 4, entry 0, field 104 = "Nobody"$' -- "$cpsctl" get bad-value.json 4

# What the object would not keep, or could only take by wrapping a number round, is refused
# naming the place in the file; duplicate rows stay allowed. A refused record says why.
python3 - <<'EOF'
import json
def variant(name, change):
    d = json.load(open("codeplug.json"))
    blocks = {b["id"]: b for b in d["blocks"]}
    change(d, blocks)
    json.dump(d, open(name, "w"))
def block4(blocks): return blocks[4]["record"]["entries"][0]
variant("kept-not.json", lambda d, b: block4(b).append([9999, "1", 0]))
variant("kept-dup.json", lambda d, b: block4(b).append([104, "Field Tool", 0]))
variant("id-wrap.json", lambda d, b: block4(b).append([18446744073709551615, "1", 0]))
variant("id-wide.json", lambda d, b: block4(b).append([4294967300, "1", 0]))
variant("gen-other.json", lambda d, b: d.update(generation=2))
variant("row-missing.json", lambda d, b: block4(b).pop([r[0] for r in block4(b)].index(104)))
variant("count-wrong.json", lambda d, b: b[38]["record"]["entries"].pop())
variant("entries-extra.json", lambda d, b: b[4]["record"]["entries"].append(block4(b)))
variant("value-long.json", lambda d, b: [r.__setitem__(1, "X" * 500) for r in block4(b) if r[0] == 104])
EOF
position=$(python3 -c 'import json; print([b["id"] for b in json.load(open("codeplug.json"))["blocks"]].index(4))')
rows=$(python3 -c 'import json; print(len([b for b in json.load(open("codeplug.json"))["blocks"] if b["id"] == 4][0]["record"]["entries"][0]))')
expect file-not-kept 1 "^error: Invalid data\. \(0x8004096B\): codeplug .kept-not\.json.: blocks\[$position\]\.record\.entries\[0\]\[$rows\]: block 4 does not keep field 9999" -- "$cpsctl" get kept-not.json 4
# A write finds the row the object did not keep too (its copy of the radio reads back without
# it), and writes nothing.
cp radio.json radio-unkept.json
expect write-not-kept 1 "^error: Invalid data\. \(0x8004096B\): codeplug .kept-not\.json.: blocks\[$position\]\.record\.entries\[0\]\[$rows\]: block 4 does not keep field 9999" -- "$cpsctl" write radio.json kept-not.json --no-backup
cmp -s radio.json radio-unkept.json || fail "write: a codeplug with a row the object does not keep changed the radio"
expect file-dup-kept 0 '^104  [a-z0-9_]+  "[A-Za-z ]+"  read-only$' -- "$cpsctl" get kept-dup.json 4 0 104
expect file-id-wrap  1 "blocks\[$position\]\.record\.entries\[0\]\[$rows\]\[0\]: must be a whole number from -2147483648" -- "$cpsctl" get id-wrap.json 4
expect file-id-wide  1 "blocks\[$position\]\.record\.entries\[0\]\[$rows\]\[0\]: must be a whole number" -- "$cpsctl" get id-wide.json 4
expect file-gen      1 "^error: Block not supported\. \(0x8004096E\): codeplug .gen-other\.json.: blocks\[0\]\.id: a generation-2 codeplug has no block" -- "$cpsctl" write radio.json gen-other.json
expect file-missing  1 "^error: Field not found\. \(0x80040968\): codeplug .row-missing\.json.: blocks\[$position\]\.record\.entries\[0\]: field 104 is missing$" -- "$cpsctl" get row-missing.json 4
expect file-count    1 '^error: Invalid data\. \(0x8004096B\): codeplug .count-wrong\.json.: blocks\[[0-9]+\]\.record\.header\[[0-9]+\]: field 48 = "[0-9]+" does not match the [0-9]+ that follow it$' -- "$cpsctl" get count-wrong.json 38
expect file-entries  1 "blocks\[$position\]\.record\.entries: 2 entries, block 4 holds 1$" -- "$cpsctl" get entries-extra.json 4
expect file-long     1 'field 104 = "X{40}\.\.\."$' -- "$cpsctl" get value-long.json 4

# ---- set: all or nothing --------------------------------------------------------------------

cp codeplug.json edited.json
expect set-one     0 '^set 1 field of block 4, entry 0 in edited\.json$' -- "$cpsctl" set edited.json 4 0 "104=Depot Tool"
expect set-shown   0 '^104  [a-z0-9_]+  "Depot Tool"  read-only$' -- "$cpsctl" get edited.json 4 0 104
expect set-text    0 '^set 1 field' -- "$cpsctl" set edited.json 3 0 "93=Café" -o text.json
expect set-utf8    0 '^93  [a-z0-9_]+  "Café"  structural$' -- "$cpsctl" get text.json 3 0 93
expect set-1252    0 '^93  [a-z0-9_]+  "€ – ‰"  structural$' -- sh -c "'$cpsctl' set edited.json 3 0 '93=€ – ‰' -o euro.json >/dev/null && '$cpsctl' get euro.json 3 0 93"
cp edited.json before-set.json
expect set-choice  1 '^error: Choice not found in the choice table\. \(0x8004096C\): block 4, entry 0, field 104 = "Bogus"$' -- "$cpsctl" set edited.json 4 0 "104=Field Tool" 104=Bogus
expect set-range   1 '^error: .* \(0x8004....\): block 3, entry 0, field 96 = "200"; valid range 1 to 163, step 0\.5$' -- "$cpsctl" set edited.json 3 0 96=200
expect set-field   1 '^error: Field not found\. \(0x80040968\): block 4, entry 0, field 999$' -- "$cpsctl" set edited.json 4 0 999=1
expect set-syntax  2 'FIELD=VALUE' -- "$cpsctl" set edited.json 4 0 104
expect set-nofield 2 'FIELD=VALUE' -- "$cpsctl" set edited.json 4 0 =CPS
expect set-index   2 'INDEX' -- "$cpsctl" set edited.json 4 256 104=CPS
# Text the codeplug's code page (Windows-1252) cannot hold is refused, not stored as "?".
expect set-emoji   1 '^error: Invalid data\. \(0x8004096B\): block 3, entry 0, field 93: character 4 .😀. \(U\+1F600\) has no Windows-1252 byte' -- "$cpsctl" set edited.json 3 0 "93=Caf😀"
expect set-cjk     1 'field 95: character 1 .日. \(U\+65E5\)' -- "$cpsctl" set edited.json 3 0 "93=Café" "95=日本"
expect set-c1      1 'field 93: character 2 \(U\+0080\) has no' -- "$cpsctl" set edited.json 3 0 $'93=A\xc2\x80'
cmp -s edited.json before-set.json || fail "set: a refused set changed the codeplug"
expect set-output  0 'in copy\.json$' -- "$cpsctl" set edited.json 4 0 104=Tuner -o copy.json
cmp -s edited.json before-set.json || fail "set -o: changed its input"
expect set-copy    0 '^104  [a-z0-9_]+  "Tuner"  read-only$' -- "$cpsctl" get copy.json 4 0 104
expect set-nodir   1 '^error: File exception\. \(0x8004097E\): .missing/copy\.json.' -- "$cpsctl" set edited.json 4 0 104=Tuner -o missing/copy.json

# ---- names, and the list operations ---------------------------------------------------------

expect blocks-list    0 '^    38  channel_list +32 entries$' -- "$cpsctl" blocks codeplug.json
expect blocks-lists   0 '^    37  personalities +1 list, 20 members$' -- "$cpsctl" blocks codeplug.json
expect get-entry      0 '^    455  rx_frequency  "146\.000000"  editable$' -- "$cpsctl" get codeplug.json 38 0
expect get-byname     0 '^455  rx_frequency  "146\.000000"  editable$' -- "$cpsctl" get codeplug.json 38 0 rx_frequency
expect get-choices    0 '^  choices: "Low" \| "High" \| "Auto"$' -- "$cpsctl" get codeplug.json 38 0 power
expect get-unnamed    0 '^380  field_380  ' -- "$cpsctl" get codeplug.json 38 0 field_380
expect get-noname     1 "^error: Field not found\. \(0x80040968\): block 38 has no field named 'bogus'" -- "$cpsctl" get codeplug.json 38 0 bogus
expect get-member     0 '^    member 3$' -- "$cpsctl" get codeplug.json 37 0 --member 3
expect get-member-one 0 '^695  rx_frequency  "[0-9.]+"  editable$' -- "$cpsctl" get codeplug.json 37 0 rx_frequency --member 3
expect get-nomember   1 '^error: Invalid entry/list index\. \(0x80040969\): block 37, list 0, member 20$' -- "$cpsctl" get codeplug.json 37 0 --member 20
cp codeplug.json named.json
expect set-byname     0 '^set 2 fields of block 38, entry 1 in named\.json$' -- "$cpsctl" set named.json 38 1 rx_frequency=148.5125 power=Low
expect set-byname-get 0 '^455  rx_frequency  "148\.5125(00)?"  editable$' -- "$cpsctl" get named.json 38 1 455
expect set-member     0 'member 2 in named\.json$' -- "$cpsctl" set named.json 37 0 tx_frequency=147.5 --member 2
expect set-member-get 0 '^696  tx_frequency  "147\.5' -- "$cpsctl" get named.json 37 0 696 --member 2
cp named.json before-names.json
expect set-noname     1 "has no field named 'bogus'" -- "$cpsctl" set named.json 38 1 power=High bogus=1
cmp -s named.json before-names.json || fail "set: a refused name changed the codeplug"

expect add-list       0 '^added list 1 to block 12 in named\.json$' -- "$cpsctl" add named.json 12
expect add-member     0 '^added member [0-9]+ to block 12, list 1 in named\.json$' -- "$cpsctl" add named.json 12 --list 1
expect move-list      0 '^moved block 12, list 1 to 0 in named\.json$' -- "$cpsctl" move named.json 12 1 0
expect move-member    0 '^moved block 12, list 0, member 1 to 0 in named\.json$' -- "$cpsctl" move named.json 12 1 0 --list 0
# The component moves nothing for an index past the last and succeeds; cpsctl refuses it.
cp named.json named-before.json
expect move-past-entry  1 'block 38 has 32 entries: no entry 40 to move$' -- "$cpsctl" move named.json 38 40 1
expect move-past-member 1 'block 12, list 0 has [0-9]+ members?: no member 200 to move$' -- "$cpsctl" move named.json 12 0 200 --list 0
cmp -s named.json named-before.json || fail "move-past: the codeplug changed"
expect delete-member  0 '^deleted block 12, list 0, member 0 in named\.json$' -- "$cpsctl" delete named.json 12 0 --member 0
expect delete-list    0 '^deleted block 12, list 0 in named\.json$' -- "$cpsctl" delete named.json 12 0
expect add-after      0 '^block 12 scan_lists: 1 list$' -- "$cpsctl" get named.json 12
cp named.json before-lists.json
expect add-full       1 '^error: Quantity above the maximal quantity\. \(0x80040975\): block 38$' -- "$cpsctl" add named.json 38
expect add-members    1 '^error: Block not supported\. \(0x8004096E\): block 37, list 0$' -- "$cpsctl" add named.json 37 --list 0
expect delete-bad     1 '^error: Invalid entry/list index\. \(0x80040969\): block 38, entry 99$' -- "$cpsctl" delete named.json 38 99
expect delete-usage   2 'INDEX' -- "$cpsctl" delete named.json 38
cmp -s named.json before-lists.json || fail "list operations: a refused one changed the codeplug"
expect add-output     0 'to block 12 in added\.json$' -- "$cpsctl" add named.json 12 -o added.json
cmp -s named.json before-lists.json || fail "add -o: changed its input"

# ---- write: backup, write, read back --------------------------------------------------------

out=$("$cpsctl" write radio.json edited.json 2>&1)
rc=$?
[ "$rc" -eq 0 ] && grep -q '^verified$' <<<"$out" || fail "write: exit $rc, output: $out"
backup=$(sed -n 's/^backup of the radio.s codeplug: //p' <<<"$out")
[ -n "$backup" ] && [ -f "$backup" ] || fail "write: no backup named in: $out"
case "$backup" in radio.backup-*.json) ;; *) fail "write: backup name $backup" ;; esac
cmp -s "$backup" codeplug.json || fail "write: the backup is not what the radio held before"
expect write-done  0 '^104  [a-z0-9_]+  "Depot Tool"  read-only$' -- sh -c "'$cpsctl' read radio.json -o written.json && '$cpsctl' get written.json 4 0 104"
expect write-stamp 0 '^105  [a-z0-9_]+  "[0-9]{2}-[0-9]{2}-[0-9]{4}"  read-only$' -- "$cpsctl" get written.json 4 0 105

# ---- the pre-flight check: nothing reaches the radio that it would not read back as written --

same_memory() {  # same_memory A B: the two radio files hold the same memory
  python3 -c '
import json, sys
a, b = (json.load(open(f))["memory"] for f in sys.argv[1:3])
sys.exit(a != b)' "$1" "$2"
}

# refused NAME RADIO CODEPLUG FINDING [clone]: refused with exit 1, the finding listed, the radio
# untouched and no backup left.
refused() {
  local name="$1" radio="$2" codeplug="$3" finding="$4" command="${5:-write}"
  cp "$radio" preflight-before.json
  local backups
  backups=$(ls ./*.backup-*.json 2>/dev/null | wc -l)
  expect "$name" 1 "^  $finding\$" -- "$cpsctl" "$command" "$radio" "$codeplug"
  expect "$name-line" 1 '^error: The radio would not read the codeplug back as written\. \(0x80004005\): [0-9]+ findings? \(listed above\); nothing was written \(--force writes anyway\)$' -- "$cpsctl" "$command" "$radio" "$codeplug"
  same_memory "$radio" preflight-before.json || fail "$name: a refused write changed the radio"
  [ "$(ls ./*.backup-*.json 2>/dev/null | wc -l)" -eq "$backups" ] || fail "$name: a refused write left a backup"
}

# Block 3 lives outside the codeplug image: the radio keeps its own.
"$cpsctl" set written.json 3 0 86=CPS -o unwritable.json >/dev/null
refused preflight-identity radio.json unwritable.json 'block 3 entry 0 field 86: meant "CPS", the radio would hold "Factory"'
refused preflight-clone other.json unwritable.json 'block 3 entry 0 field 86: meant "CPS", the radio would hold "Factory"' clone
# An alias keeps seven bits per character and eight characters.
"$cpsctl" set written.json 38 0 "424=CHÄ" -o alias-high.json >/dev/null
refused preflight-alias-bit radio.json alias-high.json 'block 38 entry 0 field 424: meant "CHÄ", the radio would hold "CHD"'
"$cpsctl" set written.json 38 0 424=ABCDEFGHIJ -o alias-long.json >/dev/null
refused preflight-alias-long radio.json alias-long.json 'block 38 entry 0 field 424: meant "ABCDEFGHIJ", the radio would hold "ABCDEFGH"'
# A frequency is stored as whole steps above the band's base: a part of a hertz is lost (one off
# the steps by more is refused by the write itself).
"$cpsctl" set written.json 38 1 455=146.5062504 -o sub-hertz.json >/dev/null
refused preflight-step radio.json sub-hertz.json 'block 38 entry 1 field 455: meant "146\.5062504", the radio would hold "146\.506250"'
expect preflight-off-step 1 '^error: Invalid Frequency\. \(0x80040978\): radio .radio\.json.$' -- sh -c "'$cpsctl' set written.json 38 1 455=146.5071 -o off-step.json >/dev/null && '$cpsctl' write radio.json off-step.json"
# A VHF codeplug into a UHF radio of the model: its frequencies would land in the radio's band.
"$cpsctl" radio create uhf.json --gen 1 --band UHF --serial 100TAA0005 >/dev/null
refused preflight-band uhf.json written.json 'block 38 entry 0 field 455: meant "146\.000000", the radio would hold "413\.000000"'
# An option board of 255 members a list: the count of the walk (field 48, twice the members)
# keeps its low byte, and the radio reads 127 members back.
python3 -c '
open("wide.obd", "wb").write(b"040000" + bytes(794) + bytes([255, 1]) + bytes(255))'
"$cpsctl" import-obd written.json wide.obd -o wide-board.json >/dev/null
refused preflight-board radio.json wide-board.json 'block 17 list 0: meant 255 members, the radio would hold 127'
# A second-generation radio keeps its own block 2003 but for field 2058.
"$cpsctl" radio create r9-pre.json --gen 2 >/dev/null
"$cpsctl" read r9-pre.json -o r9-pre-codeplug.json >/dev/null
"$cpsctl" set r9-pre-codeplug.json 2003 0 2057=ABC -o r9-unwritable.json >/dev/null
refused preflight-gen2 r9-pre.json r9-unwritable.json 'block 2003 entry 0 field 2057: meant "ABC", the radio would hold ""'
# --force writes anyway, with the findings as warnings; the read-back then expects what the
# check found the radio would hold.
expect force-warning 0 '^warning: the radio would not hold alias-long\.json as meant:$' -- "$cpsctl" write radio.json alias-long.json --force --no-backup
expect force-written 0 '^verified$' -- "$cpsctl" write radio.json alias-long.json --force --no-backup
expect force-radio   0 '^424  alias  "ABCDEFGH"  editable$' -- sh -c "'$cpsctl' read radio.json -o forced.json && '$cpsctl' get forced.json 38 0 424"
expect force-clone   0 '^  block 3 entry 0 field 86: meant' -- "$cpsctl" clone other.json unwritable.json --force --no-backup
"$cpsctl" write radio.json written.json --no-backup >/dev/null || fail "write: the radio back as it was"

# ---- the read-back compares values, not texts -----------------------------------------------

"$cpsctl" set written.json 38 0 455=146.52 456=146.52 -o short-number.json >/dev/null
expect verify-number 0 '^verified$' -- "$cpsctl" write radio.json short-number.json --no-backup
expect verify-number-radio 0 '^455  rx_frequency  "146\.520000"  editable$' -- sh -c "'$cpsctl' read radio.json -o number.json && '$cpsctl' get number.json 38 0 455"
# A radio that was written but cannot be read back: exit 3. The fifteenth read is the first of
# the read-back (the destination's read and the write flow's own come first).
expect verify-unreadable 3 "^error: Unspecified error\. \(0x80004005\): radio .radio\.json. was written, but reading it back failed$" -- "$cpsctl" write radio.json written.json --no-backup --fail read:15:0x80004005
expect write-noverify 0 '^wrote written\.json to radio\.json$' -- "$cpsctl" write radio.json written.json --no-backup --no-verify

# A radio that fails none of its calls takes the copy the check wrote into; one set to fail a
# call (here one the write never makes) gets a write of its own. Both leave the same radio. A
# pair of writes that straddles the turn of a minute differs in its stamp, and is made again.
"$cpsctl" set written.json 38 0 424=TAKEN -o taken-codeplug.json >/dev/null
for attempt in 1 2; do
  cp radio.json taken.json
  cp radio.json own.json
  "$cpsctl" write taken.json taken-codeplug.json --no-backup --no-verify >/dev/null 2>&1
  "$cpsctl" write own.json taken-codeplug.json --no-backup --no-verify --fail ioctl=NOSUCHCOMMAND:1:0x80004005 >/dev/null 2>&1
  if python3 -c '
import json, sys
sys.exit(json.load(open("taken.json")) != json.load(open("own.json")))'; then break; fi
  [ "$attempt" -eq 2 ] && fail "write: the check's copy is not the radio a write of its own leaves"
done
same_memory taken.json radio.json && fail "write: the copy did not reach the radio"

# Failures: a radio with a low battery, a write that stores part of its bytes.
python3 -c '
import json; r = json.load(open("radio.json")); r["identity"]["low_battery"] = True
json.dump(r, open("weak.json", "w"), indent=2)'
cp weak.json weak-before.json
expect write-battery 1 '^error: Battery level is too low to write/clone\. \(0x80040981\): radio .weak\.json.$' -- "$cpsctl" write weak.json edited.json --no-backup
python3 -c '
import json
a, b = json.load(open("weak.json")), json.load(open("weak-before.json"))
assert a["memory"] == b["memory"], "memory changed"' || fail "write: a refused write changed the radio's memory"
expect write-partial 1 '^error: Unspecified error\. \(0x80004005\): radio .radio\.json.$' -- "$cpsctl" write radio.json edited.json --fail write:1:0x80004005:64
"$cpsctl" radio create foreign.json --gen 1 --model M1PORT00002 >/dev/null
expect write-model 1 '^error: Source and destination model numbers are not the same\. \(0x8004097A\)' -- "$cpsctl" write foreign.json edited.json
# Every write keeps a backup of its own, even two in the same second.
backups=$(ls radio.backup-*.json | wc -l)
"$cpsctl" write radio.json edited.json >/dev/null 2>&1 && "$cpsctl" write radio.json edited.json >/dev/null 2>&1 ||
  fail "write: two writes in a row"
[ "$(ls radio.backup-*.json | wc -l)" -eq $((backups + 2)) ] || fail "write: two writes did not keep two backups"
expect write-nocodeplug 1 '^error: File cannot be opened\. \(0x8004097C\): codeplug' -- "$cpsctl" write radio.json nowhere.json
# Without a readable radio there is no backup, and no write unless asked for.
"$cpsctl" radio create blank.json --gen 1 >/dev/null
python3 -c '
import json; r = json.load(open("blank.json")); r["memory"] = []
json.dump(r, open("blank.json", "w"))'
expect write-nobackup 1 'cannot back up the radio .blank\.json. \(--no-backup' -- "$cpsctl" write blank.json edited.json
ls blank.backup-* >/dev/null 2>&1 && fail "write: a failed backup left a file"

# ---- clone, info, reset ---------------------------------------------------------------------

"$cpsctl" read radio.json -o source.json >/dev/null
expect clone      0 '^verified$' -- "$cpsctl" clone other.json source.json
expect clone-done 0 '^104  [a-z0-9_]+  "Depot Tool"  read-only$' -- sh -c "'$cpsctl' read other.json -o cloned.json && '$cpsctl' get cloned.json 4 0 104"
expect clone-own-serial 0 '^83  [a-z0-9_]+  "100TAA0002"  read-only$' -- "$cpsctl" get cloned.json 3 0 83
expect clone-same 1 '^error: Destination device has the same serial number as the source\. \(0x80040979\)' -- "$cpsctl" clone radio.json source.json
ls other.backup-*.json >/dev/null 2>&1 || fail "clone: no backup of the destination"

expect info-same  0 '^same serial number: yes$' -- "$cpsctl" info radio.json source.json
expect info-model 0 '^same model: yes$'         -- "$cpsctl" info other.json source.json
expect info-other 0 '^same serial number: no$'  -- "$cpsctl" info other.json source.json
expect info-major 0 '^radio major version: 7$'  -- "$cpsctl" info radio.json source.json
expect info-fail  1 '^error: Unexpected error\. \(0x8004096F\)' -- "$cpsctl" info radio.json source.json --fail ioctl=QUERYRADIOSERIALNUMBER:1:0x80004005

before=$(python3 -c 'import json; print(json.load(open("other.json"))["reset_count"])')
expect reset 0 "^reset other\.json \(reset $((before + 1)) times? so far\)$" -- "$cpsctl" reset other.json
after=$(python3 -c 'import json; print(json.load(open("other.json"))["reset_count"])')
[ "$after" -eq $((before + 1)) ] || fail "reset: the radio file counts $after resets, want $((before + 1))"
expect reset-fail 1 '^error: .*\(0x80004005\)' -- "$cpsctl" reset other.json --fail ioctl=RESETRADIO:1:0x80004005

# ---- import-obd -----------------------------------------------------------------------------

python3 -c '
import sys
data = bytearray(b"040000") + bytearray(794)
data += bytes([2, 1, 17, 34])          # 2 members in 1 list
open("board.obd", "wb").write(data)
open("short.obd", "wb").write(bytes(799))'
expect obd-missing 1 '^error: File cannot be opened\. \(0x8004097C\): option board file .nowhere\.obd.$' -- "$cpsctl" import-obd codeplug.json nowhere.obd -o imported.json
expect obd-short   1 '^error: Invalid Option Board File\. \(0x8004097F\)' -- "$cpsctl" import-obd codeplug.json short.obd -o imported.json
[ ! -e imported.json ] || fail "import-obd: a failed import left imported.json"
expect obd-import  0 '^imported board\.obd into imported\.json$' -- "$cpsctl" import-obd codeplug.json board.obd -o imported.json
expect obd-block   0 '^block 17 option_board: 1 list$' -- "$cpsctl" get imported.json 17
expect obd-member  0 '^    member 1$'     -- "$cpsctl" get imported.json 17
expect obd-value   0 '^      475  [a-z0-9_]+  "34"  structural$' -- "$cpsctl" get imported.json 17
expect obd-list    0 '^475  [a-z0-9_]+  "34"  structural$'       -- "$cpsctl" get imported.json 17 0 475
expect obd-field-id 0 '^475  member_byte  "34"  structural$' -- "$cpsctl" get imported.json 17 0 field_475
# The imported board reaches the radio.
expect obd-write   0 '^verified$'           -- "$cpsctl" write radio.json imported.json --no-backup

# ---- the second generation -----------------------------------------------------------------

expect gen2-create   0 '^created r9\.json: generation 2, serial 200TAA0001, model M2PORT00001, codeplug version 04\.10$' -- "$cpsctl" radio create r9.json --gen 2
expect gen2-other    0 'serial 200TAA0002, model M2MOBILE0001' -- "$cpsctl" radio create r9-other.json --gen 2 --serial 200TAA0002 --model M2MOBILE0001 --channels 100
expect gen2-band     2 '^error: .*: --band does not apply to a radio of generation 2' -- "$cpsctl" radio create r9-x.json --gen 2 --band UHF
expect gen2-full     2 '\-\-full does not apply'             -- "$cpsctl" radio create r9-x.json --gen 2 --full
expect gen2-channels 2 'channel count must be 1 to 100, not 101' -- "$cpsctl" radio create r9-x.json --gen 2 --channels 101
expect gen2-version  2 'NN\.NN up to 04\.99'                   -- "$cpsctl" radio create r9-x.json --gen 2 --version 0720
[ ! -e r9-x.json ] || fail "gen2 create: a refused radio was written"

expect gen2-read 0 '^read r9\.json into r9-codeplug\.json$' -- "$cpsctl" read r9.json -o r9-codeplug.json
check gen2-json python3 -c '
import json
d = json.load(open("r9-codeplug.json"))
assert d["generation"] == 2
ids = [b["id"] for b in d["blocks"]]
assert ids[0] == 2003 and {2002, 2027, 2028, 2018, 2017, 2867} <= set(ids), ids
assert not set(ids) & {2006, 2015, 2019, 2021, 2025}, ids
'
expect gen2-serial  0 '^2049  [a-z0-9_]+  "32303054414130303031"  editable$' -- "$cpsctl" get r9-codeplug.json 2003 0 2049
expect gen2-block   0 '^block 2018 channels: 16 entries$'         -- "$cpsctl" get r9-codeplug.json 2018
expect gen2-byname  0 '^2502  channel_spacing  "[0-9.]+"  editable$' -- "$cpsctl" get r9-codeplug.json 2018 0 channel_spacing
expect gen2-blocks  0 '^  2018  channels +16 entries$' -- "$cpsctl" blocks r9-codeplug.json
"$cpsctl" set r9-codeplug.json 2018 0 2505=High -o r9-again.json >/dev/null
cmp -s r9-codeplug.json r9-again.json || fail "gen2 round trip: load then save changed the codeplug"
expect gen2-set     0 '^set 2 fields of block 2018, entry 1 in r9-codeplug\.json$' -- "$cpsctl" set r9-codeplug.json 2018 1 2505=High 2516=131.800000
expect gen2-refused 1 '^error: Choice not found in the choice table\. \(0x8004096C\): block 2018, entry 1, field 2505 = "Medium"$' -- "$cpsctl" set r9-codeplug.json 2018 1 2505=Medium
"$cpsctl" set r9-codeplug.json 2018 1 2516=131.8 >/dev/null
expect gen2-write   0 '^verified$' -- "$cpsctl" write r9.json r9-codeplug.json
expect gen2-written 0 '^2516  [a-z0-9_]+  "131\.800000"  editable$' -- sh -c "'$cpsctl' read r9.json -o r9-written.json && '$cpsctl' get r9-written.json 2018 1 2516"
expect gen2-stamp   0 '^2054  [a-z0-9_]+  "[0-9]{2}-[0-9]{2}-[0-9]{4}"  editable$' -- "$cpsctl" get r9-written.json 2003 0 2054
# A clone goes to another radio of the model only; it keeps the destination's serial number.
expect gen2-clone-model 1 'Source and destination model numbers are not the same' -- "$cpsctl" clone r9-other.json r9-written.json
"$cpsctl" radio create r9-twin.json --gen 2 --serial 200TAA0003 >/dev/null
expect gen2-clone   0 '^verified$' -- "$cpsctl" clone r9-twin.json r9-written.json
expect gen2-cloned  0 '^2505  [a-z0-9_]+  "High"  editable$' -- sh -c "'$cpsctl' read r9-twin.json -o r9-cloned.json && '$cpsctl' get r9-cloned.json 2018 1 2505"
expect gen2-clone-serial 0 '^2049  [a-z0-9_]+  "32303054414130303033"  editable$' -- "$cpsctl" get r9-cloned.json 2003 0 2049
expect gen2-clone-same   1 'Destination device has the same serial number as the source' -- "$cpsctl" clone r9.json r9-written.json
expect gen2-info-same  0 '^same serial number: yes$' -- "$cpsctl" info r9.json r9-written.json
expect gen2-info-other 0 '^same model: no$'          -- "$cpsctl" info r9-other.json r9-written.json
expect gen2-info-major 0 '^radio major version: 4$'  -- "$cpsctl" info r9.json r9-written.json
expect gen2-reset      0 '^reset r9\.json \(reset [0-9]+ times? so far\)$' -- "$cpsctl" reset r9.json
expect gen2-mismatch   1 "codeplug 'r9-written\.json': generation: 2, the radio is generation 1" -- "$cpsctl" write radio.json r9-written.json
expect gen1-mismatch   1 "codeplug 'codeplug\.json': generation: 1, the radio is generation 2" -- "$cpsctl" info r9.json codeplug.json
# A block the component has no handler for cannot travel through a codeplug file.
python3 -c '
import json
d = json.load(open("r9-written.json"))
for b in d["blocks"]:
    if b["id"] == 2027:
        for row in b["record"]:
            if row[0] == 2006: row[1] = "1"
json.dump(d, open("r9-unbuilt.json", "w"))'
expect gen2-unbuilt 1 '^error: Block not supported\. \(0x8004096E\): block 2006 \(alert_tones\) is present' -- "$cpsctl" set r9-unbuilt.json 2018 0 2505=Low -o r9-unbuilt-set.json
[ ! -e r9-unbuilt-set.json ] || fail "gen2: a codeplug with a block without handler was saved"

# ---- the progress bar -----------------------------------------------------------------------

# Shown on a terminal only (script gives the command one).
if command -v script >/dev/null 2>&1; then
  script -qec "$cpsctl read radio.json -o tty.json" /dev/null >tty.out 2>&1
  grep -q $'\r''reading *\[#*\] 100%' tty.out || fail "progress: no bar on a terminal: $(od -c tty.out | head -n 5)"
fi

# ---- files: outputs over inputs, links, modes, special files, locks, standard output -------

# An output that is one of the command's inputs is refused, however it is named.
cp radio.json radio-before.json
ln radio.json radio-hardlink.json
expect same-read      1 "^error: File exception\. \(0x8004097E\): output .radio\.json. is the input" -- "$cpsctl" read radio.json -o radio.json
expect same-read-dot  1 'is the input' -- "$cpsctl" read radio.json -o ./radio.json
expect same-read-hard 1 'is the input' -- "$cpsctl" read radio.json -o radio-hardlink.json
cmp -s radio.json radio-before.json || fail "read -o RADIO: the radio file changed"
cp board.obd board-before.obd
expect same-obd       1 'output .board\.obd. is the input' -- "$cpsctl" import-obd codeplug.json board.obd -o board.obd
cmp -s board.obd board-before.obd || fail "import-obd -o OBDFILE: the option-board file changed"
cp codeplug.json in-place.json
expect obd-in-place   0 '^imported board\.obd into in-place\.json$' -- "$cpsctl" import-obd in-place.json board.obd -o in-place.json
expect obd-in-place-value 0 '^block 17 option_board: 1 list$' -- "$cpsctl" get in-place.json 17
# radio create replaces a file only when told to.
expect create-exists  1 "radio .radio\.json. exists \(--force replaces it\)" -- "$cpsctl" radio create radio.json --gen 1 --serial 100TAA0009
cmp -s radio.json radio-before.json || fail "radio create: replaced an existing radio without --force"
cp radio.json forced.json
expect create-force   0 'serial 100TAA0009' -- "$cpsctl" radio create forced.json --gen 1 --serial 100TAA0009 --force

# An output through a link replaces the file it leads to; the link stays. A replaced file keeps
# its permissions. A FIFO or /dev/stdout is written, not replaced.
cp edited.json linked-target.json
ln -s linked-target.json linked.json
chmod 640 linked-target.json
expect link-set 0 '^set 1 field' -- "$cpsctl" set linked.json 4 0 "104=Field Tool"
[ -L linked.json ] || fail "set through a link: the link was replaced"
[ "$(stat -c %a linked-target.json)" = 640 ] || fail "set: the codeplug's mode became $(stat -c %a linked-target.json), want 640"
expect link-value 0 '^104  [a-z0-9_]+  "Field Tool"  read-only$' -- "$cpsctl" get linked-target.json 4 0 104
cp edited.json private.json && chmod 600 private.json
expect mode-set 0 '^set 1 field' -- "$cpsctl" set private.json 4 0 "104=Field Tool"
[ "$(stat -c %a private.json)" = 600 ] || fail "set: the codeplug's mode became $(stat -c %a private.json), want 600"
"$cpsctl" read radio.json -o now.json >/dev/null
mkdir -p sub && ln -s sub/fresh.json dangling.json
expect link-new 0 'into dangling\.json$' -- "$cpsctl" read radio.json -o dangling.json
[ -L dangling.json ] && cmp -s sub/fresh.json now.json || fail "read -o a link to a new file: not created where it leads"
cp radio.json radio-target.json
ln -s radio-target.json radio-link.json
chmod 600 radio-target.json
expect link-reset 0 '^reset radio-link\.json' -- "$cpsctl" reset radio-link.json
[ -L radio-link.json ] || fail "reset through a link: the link was replaced"
[ "$(stat -c %a radio-target.json)" = 600 ] || fail "reset: the radio file's mode became $(stat -c %a radio-target.json), want 600"
mkfifo pipe.json
timeout 20 cat pipe.json >from-pipe.json &
reader=$!
expect fifo-read 0 'into pipe\.json$' -- timeout 20 "$cpsctl" read radio.json -o pipe.json
wait "$reader"
[ -p pipe.json ] || fail "read -o FIFO: the FIFO was replaced"
cmp -s from-pipe.json now.json || fail "read -o FIFO: the codeplug did not come through it"
# A link of our own to what /dev/stdout leads to: a cpsctl that renamed over it replaces only that.
ln -s /proc/self/fd/1 stdout-link
"$cpsctl" read radio.json -o stdout-link >via-stdout.json 2>/dev/null || fail "read -o /dev/stdout"
[ -L stdout-link ] && cmp -s via-stdout.json now.json || fail "read -o /dev/stdout: not the codeplug"

# Commands that only read never rewrite the radio or the codeplug, and work where nothing can be
# written. As root a read-only directory binds nobody, so the commands run as user nobody.
mkdir ro && cp radio.json codeplug.json ro/ && touch -d 2020-01-01 ro/radio.json ro/codeplug.json
as_reader=()
if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null && as_reader=(setpriv --reuid=65534 --regid=65534 --clear-groups) && chmod 755 "$work"
fi
if [ "$(id -u)" -ne 0 ] || [ ${#as_reader[@]} -gt 0 ]; then
  chmod a-w ro
  (
    cd ro || exit 1
    failures=0
    expect ro-read   0 '"generation": 1' -- "${as_reader[@]}" "$cpsctl" read radio.json
    expect ro-info   0 '^same serial number: yes$' -- "${as_reader[@]}" "$cpsctl" info radio.json codeplug.json
    expect ro-get    0 '^block 4 programming_record: 1 entry$' -- "${as_reader[@]}" "$cpsctl" get codeplug.json 4
    expect ro-range  0 '^field 207' -- "${as_reader[@]}" "$cpsctl" range 207
    expect ro-errors 0 '^ 130 ' -- "${as_reader[@]}" "$cpsctl" errors
    expect ro-set    1 'File exception' -- "${as_reader[@]}" "$cpsctl" set codeplug.json 4 0 "104=Field Tool"
    exit "$failures"
  ) || failures=$((failures + $?))
  chmod u+w ro
  [ "$(ls ro | wc -l)" -eq 2 ] || fail "read-only commands left files: $(ls ro)"
  [ "$(date -r ro/radio.json +%Y)" = 2020 ] && [ "$(date -r ro/codeplug.json +%Y)" = 2020 ] ||
    fail "a read-only command rewrote its input"
fi
touch -d 2020-01-01 radio.json
"$cpsctl" info radio.json codeplug.json >/dev/null || fail "info"
"$cpsctl" read radio.json --fail read:3:0x80004005 >/dev/null 2>&1
[ "$(date -r radio.json +%Y)" = 2020 ] || fail "info or a failed read rewrote the radio file"

# Concurrent sets of different entries of one codeplug run one after another: every change stays.
cp codeplug.json busy.json
for k in $(seq 0 15); do "$cpsctl" set busy.json 38 "$k" "424=BUSY $k" >/dev/null 2>&1 & done
wait
for k in $(seq 0 15); do
  "$cpsctl" get busy.json 38 "$k" 424 | grep -q "^424  alias  \"BUSY $k\"" || fail "concurrent sets: channel $k lost its change"
done
# ...and so do writes to one radio: each reset counts.
before=$(python3 -c 'import json; print(json.load(open("radio.json"))["reset_count"])')
for k in $(seq 1 8); do "$cpsctl" reset radio.json >/dev/null 2>&1 & done
wait
after=$(python3 -c 'import json; print(json.load(open("radio.json"))["reset_count"])')
[ "$after" -eq $((before + 8)) ] || fail "concurrent resets: counted $((after - before)), want 8"

# Standard output that cannot be written is a failure.
if [ -w /dev/full ]; then
  expect full-read 1 '^error: File exception\. \(0x8004097E\): standard output: No space left' -- sh -c "'$cpsctl' read radio.json >/dev/full"
  expect full-get  1 'standard output' -- sh -c "'$cpsctl' get codeplug.json 4 0 104 >/dev/full"
fi

# The radio's reset counter stops at its largest value; the file still loads.
python3 -c '
import json; r = json.load(open("other.json")); r["reset_count"] = 2147483647
json.dump(r, open("worn.json", "w"))'
expect reset-max 0 'reset 2147483647 times so far' -- "$cpsctl" reset worn.json
expect reset-max-again 0 'reset 2147483647 times so far' -- "$cpsctl" reset worn.json
expect reset-max-load 0 '"generation": 1' -- "$cpsctl" read worn.json

# ---- diff, export-csv, import-csv ---------------------------------------------------------

"$cpsctl" radio create d-radio.json --gen 1 >/dev/null
"$cpsctl" read d-radio.json -o d-a.json >/dev/null
cp d-a.json d-b.json
expect diff-equal 0 '^$' -- "$cpsctl" diff d-a.json d-b.json
"$cpsctl" set d-b.json 38 3 455=147.000 >/dev/null
expect diff-field 1 '^block 38 entry 3 field 455 \(rx_frequency\): "147\.518750" -> "147\.000"$' -- "$cpsctl" diff d-a.json d-b.json
[ "$("$cpsctl" diff d-a.json d-b.json | wc -l)" -eq 1 ] || fail "diff-field: more than the one changed field"
# The same value in another spelling is no difference.
"$cpsctl" set d-b.json 38 3 455=147.518750 >/dev/null
expect diff-value 0 '^$' -- "$cpsctl" diff d-a.json d-b.json
# A radio is read as `read` reads it, and its file left as it was.
cp d-radio.json d-radio.before
expect diff-radio 0 '^$' -- "$cpsctl" diff d-radio.json d-a.json
cmp -s d-radio.json d-radio.before || fail "diff-radio: the radio file changed"
"$cpsctl" radio create d-small.json --gen 1 --channels 30 >/dev/null
expect diff-radio-entries 1 '^block 38 entry 31: only in d-a\.json$' -- "$cpsctl" diff d-small.json d-a.json
"$cpsctl" radio create d-gen2.json --gen 2 >/dev/null
expect diff-generation 1 '^generation 1 in d-a\.json, 2 in d-gen2\.json: .*not compared$' -- "$cpsctl" diff d-a.json d-gen2.json
expect diff-missing 2 '^error: File cannot be opened\..*nothing\.json' -- "$cpsctl" diff d-a.json nothing.json
expect diff-usage 2 'B' -- "$cpsctl" diff d-a.json
expect diff-directory 2 "'\.': it is a directory" -- "$cpsctl" diff . d-a.json
expect diff-help 0 'Exit codes, as diff' -- "$cpsctl" diff --help
expect csv-help 0 'beyond the last row are deleted' -- "$cpsctl" import-csv --help

# export then import unchanged: nothing set, the file the same byte for byte.
"$cpsctl" export-csv d-a.json >d.csv || fail "export-csv"
expect csv-header 0 '^380,382,456 \(tx_frequency\),455 \(rx_frequency\),' -- head -n 1 d.csv
[ "$(wc -l <d.csv)" -eq 33 ] || fail "export-csv: $(wc -l <d.csv) lines, want a header and 32 channels"
cp d-a.json d-c.json
expect csv-unchanged 0 '^imported 32 rows into block 38 of d-c\.json: 0 values set$' -- "$cpsctl" import-csv d-c.json d.csv
cmp -s d-a.json d-c.json || fail "csv-unchanged: the codeplug changed"
# Quoting: a comma and quotes in an alias go out quoted and come back as they were.
"$cpsctl" set d-c.json 38 1 '424=A,"B"' >/dev/null
expect csv-quoted 0 ',"A,""B""",' -- "$cpsctl" export-csv d-c.json
"$cpsctl" export-csv d-c.json >d-quoted.csv
cp d-a.json d-d.json
expect csv-quoted-import 0 ': 1 value set$' -- "$cpsctl" import-csv d-d.json d-quoted.csv
expect csv-quoted-back 0 '^$' -- "$cpsctl" diff d-c.json d-d.json
# A refused value names its row and column and changes nothing.
sed '4s/^\([^,]*,[^,]*,\)[^,]*/\1999/' d.csv >d-bad.csv
cp d-a.json d-e.json
expect csv-refused 1 '^error: Invalid data\. \(0x8004096B\): CSV row 4, column 3: block 38 entry 2 field 456 \(tx_frequency\) = "999"$' -- "$cpsctl" import-csv d-e.json d-bad.csv
cmp -s d-a.json d-e.json || fail "csv-refused: the codeplug changed"
# Fewer rows delete the trailing entries; more add entries; columns by "ID (name)" or a name too.
head -n 5 d.csv >d-short.csv
expect csv-delete 0 ': 0 values set, 28 entries deleted$' -- "$cpsctl" import-csv d-e.json d-short.csv
expect csv-deleted 1 '^block 38 header field 48 \(record_count\): "32" -> "4"$' -- "$cpsctl" diff d-a.json d-e.json
{ sed '1s/^380,/380 (channel_thing),/; 1s/424 (alias)/alias/' d.csv | sed '$s/CH 32/CH 99/'; } >d-long.csv
expect csv-add 0 ': [0-9]+ values set, 28 entries added$' -- "$cpsctl" import-csv d-e.json d-long.csv
expect csv-added 1 '^block 38 entry 31 field 424 \(alias\): "CH 32" -> "CH 99"$' -- "$cpsctl" diff d-a.json d-e.json
# (The deletion took channels 4 to 31 out of the lists that held them; the channel list itself
# is the CSV's again.)
[ "$("$cpsctl" diff d-a.json d-e.json | grep -c '^block 38 ')" -eq 1 ] || fail "csv-added: the added entries are not the CSV's"
# A row beyond the largest list the radio takes is refused by AddList, naming the row.
cp d-e.json d-f.json
{ cat d.csv; sed -n 2p d.csv; } >d-over.csv
expect csv-over 1 '\(0x80040975\): adding an entry for CSV row 34 to block 38$' -- "$cpsctl" import-csv d-f.json d-over.csv
cmp -s d-e.json d-f.json || fail "csv-over: the codeplug changed"
expect csv-ragged 1 '^error: Invalid data\. .*CSV row 3 has 2 cells, the header row 51' -- sh -c "printf '%s\n' \"\$(head -n 2 d.csv)\" 'a,b' | '$cpsctl' import-csv d-e.json -"
expect csv-column 1 '^error: Field not found\. .*CSV row 1, column 1: "frequency" names no field of block 38' -- sh -c "echo frequency | '$cpsctl' import-csv d-e.json -"
expect csv-no-rows 1 'has a header row and no entry rows' -- sh -c "head -n 1 d.csv | '$cpsctl' import-csv d-e.json -"
expect csv-open-quote 1 'CSV row 2, column 1: the quoted cell is not closed' -- sh -c "printf '424\n\"CH\n' | '$cpsctl' import-csv d-e.json -"
expect csv-not-entries 2 'block 453 holds fields, not entries' -- "$cpsctl" export-csv d-a.json 453
"$cpsctl" read d-gen2.json -o d-gen2-codeplug.json >/dev/null
expect csv-gen2 0 '^2501,2502 \(channel_spacing\),' -- "$cpsctl" export-csv d-gen2-codeplug.json

# ---- demo, and no temporary file left anywhere ----------------------------------------------

expect demo 0 '^verified$' -- "$cpsctl" demo
ls ./*.tmp* >/dev/null 2>&1 && fail "temporary files left behind: $(ls ./*.tmp*)"

if [ "$failures" -ne 0 ]; then echo "$failures cpsctl check(s) failed"; exit 1; fi
echo "cpsctl checks passed"
