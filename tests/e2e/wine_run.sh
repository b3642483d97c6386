#!/usr/bin/env bash
# Runs a Windows program of the tests under Wine in the tests' prefix, and waits for every
# process it started to end.
#   wine_run.sh <prefix> <program.exe> [arguments...]
set -uo pipefail
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
source "$(dirname "$0")/../../scripts/wine-env" || exit 1
wine "$@"
status=$?
wineserver -w
exit $status
