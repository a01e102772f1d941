#!/bin/sh
# Runs one benchmark briefly as a test (ctest -L bench), so that none can rot: it must end by itself
# within the test's time limit. The figures of so short a run mean nothing: with --may-miss-targets
# an exit status of 1 (figures beyond the benchmark's targets) passes too. The benchmark runs in a
# fresh folder under the test's home, which is also its temporary folder.
# Usage: run_briefly.sh [--may-miss-targets] COMMAND [ARGUMENTS...]
may_miss_targets=0
if [ "$1" = "--may-miss-targets" ]; then
    may_miss_targets=1
    shift
fi
if [ -z "$SONOREL_TEST_HOME" ]; then
    echo "run_briefly.sh runs under ctest (SONOREL_TEST_HOME is not set)" >&2
    exit 2
fi
mkdir -p "$SONOREL_TEST_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR" || exit 2
TMPDIR=$(mktemp -d "$SONOREL_TEST_HOME/run.XXXXXX") || exit 2
export TMPDIR
cd "$TMPDIR" || exit 2
"$@"
status=$?
rm -rf "$TMPDIR"
if [ "$status" -eq 1 ] && [ "$may_miss_targets" -eq 1 ]; then
    echo "(figures beyond the benchmark's targets: expected of a brief run)"
    exit 0
fi
exit "$status"
