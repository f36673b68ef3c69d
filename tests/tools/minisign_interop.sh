#!/bin/sh
# tovarin-sign and Debian's minisign read each other's files: keys and
# signatures made by one are checked by the other, in both signature forms.
# Exit 77 (skipped) when minisign is not installed.
set -eu
sign="$1"
command -v minisign >/dev/null 2>&1 || { echo "minisign is not installed: skipped"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
head -c 300000 /dev/urandom > firmware.bin
cp firmware.bin other.bin

# tovarin-sign's key and signature, checked by minisign.
"$sign" keygen -p ours.pub -s ours.key -c "Our publisher"
"$sign" sign -s ours.key firmware.bin
minisign -V -q -p ours.pub -m firmware.bin
# minisign signs with a key tovarin-sign made, too.
minisign -S -s ours.key -m other.bin -t "by minisign"
"$sign" verify -p ours.pub other.bin | grep -q "trusted comment: by minisign"

# minisign's key and signatures (prehashed, then legacy), checked by tovarin-sign.
minisign -G -W -p theirs.pub -s theirs.key >/dev/null
minisign -S -s theirs.key -m other.bin -t "prehashed"
"$sign" verify -p theirs.pub other.bin | grep -q "trusted comment: prehashed"
minisign -S -l -s theirs.key -m other.bin -t "legacy"
"$sign" verify -p theirs.pub other.bin | grep -q "trusted comment: legacy"

# Refusals: a changed file, another key.
printf 'x' >> other.bin
if "$sign" verify -p theirs.pub other.bin 2>/dev/null; then echo "changed file accepted"; exit 1; fi
"$sign" sign -s ours.key firmware.bin
if "$sign" verify -p theirs.pub firmware.bin 2>/dev/null; then echo "other key accepted"; exit 1; fi
if minisign -V -q -p theirs.pub -m firmware.bin 2>/dev/null; then echo "minisign: other key"; exit 1; fi
echo "tovarin-sign and minisign agree"
