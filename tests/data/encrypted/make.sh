#!/usr/bin/env bash
# Makes the encrypted test files from source.txt with qpdf: each handler
# version with the empty user password, with and without object streams, and
# one with a user password. Run from this folder after a build; the files are
# kept in the repository, so the tests need no qpdf.
set -euo pipefail
make=${1:-../../../build/default/tests/folivant_make_sample}
"$make" source.txt source.pdf
encrypt() {  # NAME USER BITS OBJECT-STREAMS [encryption options]
  local name=$1 user=$2 bits=$3 streams=$4
  shift 4
  passwords "$name" "$user" owner "$bits" "$streams" "$@"
}
passwords() {  # NAME USER OWNER BITS OBJECT-STREAMS [encryption options]
  local name=$1 user=$2 owner=$3 bits=$4 streams=$5
  shift 5
  qpdf --allow-weak-crypto --static-id --object-streams="$streams" \
    --encrypt "$user" "$owner" "$bits" "$@" -- source.pdf "$name.pdf"
}
encrypt r2-rc4-40 "" 40 preserve
encrypt r3-rc4-128 "" 128 preserve --use-aes=n
encrypt r4-aes-128 "" 128 preserve --use-aes=y
encrypt r4-aes-128-objstm "" 128 generate --use-aes=y
encrypt r4-rc4-128-clear-metadata "" 128 preserve --use-aes=n --force-V4 --cleartext-metadata
encrypt r5-aes-256 "" 256 preserve --force-R5
encrypt r6-aes-256 "" 256 preserve
encrypt r6-aes-256-objstm "" 256 generate
encrypt r6-user-password secret 256 preserve
encrypt r3-user-password secret 128 preserve --use-aes=n
# The hash of revision 6 runs at least 64 rounds and then ends on a byte of
# the data: salts are drawn until the empty password's hash ends on the 64th
# (about one file in eight), the limit a count off by one gets wrong.
# hash_rounds.py needs python3-cryptography.
until encrypt r6-round-64 "" 256 preserve &&
  [ "$(python3 hash_rounds.py r6-round-64.pdf | cut -d' ' -f1)" = 64 ]; do :; done
# And one whose last byte equals the bound that ends it (about one in fifty).
until encrypt r6-bound-met "" 256 preserve &&
  [ "$(python3 hash_rounds.py r6-bound-met.pdf | cut -d' ' -f2)" = 0 ]; do :; done
# A user and an owner password for every revision; non-ASCII ones where the
# revision takes them (PDFDocEncoding for R4, UTF-8 for R5 and R6, whose
# user password "file" is typed "\xEF\xAC\x81le" in the tests: SASLprep
# makes the ligature two letters).
passwords r2-passwords user2 owner2 40 preserve
passwords r3-passwords user3 owner3 128 preserve --use-aes=n
passwords r4-passwords "Grüße" owner4 128 preserve --use-aes=y
passwords r5-passwords "pässwort" "öwner" 256 preserve --force-R5
passwords r6-passwords file "ÖWNER 6" 256 generate
rm source.pdf
