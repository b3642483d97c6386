#!/usr/bin/env bash
# The DLLs the exe imports are exactly those the README lists.
#   imports_test.sh <exe> <README.md>
set -euo pipefail
actual=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | LC_ALL=C sort)
listed=$(grep '^\*\*Imports\*\*' "$2" | grep -o '`[^`]*`' | tr -d '`' | tr 'A-Z' 'a-z' | LC_ALL=C sort)
if [ "$actual" != "$listed" ]; then
    echo "FAIL the exe imports:"; echo "$actual"; echo "the README lists:"; echo "$listed"
    exit 1
fi
echo "ok   the exe imports what the README lists: $(echo $actual)"
