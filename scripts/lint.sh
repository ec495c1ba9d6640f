#!/usr/bin/env bash
# The code checks of make test; each prints only what is wrong, then one line of result.
#   lint.sh tidy BUILD_DIR   clang-tidy (.clang-tidy) on the program's sources, using the
#                            compile commands of BUILD_DIR
#   lint.sh format           clang-format (.clang-format) dry run over every C++ file
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
tidy)
    build=${2:?usage: lint.sh tidy BUILD_DIR}
    [[ -f $build/compile_commands.json ]] || { echo "lint.sh: no $build/compile_commands.json" >&2; exit 2; }
    mapfile -t files < <(find src packaging -name '*.cpp' | sort)
    # One clang-tidy per file, two at a time; a file's findings are printed together, and the
    # "N warnings generated" chatter about Qt's headers only when something failed.
    if printf '%s\0' "${files[@]}" | xargs -0 -n 1 -P "${JOBS:-2}" sh -c \
        'out=$(clang-tidy -p "$0" --quiet "$1" 2>&1) || { printf "%s\n" "$out"; exit 1; }' "$build"
    then
        echo "clang-tidy: ${#files[@]} files clean"
    else
        echo "clang-tidy: findings above (checks in .clang-tidy)" >&2
        exit 1
    fi
    ;;
format)
    mapfile -t files < <(find src tests packaging -name '*.cpp' -o -name '*.h' | sort)
    if clang-format --dry-run -Werror "${files[@]}"; then
        echo "clang-format: ${#files[@]} files formatted"
    else
        echo "clang-format: run clang-format -i on the files above" >&2
        exit 1
    fi
    ;;
*)
    echo "usage: $0 tidy BUILD_DIR | format" >&2
    exit 2
    ;;
esac
