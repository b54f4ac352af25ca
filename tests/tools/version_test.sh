#!/bin/sh
# Every program prints the build's one version as "<program> <version>" on
# standard output and ends with 0; KestrelEx --version starts and logs
# nothing.
#   version_test.sh VERSION [--run RUNNER PREFIX] PROGRAM...
# RUNNER PREFIX runs the Windows programs under Wine (cmake/wine-run.sh).
set -u
version="$1"; shift
run=""
if [ "${1:-}" = --run ]; then run="$2 $3"; shift 3; fi
work="$(mktemp -d /tmp/kestrel-version-test.XXXXXX)"
trap 'rm -rf "$work"' EXIT
status=0
for program in "$@"; do
  name="$(basename "$program" .exe)"
  # shellcheck disable=SC2086 # the runner is words
  out="$(KESTREL_ROOT="$work/root" KESTREL_LOG="$work/log.txt" $run "$program" --version)"
  code=$?
  # Wine may end a line with CR.
  out="$(printf '%s' "$out" | tr -d '\r')"
  if [ "$code" != 0 ] || [ "$out" != "$name $version" ]; then
    echo "FAIL: $program --version: exit $code, printed \"$out\", expected \"$name $version\""
    status=1
  else
    echo "$program: $out"
  fi
done
if [ -e "$work/log.txt" ] || [ -e "$work/root" ]; then
  echo "FAIL: --version wrote a log or made a machine root"
  status=1
fi
exit $status
