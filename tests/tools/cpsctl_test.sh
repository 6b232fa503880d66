#!/usr/bin/env bash
# cpsctl's commands as a script uses them: output, one-line errors and exit codes.
set -u
cpsctl="$1"
failures=0

expect() {  # expect NAME EXIT-CODE PATTERN -- command...
  local name="$1" want="$2" pattern="$3"
  shift 4
  local out rc
  out=$("$@" 2>&1)
  rc=$?
  if [ "$rc" -ne "$want" ] || ! grep -qE -- "$pattern" <<<"$out"; then
    echo "FAIL $name: exit $rc (want $want), output:"
    echo "$out" | head -n 20
    failures=$((failures + 1))
  fi
}

expect errors-130   0 '^ 130  0x80040982   Unpack failure\.$'  -- "$cpsctl" errors
expect errors-13    0 '^  13  0x8004090D  \(no message\)$'      -- "$cpsctl" errors
expect errors-count 0 '^ 135  0x80040987  Invalid RRO data\.$'  -- "$cpsctl" errors
expect range-207    0 '^field 207: minimum 100, maximum 6400, step 100$' -- "$cpsctl" range 207
expect range-91     0 '^field 91: minimum 0.025, maximum 3276.75, step 0.005$' -- "$cpsctl" range 91
expect range-none   1 '^error: Field not found\. \(0x80040968\)$' -- "$cpsctl" range 5
expect range-usage  2 'FIELD'                                 -- "$cpsctl" range
expect bad-command  2 '.'                                     -- "$cpsctl" frobnicate
expect help         0 'Exit codes:'                           -- "$cpsctl" --help

count=$("$cpsctl" errors | wc -l)
if [ "$count" -ne 31 ]; then echo "FAIL errors: $count lines, want 31"; failures=$((failures + 1)); fi

if [ "$failures" -ne 0 ]; then echo "$failures cpsctl check(s) failed"; exit 1; fi
echo "cpsctl checks passed"
