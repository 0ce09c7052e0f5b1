#!/usr/bin/env bash
# Checks that every C++ file under version control is laid out as the
# repository's .clang-format says; names each file that is not (fix with
# `clang-format -i <file>`).
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format is not installed" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.hpp' 2>/dev/null || find src tests fuzz bench -name '*.[ch]pp')
bad=()
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
[ ${#bad[@]} -eq 0 ] && exit 0
echo "check-format: not laid out as .clang-format says (clang-format -i <file>):" >&2
printf '  %s\n' "${bad[@]}" >&2
exit 1
