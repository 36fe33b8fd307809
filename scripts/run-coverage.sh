#!/usr/bin/env bash
# Line and branch coverage of src/ by the Linux suites: a gcov build (preset linux-coverage,
# Debug), its tests, then gcovr. Not part of CI. Prints the summary and the files' table; writes
# build/linux-coverage/coverage.txt. Branches that only throw or that the compiler cannot reach
# are left out of the branch figure.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset linux-coverage >/dev/null
cmake --build --preset linux-coverage -j 2
find build/linux-coverage -name '*.gcda' -delete
ctest --preset linux-coverage >build/linux-coverage/ctest.log 2>&1 ||
    { tail -n 30 build/linux-coverage/ctest.log; exit 1; }
grep -E 'tests passed' build/linux-coverage/ctest.log
# Threaded tests race on the counters: gcov may print negative counts, which gcovr would reject.
gcovr --root . --filter 'src/' --exclude-unreachable-branches --exclude-throw-branches \
    --gcov-ignore-parse-errors \
    -j 2 --txt build/linux-coverage/coverage.txt --print-summary build/linux-coverage
cat build/linux-coverage/coverage.txt
