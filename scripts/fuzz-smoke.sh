#!/usr/bin/env bash
# The fuzz stage of the test command, with the same verdict on every run of a commit: builds
# the targets, runs every kept input of fuzz/regressions/ through its target, then replays
# each target's committed corpus (seed inputs plus inputs merged from exploratory runs). It
# tries exactly the committed files: a mutating run, even with a fixed seed and input count,
# tries inputs that also follow from thread scheduling (fuzz_channel_request), addresses and
# the checkout's path, so its verdict could differ between runs. No time budget decides what
# is tried; the per-input limits are generous so that a loaded machine does not change the
# verdict either. Exploratory fuzzing with time budgets is scripts/fuzz-explore.sh.
#
# Exits non-zero when anything is found: a crash, a sanitizer report, a broken property, a
# request or an input over its limit. The finding is left in BUILD_DIR/findings/<name>/.
#
# Usage: scripts/fuzz-smoke.sh [BUILD_DIR]   (default build/fuzz)
set -euo pipefail
. "$(dirname "$0")/fuzz-common.sh"
build=${1:-$fuzz_root/build/fuzz}
# Generous: the slowest input known takes 11 s under the sanitizers on a loaded machine.
timeout=120
export KESTROM_FUZZ_REQUEST_LIMIT=60

fuzz_build "$build"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

# fuzz_run NAME FILE...: runs each file once through target fuzz_NAME in the scratch
# directory (the plug-in writes its logs to the working directory); on a finding prints the
# log's end and sets status.
fuzz_run() {
    local name=$1
    shift
    local findings=$build/findings/$name
    mkdir -p "$findings"
    if (cd "$work" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
            "$build/fuzz/fuzz_$name" -timeout="$timeout" -rss_limit_mb=2048 \
            -artifact_prefix="$findings/" "$@" >"$work/$name.log" 2>&1); then
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
    started=$SECONDS
    fuzz_run "$name" "$corpus"/* &&
        echo "$target: $(grep -c '^Executed ' "$work/$name.log") corpus inputs passed," \
            "$((SECONDS - started)) s"
done
exit $status
