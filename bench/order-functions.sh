#!/usr/bin/env bash
# The functions a cpsctl build runs when it reads and writes radios, as a symbol ordering file for
# the linker (CPS_SYMBOL_ORDER): those every command runs first, then those fewer commands run,
# the most run first within each. Laid out together, they fill a few dozen pages of the program
# instead of hundreds spread over all of it. Each page the program touches first costs a page
# fault when it starts, and on the virtual machines cpsctl is timed on a fault costs about
# 10 us: a 255-channel write touched code and data in about 80 of them.
#
#   bench/order-functions.sh CPSCTL ORDER
#
# The runs are counted by callgrind (valgrind), on radios like those the profile is trained on.
# Data is left in the linker's order: laid out the same way (from a trace of every access), it
# saved 3 of the 50 faults.
set -euo pipefail

cpsctl=$(realpath "$1")
order=$(realpath -m "$2")
command -v valgrind >/dev/null || { echo "bench/order-functions.sh: valgrind is missing (make bench-peer installs it)" >&2; exit 1; }
work=$(mktemp -d /tmp/cps-order-functions-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$cpsctl" radio create r255.radio --gen 1 --channels 255 >/dev/null
"$cpsctl" radio create full.radio --gen 1 --full >/dev/null
"$cpsctl" radio create r9.radio --gen 2 >/dev/null
runs=0
counted() {
  runs=$((runs + 1))
  valgrind --tool=callgrind --demangle=no --callgrind-out-file="run$runs.out" "$cpsctl" "$@" >/dev/null 2>&1
  # Each function's own instruction count, "  4,825,186 ( 9.63%)  ???:_ZN... [/path]", as
  # "NAME COUNT", once a run: a recursion's depth ('2) is the same function.
  callgrind_annotate --threshold=100 "run$runs.out" |
    sed -nE "s/^ *([0-9,]+) +\([^)]*\) +[^ :]*:([^ ]+)( \[.*\])?$/\2 \1/p" |
    sed -E "s/'[0-9]+ / /; s/,//g" | awk '{ count[$1] += $2 } END { for (f in count) print f, count[f] }' >"run$runs.txt"
}
for radio in r255 full r9; do
  counted read "$radio.radio" -o "$radio.json"
  counted write "$radio.radio" "$radio.json" --no-backup --no-verify
  counted write "$radio.radio" "$radio.json"
done
counted get r255.json 38 0

# The C library picks its string functions for the processor it runs on: valgrind's runs use
# __strlen_avx2 where this machine's use __strlen_evex. Each such function goes with every
# other processor's variant of it.
nm --defined-only "$cpsctl" | awk '{ print $3 }' >symbols.txt
cat run*.txt | awk '{ runs[$1]++; count[$1] += $2 } END { for (f in runs) print runs[f], count[f], f }' |
  sort -k1,1nr -k2,2nr | awk '{ print $3 }' |
  awk -v variant='_(sse2|ssse3|sse4_1|sse4_2|avx|avx2|evex|evex512|avx512)(_|$)' '
    NR == FNR { symbols[++n] = $1; next }
    !seen[$1]++ {
      print
      if (match($1, /^__[a-z0-9]+_/) && $1 ~ variant) {
        prefix = substr($1, 1, RLENGTH)
        for (k = 1; k <= n; ++k)
          if (index(symbols[k], prefix) == 1 && symbols[k] ~ variant && !seen[symbols[k]]++) print symbols[k]
      }
    }' symbols.txt - >"$order"
echo "bench/order-functions.sh: $(wc -l <"$order") functions from $runs runs in $order"
