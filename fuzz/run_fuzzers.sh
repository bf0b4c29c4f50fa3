#!/usr/bin/env bash
# Runs every fuzz target for a while on seed corpora built from the normal
# build's data directory and real text.
#   fuzz/run_fuzzers.sh FUZZ_BUILD_DIR SECONDS [TARGET...]
# FUZZ_BUILD_DIR is a tree configured with -DZORVSEG_FUZZ=ON whose targets
# are built; the normal build tree (build/, or $ZORVSEG_BUILD) gives the
# data directory, the data build's sources and zorvseg-build. New inputs
# gather in FUZZ_BUILD_DIR/corpus/TARGET, a crashing input lands in
# FUZZ_BUILD_DIR/artifacts/ and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_dir=$(realpath "${1:?usage: fuzz/run_fuzzers.sh FUZZ_BUILD_DIR SECONDS [TARGET...]}")
seconds=${2:?usage: fuzz/run_fuzzers.sh FUZZ_BUILD_DIR SECONDS [TARGET...]}
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(segment_fuzzer loader_fuzzer user_dict_fuzzer crf_tagger_fuzzer)
build=$(realpath "${ZORVSEG_BUILD:-build}")
corpora=${ZORVSEG_CORPORA:-../shared/corpora}

python3 fuzz/make_seeds.py --data "$build/data" --sources "$build/data-sources" \
  --bin "$build/bin" --corpora "$corpora" --out "$fuzz_dir/seeds"
mkdir -p "$fuzz_dir/artifacts"
for target in "${targets[@]}"; do
  mkdir -p "$fuzz_dir/corpus/$target"
  echo "--- $target, ${seconds} s"
  # The loader target's seeds are whole small data files (up to 256 KB);
  # text longer than a few KB adds time per input, not paths.
  case $target in
    loader_fuzzer) max_len=300000 ;;
    segment_fuzzer) max_len=8192 ;;
    *) max_len=16384 ;;
  esac
  # The loader target loads its file again for every input: it works on a
  # data directory of small files.
  data="$build/data"
  [ "$target" = loader_fuzzer ] && data="$fuzz_dir/seeds/small_data"
  # -timeout: an input taking longer is a finding (a hang).
  ZORVSEG_DATA="$data" "$fuzz_dir/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
    -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$fuzz_dir/artifacts/$target-" \
    "$fuzz_dir/corpus/$target" "$fuzz_dir/seeds/$target" 2>"$fuzz_dir/$target.log" ||
    { tail -n 60 "$fuzz_dir/$target.log"; echo "fuzz: $target found a fault" >&2; exit 1; }
  grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb)' \
    "$fuzz_dir/$target.log" || true
done
