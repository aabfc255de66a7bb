#!/usr/bin/env bash
# Fails when a C++ file of the repository differs from what .clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || {
  echo "clang-format is missing (Debian package clang-format)" >&2
  exit 1
}
mapfile -t files < <(git ls-files '*.cpp' '*.h')
unformatted=()
for file in "${files[@]}"; do
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if ((${#unformatted[@]})); then
  echo "These files differ from .clang-format (run clang-format -i on them):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "Formatting: ${#files[@]} files match .clang-format."
