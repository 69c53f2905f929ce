# Sourced by the fuzz scripts: the list of targets, the build of the fuzz tree and the seed
# corpus of a target.

fuzz_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fuzz_targets=(fuzz_problem_reader fuzz_scenario_reader fuzz_demands_csv fuzz_host_file fuzz_solve
              fuzz_channel_request fuzz_physical_limit)

# fuzz_build DIR: configures DIR with clang, AddressSanitizer, UndefinedBehaviorSanitizer and
# coverage in every library under test, and builds the targets.
fuzz_build() {
    CC=clang CXX=clang++ cmake -S "$fuzz_root" -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKESTROM_BUILD_FUZZ=ON -DKESTROM_SANITIZE=fuzzer-no-link,address,undefined \
        -DKESTROM_BUILD_TESTS=OFF -DKESTROM_BUILD_BENCH=OFF >/dev/null
    cmake --build "$1" --target "${fuzz_targets[@]}" -j "${FUZZ_JOBS:-2}"
}

# fuzz_seed_corpus NAME DIR: copies the committed corpus of target fuzz_NAME into DIR (the
# readers also get the examples).
fuzz_seed_corpus() {
    mkdir -p "$2"
    cp -r "$fuzz_root/fuzz/corpus/$1/." "$2/"
    case $1 in
        problem_reader) cp "$fuzz_root"/examples/problems/*.json "$2/" 2>/dev/null || true ;;
        scenario_reader) cp "$fuzz_root"/examples/*.json "$2/" 2>/dev/null || true ;;
    esac
}

# fuzz_regressions NAME: the kept inputs of target fuzz_NAME (files named NAME-*).
fuzz_regressions() {
    local file
    for file in "$fuzz_root"/fuzz/regressions/"$1"-*; do
        [ -f "$file" ] && echo "$file"
    done
    return 0
}
