#!/usr/bin/env bash
# zip_host_check.sh DIR - after the Zip tests: every DIR/out/NAME.gz they
# wrote must pass the host's gzip -t, unpack with gzip -dc to DIR/out/NAME
# and carry the fixed header (method 8, operating system 3).  Fails when
# the tests left nothing to check.
set -uo pipefail
out=$1/out
status=0
count=0
for gz in "$out"/*.gz; do
  [ -e "$gz" ] || continue
  count=$((count + 1))
  plain=${gz%.gz}
  if ! gzip -t "$gz"; then
    echo "gzip -t refuses $gz"; status=1; continue
  fi
  if ! gzip -dc "$gz" | cmp -s - "$plain"; then
    echo "gzip -dc $gz differs from $plain"; status=1
  fi
  header=$(od -An -tx1 -N10 "$gz" | tr -d ' \n')
  case $header in
    1f8b0800????????0003) ;;
    *) echo "unexpected header $header in $gz"; status=1 ;;
  esac
done
if [ "$count" -eq 0 ]; then
  echo "no compressed files in $out to check"; exit 1
fi
echo "$count files checked"
exit $status
