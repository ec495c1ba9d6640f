#!/usr/bin/env bash
# make test's driver: runs each make target named, carrying on past failures so the summary
# covers them all, then exits non-zero if any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
make=${MAKE:-make}

summary=()
failed=0
passed_count=0
failed_count=0
for target in "$@"; do
    echo "==== $target"
    started=$SECONDS
    if "$make" --no-print-directory "$target"; then
        result=PASS
        passed_count=$((passed_count + 1))
    else
        result=FAIL
        failed=1
        failed_count=$((failed_count + 1))
    fi
    summary+=("$(printf '  %-4s  %-16s %4d s' "$result" "$target" $((SECONDS - started)))")
done

echo
echo "==== make test summary"
printf '%s\n' "${summary[@]}"
echo "stages: $passed_count passed, $failed_count failed"
exit "$failed"
