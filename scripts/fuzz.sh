#!/usr/bin/env bash
# ./vexa fuzz [SECONDS [NAME...]], after the native build: runs each harness
# (or the named ones) of build/native for SECONDS from its saved corpus.
set -u -o pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$top/scripts/wine.sh"
native_dir="$build_root/native"

# Inputs longer than this add little to these parsers and make corpora heavy.
fuzz_max_len=256

# Runs each harness (or the named ones) for SECONDS from its saved corpus, then
# merges what it found into the corpus, keeping only inputs that reach new edges
# (hit counts left out, so that corpora stay small). A finding (crash, sanitizer
# report, broken invariant) leaves its input in build/fuzz/NAME/.
cmd_fuzz() {
  local seconds=${1:-60}
  [[ "$seconds" =~ ^[0-9]+$ ]] || die "usage: ./vexa fuzz [SECONDS [NAME...]]"
  [ $# -gt 0 ] && shift
  local only=("$@")
  local exe name corpus work log status failed=0 runs
  for exe in "$native_dir"/fuzz_*; do
    [ -x "$exe" ] || continue
    name=${exe##*/fuzz_}
    [ ${#only[@]} -gt 0 ] && [[ " ${only[*]} " != *" $name "* ]] && continue
    corpus="$top/fuzz/corpus/$name" work="$build_root/fuzz/$name"
    log="$work/fuzz.log"
    rm -rf "$work"
    mkdir -p "$corpus" "$work/new" "$work/merged"
    say "fuzzing $name for ${seconds}s"
    status=0
    "$exe" -max_total_time="$seconds" -max_len="$fuzz_max_len" -print_final_stats=1 -artifact_prefix="$work/" \
      "$work/new" "$corpus" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -n 1)
    if [ "$status" != 0 ]; then
      say "$name: finding (exit status $status); see build/fuzz/$name/fuzz.log"
      grep -E 'ERROR|runtime error|SUMMARY|Test unit written|broken' "$log" | head -n 10 | sed 's/^/    /'
      failed=1
    fi
    "$exe" -merge=1 -use_counters=0 -max_len="$fuzz_max_len" "$work/merged" "$corpus" "$work/new" >"$work/merge.log" 2>&1 ||
      { say "$name: merging the corpus failed; see build/fuzz/$name/merge.log"; failed=1; continue; }
    find "$corpus" -type f -delete
    cp "$work/merged"/* "$corpus"/ 2>/dev/null
    say "$name: ${runs:-0} executions, corpus $(find "$corpus" -type f | wc -l) inputs"
  done
  [ "$failed" = 0 ]
}

cmd_fuzz "$@"
