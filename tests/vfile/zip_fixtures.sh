#!/usr/bin/env bash
# zip_fixtures.sh DIR - makes the compressed files the Zip tests read, with
# the real programs of the host: gzip, compress and zip.  Runs on the host
# (not under Wine) before the tests.  The plain files come from a fixed
# seed, so every run sees the same bytes; each compressed file is named
# after its plain file: PLAIN.VARIANT.EXT.
set -euo pipefail
dir=$1
rm -rf "$dir"
mkdir -p "$dir/out"
cd "$dir"

# Plain files: words, random bytes, and blocks of random bytes, text and
# runs (random stretches fill the LZW table and make compress start anew).
perl -e 'srand(11); my @w = map { join "", map { chr(97 + int rand 26) } 1..(2 + int rand 8) } 1..700;
         for (1..40000) { print join(" ", map { $w[int rand @w] } 1..(3 + int rand 9)), "\n" }' > text.txt
perl -e 'srand(12); print map { chr(int rand 256) } 1..150000; print "\0" x 50000;
         print map { chr(int rand 4) } 1..60000' > bin.dat
perl -e 'srand(13); for my $b (0..11) {
           if ($b % 3 == 0) { print map { chr(int rand 256) } 1..60000 }
           elsif ($b % 3 == 1) { print map { chr(97 + int rand 3) } 1..40000 }
           else { print chr(65 + $b) x 80000 } }' > mixed.dat
printf 'hello, world\n' > small.txt
head -c 8000 text.txt > part.txt
: > empty.txt

# gzip: every level with the name field, without it (-n), with it asked
# for explicitly (-N), from a pipe (no name, no time), and members in a row.
for l in 1 2 3 4 5 6 7 8 9; do gzip -c -$l text.txt > text.txt.g$l.gz; done
gzip -c -n text.txt > text.txt.n.gz
gzip -c -N text.txt > text.txt.N.gz
gzip -c < text.txt > text.txt.pipe.gz
for f in bin.dat mixed.dat small.txt empty.txt; do gzip -c "$f" > "$f.gz"; done
cat text.txt bin.dat empty.txt small.txt > members.plain
{ gzip -c text.txt; gzip -c -1 bin.dat; gzip -c empty.txt; gzip -c -9 small.txt; } > members.plain.gz

# compress (LZW): code widths 10 to 16 and the default.  This compress
# writes files it cannot read back itself with -b9 (once its table is
# full) and with -C (no block mode), so those variants are left to the
# tests' own writer.
for b in 10 11 12 13 14 15 16; do compress -c -b$b mixed.dat > mixed.dat.b$b.Z; done
compress -c -b10 text.txt > text.txt.b10.Z
compress -c -b9 small.txt > small.txt.b9.Z
compress -c text.txt > text.txt.Z
compress -c bin.dat > bin.dat.Z
compress -c empty.txt > empty.txt.Z
compress -c small.txt > small.txt.Z

# zip: one entry deflated, stored, streamed to a pipe (data descriptor,
# 64-bit sizes), the same without 64-bit sizes, streamed from a file to a
# file (sizes written back into the 64-bit extra field), stored that way
# (stored with a data descriptor as well), and an empty entry.  Two
# entries, and a stored stream zip gives up on half way, are refused.
zip -q -X text.txt.zip text.txt
zip -q -X -0 text.txt.0.zip text.txt
zip -q -X bin.dat.zip bin.dat
zip -q -X part.txt.zip part.txt
zip - - < text.txt 2>/dev/null | cat > text.txt.pipe.zip
zip -fz- - - < text.txt 2>/dev/null | cat > text.txt.pipe32.zip
zip - - < text.txt > text.txt.seek.zip 2>/dev/null
zip -0 - - < text.txt > text.txt.seek0.zip 2>/dev/null
zip -0 - - < text.txt 2>/dev/null | cat > text.txt.desc0.zip
zip -q -X empty.txt.zip empty.txt
zip -q -X two.zip text.txt small.txt
cat text.txt | zip -0 - - 2>/dev/null | cat > broken.zip || true

# Every file above must read back with the program that wrote it.
for f in *.gz; do
  case $f in members.plain.gz) p=members.plain ;; *) p=$(echo "$f" | cut -d. -f1-2) ;; esac
  gzip -dc "$f" | cmp -s - "$p" || { echo "gzip cannot read $f back"; exit 1; }
done
for f in *.Z; do
  compress -dc < "$f" | cmp -s - "$(echo "$f" | cut -d. -f1-2)" || { echo "compress cannot read $f back"; exit 1; }
done
for f in text.txt.*zip bin.dat.zip part.txt.zip empty.txt.zip; do
  unzip -p "$f" | cmp -s - "$(echo "$f" | cut -d. -f1-2)" || { echo "unzip cannot read $f back"; exit 1; }
done
echo ready > ready
