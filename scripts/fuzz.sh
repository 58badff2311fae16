#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (clang, ASan and UBSan) in their own
# build folder and runs each for a while from its seed corpus in fuzz/corpus.
#
#   ./scripts/fuzz.sh                 every target, 300 s each
#   ./scripts/fuzz.sh --time 30       every target, 30 s each (what CI runs)
#   ./scripts/fuzz.sh fuzz_mbdb ...   only these targets
#   ./scripts/fuzz.sh --seeds         write the seed corpora anew (fixture
#                                     writers of the test build), then stop
#
# New inputs go to a working corpus beside the build (the tree's seeds stay
# as they are); a crash leaves its input in <build>/fuzz-artifacts/<target>/
# and makes the script fail. Each target's executions per second are printed
# at the end. FERROWICK_FUZZ_BUILD_DIR names the build folder (build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=300
seeds=0
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --time) seconds="$2"; shift 2 ;;
    --seeds) seeds=1; shift ;;
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done

if [ "$seeds" = 1 ]; then
  build_dir="${FERROWICK_BUILD_DIR:-build}"
  cmake --build "$build_dir" --target write_fuzz_seeds --parallel "$(nproc)"
  rm -rf fuzz/corpus
  "$build_dir/tests/fuzzseeds/write_fuzz_seeds" fuzz/corpus
  find fuzz/corpus -type f | sort | xargs ls -l
  exit 0
fi

# clang and its runtime libraries (libFuzzer) from Debian.
need=()
command -v clang++ >/dev/null || need+=(clang)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-dev)
if [ "${#need[@]}" -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
fi
# The project's own packages (Qt, SQLite, libplist, ...) are those of
# ./scripts/setup.sh, which the default build has installed.

build_dir="${FERROWICK_FUZZ_BUILD_DIR:-build-fuzz}"
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFERROWICK_FUZZ=ON \
  -DBUILD_TESTING=OFF -DFERROWICK_BUILD_GUI=OFF >/dev/null
cmake --build "$build_dir" --target fuzz_targets --parallel "$(nproc)"

if [ "${#targets[@]}" -eq 0 ]; then
  for f in fuzz/targets/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
failed=()
summary=()
for t in "${targets[@]}"; do
  work="$build_dir/fuzz-corpus/$t"
  artifacts="$build_dir/fuzz-artifacts/$t"
  mkdir -p "$work" "$artifacts"
  log="$build_dir/fuzz-$t.log"
  echo "== $t: ${seconds} s"
  # -rss_limit_mb: a parser that takes gigabytes for a small input is a
  # finding too (the keyed-archive blow-up was one).
  if "$build_dir/fuzz/$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=262144 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "fuzz/corpus/${t#fuzz_}" >"$log" 2>&1; then
    :
  else
    failed+=("$t")
    tail -n 60 "$log"
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  rate=$(grep -o 'exec/s: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || echo "?")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || echo "?")
  summary+=("$(printf '%-22s %8s runs %6s exec/s  cov %s' "$t" "${runs:-0}" "$rate" "$cov")")
done
echo
printf '%s\n' "${summary[@]}"
if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz: crash or sanitizer report in: ${failed[*]} (inputs in $build_dir/fuzz-artifacts/)" >&2
  exit 1
fi
