#!/bin/sh
# Runs one benchmark briefly as a test (ctest -L bench), so that none can rot: it must end by itself
# within the test's time limit. The figures of so short a run mean nothing: with --may-miss-targets
# an exit status of 1 (figures beyond the benchmark's targets) passes too. With --demo MAKE_DEMO the
# demo project is made first and its path becomes the benchmark's first argument.
# Each run makes a fresh home of its own under the temporary folder (HOME, the XDG folders, TMPDIR,
# the demo), so that two runs of the suite at once share no file; it is removed when the run passed
# and kept, and named, when it failed.
# Usage: run_briefly.sh [--may-miss-targets] [--demo MAKE_DEMO] COMMAND [ARGUMENTS...]
may_miss_targets=0
make_demo=
while :; do
    case "$1" in
    --may-miss-targets) may_miss_targets=1; shift ;;
    --demo) make_demo=$2; shift 2 ;;
    *) break ;;
    esac
done
home=$(mktemp -d "${TMPDIR:-/tmp}/sonorel-bench-$(basename "$1")-XXXXXX") || exit 2
mkdir "$home/config" "$home/data" "$home/cache" "$home/runtime" "$home/tmp" && chmod 700 "$home/runtime" || exit 2
export HOME="$home" SONOREL_TEST_HOME="$home" TMPDIR="$home/tmp" XDG_CONFIG_HOME="$home/config" \
    XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime"
cd "$TMPDIR" || exit 2
command=$1
shift
if [ -n "$make_demo" ]; then
    project=$("$make_demo" "$home/demo") || exit 2
    set -- "$project" "$@"
fi
"$command" "$@"
status=$?
if [ "$status" -eq 1 ] && [ "$may_miss_targets" -eq 1 ]; then
    echo "(figures beyond the benchmark's targets: expected of a brief run)"
    status=0
fi
if [ "$status" -eq 0 ]; then
    rm -rf "$home"
else
    echo "The failed run's files are kept in $home" >&2
fi
exit "$status"
