#!/usr/bin/env bash
# scripts/wine-prefix says why Wine refused a step: with stand-in Wine commands on PATH, each
# failing step must end the script with exit code 1, name the step and show what Wine printed.
#   wine_prefix_test.sh <scratch folder>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$1
rm -rf "$work" && mkdir -p "$work/bin"

# The stand-ins answer as Wine does, except the command named in FAILING, which prints the
# message Wine gives a prefix it does not own and exits 1. The loader is a stand-in the script
# is told of, as it names the loader of its prefix; a `wine` found on PATH is Debian's wrapper,
# which may take the 32-bit loader, and running it fails every step.
mkdir -p "$work/loader"
for stand_in in loader/wine bin/wineserver; do
    command=$(basename "$stand_in")
    cat > "$work/$stand_in" <<EOF
#!/bin/sh
[ "\$1" = "--version" ] && { echo "wine-8.0 (stand-in)"; exit 0; }
case "$command \$*" in
    "\$FAILING"*) echo "wine: '\$WINEPREFIX' is not owned by you"; exit 1 ;;
esac
exit 0
EOF
    chmod +x "$work/$stand_in"
done
printf '#!/bin/sh\necho "the wine wrapper on PATH was run: $*"\nexit 1\n' > "$work/bin/wine"
chmod +x "$work/bin/wine"
touch "$work/zefranhid.sys"

failed=0
while IFS='|' read -r failing step; do
    prefix=$(realpath -m "$work/prefix-${failing%% *}-${step// /-}")
    FAILING="$failing" PATH="$work/bin:$PATH" ZEFRAN_WINE_LOADER="$work/loader/wine" "$root/scripts/wine-prefix" "$prefix" "$work/zefranhid.sys" \
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
wine wineboot -i|creating the prefix
wine reg add HKCU\Software\Wine\Explorer |the virtual desktop
wine sc create|creating the zefranhid service
ROWS
exit $failed
