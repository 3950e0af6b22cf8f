#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer + UBSan) in build-fuzz/ and runs
# each over its corpus in tests/fuzz/corpus/: first a replay of every input kept there (the
# seeds and every fault ever found), then a short fuzzing run. Any finding fails the script.
# By default the run goes as nearly the same way every time and on every machine as libFuzzer
# lets it (a fixed seed and number of inputs, the seeds in a fixed order, addresses not
# randomised and no compare tracing, whose values are addresses), so that the test command
# passes or fails on the code, not on the machine; longer runs with a fresh seed look further,
# with every means libFuzzer has.
#   FUZZ_RUNS=N     inputs of each fixed run (default 20000; 0 replays only)
#   FUZZ_SECONDS=N  instead: fuzz each target for N seconds with a fresh seed
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
if [ -n "${FUZZ_SECONDS:-}" ]; then
  length=(-max_total_time="$FUZZ_SECONDS")
  what="for ${FUZZ_SECONDS}s"
  [ "$FUZZ_SECONDS" -gt 0 ] || length=()
else
  runs=${FUZZ_RUNS:-20000}
  length=(-seed=1 -runs="$runs" -use_cmp=0)
  what="$runs inputs from seed 1"
  [ "$runs" -gt 0 ] || length=()
fi
# Where the system lets a process turn off address randomisation, the fixed run does.
fixed=()
if [ -z "${FUZZ_SECONDS:-}" ] && setarch "$(uname -m)" -R true 2>/dev/null; then
  fixed=(setarch "$(uname -m)" -R)
fi

CXX=clang++ cmake -S tests/fuzz -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)"

# New inputs found by the short runs go to a scratch folder, so the corpus in the tree changes
# only by hand; a finding is written there too and its path printed.
work=$(mktemp -d "${TMPDIR:-/tmp}/quillfen-fuzz-XXXXXX")
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=()
for target in load save combine replaceall xliff checks; do
  bin="$root/build-fuzz/${target}_fuzzer"
  corpus="$root/tests/fuzz/corpus/$target"
  mkdir -p "$work/$target" "$work/findings"
  echo "== $target: replaying $(ls "$corpus" | wc -l) inputs"
  if ! (cd "$work" && "$bin" -runs=0 -rss_limit_mb=2048 -timeout=10 \
          -artifact_prefix="$work/findings/$target-" "$corpus" >"$work/$target.log" 2>&1); then
    tail -n 40 "$work/$target.log"
    failed+=("$target (replay)")
    continue
  fi
  if [ ${#length[@]} -gt 0 ]; then
    echo "== $target: fuzzing, $what"
    # The seeds are named in one order, not read in the order the file system lists them, and
    # every path the fuzzer is given is the same wherever the tree stands: the lengths of its
    # strings move what it allocates, and code that compares addresses then takes other ways.
    mkdir -p "$work/seeds"
    cp -r "$corpus" "$work/seeds/$target"
    ln -sf "$bin" "$work/${target}_fuzzer"
    (cd "$work" && find "seeds/$target" -maxdepth 1 -type f | LC_ALL=C sort |
      paste -sd,) >"$work/$target.seeds"
    if ! (cd "$work" && "${fixed[@]}" "./${target}_fuzzer" "${length[@]}" -max_len=16384 \
            -rss_limit_mb=2048 -timeout=10 -artifact_prefix="findings/$target-" \
            -seed_inputs=@"$target.seeds" "$target" >"$work/$target.log" 2>&1); then
      tail -n 40 "$work/$target.log"
      for f in "$work/findings/$target-"*; do
        [ -e "$f" ] || continue
        keep="$root/build-fuzz/findings"
        mkdir -p "$keep" && cp "$f" "$keep/"
        echo "finding kept in $keep/$(basename "$f")"
      done
      failed+=("$target (fuzzing)")
      continue
    fi
  fi
  # The coverage reached shows how closely the run followed the same way as others.
  grep -E '^Done|DONE' "$work/$target.log" | tail -n 2
done

echo "fuzz: $((6 - ${#failed[@]})) passed, ${#failed[@]} failed"
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed targets: ${failed[*]}"
  exit 1
fi
