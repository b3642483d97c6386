#!/usr/bin/env bash
# The real updater under Wine with no unit attached: its window comes up in the no-unit state in
# the given language, a screenshot is taken, Close ends it, and the process exits with code 0.
#   wine_smoke.sh <prefix> <updater.exe> <smoke-check.exe> <LC_ALL> <Close text> <hint start> <screenshot.png>
set -uo pipefail

prefix=$1 updater=$2 check=$3 locale=$4 close_text=$5 hint_start=$6 screenshot=$7
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
source "$(dirname "$0")/../../scripts/wine-env" || exit 1
mkdir -p "$(dirname "$screenshot")"

started=$(date +%s%N)
LC_ALL="$locale" wine "$updater" &
updater_pid=$!
trap 'wineserver -k 2>/dev/null' EXIT

status=0
LC_ALL="$locale" wine "$check" check "$close_text" "$hint_start" || status=1
echo "window up $(( ($(date +%s%N) - started) / 1000000 )) ms after start"
import -window root "$screenshot" || echo "no screenshot"
wine "$check" close || status=1

wait "$updater_pid"
code=$?
if [ "$code" -ne 0 ]; then
    echo "FAIL the updater exited with code $code"
    status=1
fi
wineserver -w
trap - EXIT
exit $status
