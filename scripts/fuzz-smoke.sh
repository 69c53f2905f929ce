#!/usr/bin/env bash
# The fuzz stage of the test command, with the same verdict on every run of a commit: builds
# the targets, replays every kept input of fuzz/regressions/ through its target, then runs
# each target from its committed corpus for a fixed number of inputs with a fixed seed. The
# exception is fuzz_channel_request: its coverage depends on how the channel's worker thread
# is scheduled, so what libFuzzer would try next is not reproducible; it replays its committed
# corpus instead. No time budget decides what is tried; the per-input limits are generous so
# that a loaded machine does not change the verdict either. What libFuzzer tries also follows
# from addresses (stack depth, compared values), so the targets run without address space
# randomisation, with no timed allocator purge and no timed corpus reload, from a copy in a
# scratch directory whose path has the same length in every checkout, and the readers'
# scratch file has a fixed name. Exploratory fuzzing with time
# budgets is scripts/fuzz-explore.sh.
#
# Exits non-zero when anything is found: a crash, a sanitizer report, a broken property, a
# request or an input over its limit. The finding is left in BUILD_DIR/findings/<name>/.
#
# Usage: scripts/fuzz-smoke.sh [BUILD_DIR]   (default build/fuzz)
set -euo pipefail
. "$(dirname "$0")/fuzz-common.sh"
build=${1:-$fuzz_root/build/fuzz}
seed=1
# Inputs tried per target (the corpus included), for about four minutes on two cores.
declare -A runs=([problem_reader]=15000 [scenario_reader]=15000 [demands_csv]=30000
                 [host_file]=20000 [solve]=40000 [channel_request]=0)
# Generous: the slowest input known takes 11 s under the sanitizers on a loaded machine.
timeout=120
export KESTROM_FUZZ_REQUEST_LIMIT=60
export KESTROM_FUZZ_SCRATCH=scratch
fixed_addresses=(setarch "$(uname -m)" -R)
if ! "${fixed_addresses[@]}" true 2>/dev/null; then
    echo "fuzz-smoke: cannot turn off address space randomisation; runs may differ" >&2
    fixed_addresses=()
fi

fuzz_build "$build"
work=$(mktemp -d /tmp/kestrom-fuzz-smoke.XXXXXXXXXX)
trap 'rm -rf "$work"' EXIT
status=0

# fuzz_run NAME ARGS...: runs target fuzz_NAME in the scratch directory (the plug-in writes
# its logs to the working directory); on a finding prints the log's end and sets status.
fuzz_run() {
    local name=$1
    shift
    local findings=$build/findings/$name
    mkdir -p "$findings"
    [ -x "$work/fuzz_$name" ] || cp "$build/fuzz/fuzz_$name" "$work/"
    local started=$SECONDS
    if (cd "$work" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
            "${fixed_addresses[@]}" "$work/fuzz_$name" -timeout="$timeout" -rss_limit_mb=2048 \
            -artifact_prefix="$findings/" "$@" >"$work/$name.log" 2>&1); then
        echo "fuzz_$name: $((SECONDS - started)) s" >>"$work/times"
        return 0
    fi
    status=1
    tail -n 40 "$work/$name.log"
    echo "fuzz_$name: finding kept in $findings" >&2
    return 1
}

echo "== kept inputs (fuzz/regressions)"
for file in "$fuzz_root"/fuzz/regressions/*; do
    case $(basename "$file") in README.md) continue ;; esac
    name=$(basename "$file")
    name=${name%%-*}
    if [[ ! " ${fuzz_targets[*]} " == *" fuzz_$name "* ]]; then
        echo "$file: the name does not start with a fuzz target (see fuzz/regressions/README.md)" >&2
        status=1
        continue
    fi
    fuzz_run "$name" "$file" && echo "fuzz_$name $(basename "$file"): passed"
done

for target in "${fuzz_targets[@]}"; do
    name=${target#fuzz_}
    corpus=$work/corpus-$name
    fuzz_seed_corpus "$name" "$corpus"
    if [ "${runs[$name]}" -eq 0 ]; then
        echo "== $target: replaying $(find "$corpus" -type f | wc -l) corpus inputs"
        fuzz_run "$name" "$corpus"/* && grep -c '^Executed ' "$work/$name.log" | sed 's/^/inputs run: /'
    else
        echo "== $target: ${runs[$name]} inputs, seed $seed"
        fuzz_run "$name" -seed="$seed" -runs="${runs[$name]}" -reload=0 \
            -purge_allocator_interval=-1 -print_final_stats=1 "$corpus" &&
            grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$name.log"
    fi
done
echo "seconds per target:"
awk '{t[$1] += $2} END {for (k in t) printf "  %s %d\n", k, t[k]}' "$work/times" | sort
exit $status
