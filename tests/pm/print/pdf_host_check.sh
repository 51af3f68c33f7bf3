#!/usr/bin/env bash
# Reads back the documents test_print sent to the CUPS PDF printer.  Each
# line of FIXDIR/expect.txt is "title|page one text|page two text"; the
# printer's PDF whose name begins with the title must have exactly two
# pages, page one showing the first text and not the second, page two the
# second text (and not the tail " and more" that the count cut off).
# Documents listed in FIXDIR/absent.txt were aborted: no PDF may exist
# for them.  The sheets test_print_mono printed (FIXDIR/colours.txt) are
# checked for their grey levels by pdf_colour_check.py.  Skips (77) when the
# tests printed nothing because no printer was there.
fix=$1
list=$fix/expect.txt
colours=$fix/colours.txt
[ -s "$list" ] || [ -s "$colours" ] || { echo "no documents were printed (no printer): skipped"; exit 77; }
command -v pdftotext >/dev/null || { echo "pdftotext missing"; exit 1; }
[ -s "$list" ] || : > "$list"
out=$(sed -n 's/^Out[[:space:]]\+//p' /etc/cups/cups-pdf.conf 2>/dev/null | head -1)
out=${out//\$\{HOME\}/$HOME}
dirs="$out $HOME/PDF /root/PDF /var/spool/cups-pdf/ANONYMOUS"
status=0
while IFS='|' read -r title one two; do
  two=${two%$'\r'}
  pdf=
  for _ in $(seq 1 120); do      # the spooler and cups-pdf work in the background
    pdf=$(ls -t $(for d in $dirs; do echo "$d/$title"*.pdf; done) 2>/dev/null | head -1)
    [ -n "$pdf" ] && [ -s "$pdf" ] && break
    sleep 0.5
  done
  if [ -z "$pdf" ]; then echo "FAIL $title: no PDF in $dirs"; status=1; continue; fi
  sleep 0.5                      # let cups-pdf finish writing
  pages=$(pdfinfo "$pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')
  p1=$(pdftotext -f 1 -l 1 "$pdf" - 2>/dev/null | tr -s ' \n' '  ')
  p2=$(pdftotext -f 2 -l 2 "$pdf" - 2>/dev/null | tr -s ' \n' '  ')
  check() { if eval "$2"; then :; else echo "FAIL $title: $1"; status=1; fi; }
  check "2 pages (got $pages)" '[ "$pages" = 2 ]'
  check "page 1 lacks '$one': $p1" '[[ "$p1" == *"$one"* ]]'
  check "page 1 shows page 2 text" '[[ "$p1" != *"$two"* ]]'
  check "page 2 lacks '$two': $p2" '[[ "$p2" == *"$two"* ]]'
  check "page 2 shows text past the count" '[[ "$p2" != *"and more"* ]]'
  check "page 2 shows page 1 text" '[[ "$p2" != *"$one"* ]]'
  [ $status = 0 ] && echo "ok $title -> $pdf"
done < "$list"
# Aborted documents: by now the printed ones have arrived, and none of
# these may have.
if [ -f "$fix/absent.txt" ]; then
  sleep 2
  while read -r title; do
    title=${title%$'\r'}
    [ -n "$title" ] || continue
    found=$(ls $(for d in $dirs; do echo "$d/$title"*.pdf; done) 2>/dev/null | head -1)
    if [ -n "$found" ]; then echo "FAIL aborted $title was printed: $found"; status=1;
    else echo "ok $title never printed"; fi
  done < "$fix/absent.txt"
fi
if [ -s "$colours" ]; then
  /usr/bin/python3 "$(dirname "$0")/pdf_colour_check.py" "$fix" || status=1
fi
exit $status
