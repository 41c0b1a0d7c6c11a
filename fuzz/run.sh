#!/usr/bin/env bash
# Runs every fuzz harness for a time budget, one after the other, and fails on any finding.
#   fuzz/run.sh BUILD_DIR SECONDS [HARNESS...]
# New inputs go to OUT/fuzz-work/<harness> (the checked-in corpus is only read); a finding leaves
# its input in OUT/fuzz-artifacts/ and each run's log next to it. OUT is $FUZZ_OUT or BUILD_DIR.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?build dir}
seconds=${2:?seconds per harness}
shift 2
out=${FUZZ_OUT:-$build}

# The dictionary of each harness's format.
dict_of() {
  case "$1" in
    vector_file|matrix_text) echo text ;;
    sparse_file) echo sparse ;;
    tool_table) echo table ;;
    vector_stream|matrix_stream) echo stream ;;
    matrix_binary) echo binary ;;
    matrix_xml) echo xml ;;
    mat4d_block) echo block ;;
    kohonen_xml) echo kohonen ;;
    asc_header|curvefit_asc) echo asc ;;
    stream_numbers) echo numbers ;;
    datatable) echo table ;;
    *) echo "" ;;
  esac
}

if [ $# -eq 0 ]; then
  set -- $(cd "$here/corpus" && ls)
fi
mkdir -p "$out/fuzz-artifacts"
failed=""
for h in "$@"; do
  exe="$build/fuzz/fuzz_$h"
  [ -x "$exe" ] || { echo "no harness $exe"; exit 2; }
  work="$out/fuzz-work/$h"
  mkdir -p "$work"
  opts=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=1024 -malloc_limit_mb=64 -max_len=4096
        -print_final_stats=1 -artifact_prefix="$out/fuzz-artifacts/$h-")
  d=$(dict_of "$h")
  [ -n "$d" ] && [ -f "$here/dict/$d.dict" ] && opts+=(-dict="$here/dict/$d.dict")
  log="$out/fuzz-artifacts/$h.log"
  echo "== $h (${seconds}s)"
  if "$exe" "${opts[@]}" "$work" "$here/corpus/$h" >"$log" 2>&1; then
    grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "$log" | tr '\n' ' '; echo
  else
    echo "FINDING in $h (log: $log)"; tail -30 "$log"; failed="$failed $h"
  fi
done
if [ -n "$failed" ]; then
  echo "fuzz findings in:$failed"
  exit 1
fi
echo "fuzz: no findings"
