#!/usr/bin/env bash
# Formats the tracked C++ sources with the house style in .clang-format.
#   bash scripts/format.sh           rewrite the files in place
#   bash scripts/format.sh --check   change nothing; list what differs and fail (CI)
# clang-format 14 is the one Debian 12 ships; another version may break lines differently.
set -euo pipefail
cd "$(dirname "$0")/.."
tool=$(command -v clang-format-14 || command -v clang-format || true)
if [[ -z "$tool" ]]; then
    echo "format: clang-format not found (bash scripts/setup.sh ci installs it)" >&2
    exit 1
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ "${1:-}" == "--check" ]]; then
    bad=()
    for f in "${files[@]}"; do
        "$tool" --dry-run --Werror "$f" 2>/dev/null || bad+=("$f")
    done
    if ((${#bad[@]})); then
        echo "format: ${#bad[@]} of ${#files[@]} files differ from .clang-format (bash scripts/format.sh fixes them):"
        printf '  %s\n' "${bad[@]}"
        exit 1
    fi
    echo "format: ${#files[@]} files match .clang-format ($("$tool" --version | grep -o 'version [0-9.]*'))"
else
    "$tool" -i "${files[@]}"
fi
