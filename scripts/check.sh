#!/usr/bin/env bash
# make test's driver: runs each make target named, carrying on past failures so the summary
# covers them all, then exits non-zero if any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
make=${MAKE:-make}

summary=()
failed=0
for target in "$@"; do
    echo "==== $target"
    started=$SECONDS
    if "$make" --no-print-directory "$target"; then
        result=PASS
    else
        result=FAIL
        failed=1
    fi
    summary+=("$(printf '  %-4s  %-16s %4d s' "$result" "$target" $((SECONDS - started)))")
done

echo
echo "==== make test summary"
printf '%s\n' "${summary[@]}"
if ((failed)); then
    echo "make test: FAILED"
else
    echo "make test: all passed"
fi
exit "$failed"
