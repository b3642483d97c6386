#!/usr/bin/env bash
# scripts/wine-prefix says why Wine refused a step: with stand-in Wine commands on PATH, each
# failing step must end the script with exit code 1, name the step and show what Wine printed.
#   wine_prefix_test.sh <scratch folder>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1
rm -rf "$work" && mkdir -p "$work/bin"

# The stand-ins answer as Wine does, except the command named in FAILING, which prints the
# message Wine gives a prefix it does not own and exits 1.
for command in wine wineboot wineserver; do
    cat > "$work/bin/$command" <<EOF
#!/bin/sh
[ "\$1" = "--version" ] && { echo "wine-8.0 (stand-in)"; exit 0; }
case "$command \$*" in
    "\$FAILING"*) echo "wine: '\$WINEPREFIX' is not owned by you"; exit 1 ;;
esac
exit 0
EOF
    chmod +x "$work/bin/$command"
done
touch "$work/zefranhid.sys"

failed=0
while IFS='|' read -r failing step; do
    prefix=$(realpath -m "$work/prefix-${failing%% *}-${step// /-}")
    FAILING="$failing" PATH="$work/bin:$PATH" "$root/scripts/wine-prefix" "$prefix" "$work/zefranhid.sys" \
        >"$work/out" 2>"$work/err"
    status=$?
    expected="wine-prefix: $step failed with exit code 1: $failing"
    if [ "$status" -eq 1 ] && grep -qF "$expected" "$work/err" &&
        grep -qxF "    wine: '$prefix' is not owned by you" "$work/err"; then
        echo "ok   $failing refused: the script names the step and shows Wine's reason"
    else
        echo "FAIL $failing refused: exit code $status, expected 1 with \"$expected\" and Wine's reason; it printed:"
        cat "$work/out" "$work/err"
        failed=1
    fi
done <<'ROWS'
wineboot -i|creating the prefix
wine reg add HKCU\Software\Wine\Explorer |the virtual desktop
wine sc create|creating the zefranhid service
ROWS
exit $failed
