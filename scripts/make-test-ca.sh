#!/usr/bin/env bash
# Makes a throwaway certificate authority and a server certificate it signed,
# for the lab's HTTPS update server and the tests. Nothing here is secret or
# kept: every run makes new keys.
#
#   scripts/make-test-ca.sh DIR [SUBJECT-ALT-NAMES]
#
# Writes DIR/ca.pem (give it to --ca-file), DIR/server.pem and DIR/server.key
# (give them to tovarin-devsim --https). The server certificate names
# SUBJECT-ALT-NAMES, default "IP:127.0.0.1,DNS:localhost".
set -euo pipefail
dir=${1:?usage: make-test-ca.sh DIR [SUBJECT-ALT-NAMES]}
names=${2:-IP:127.0.0.1,DNS:localhost}
mkdir -p "$dir"
cd "$dir"
curve=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
openssl req -x509 "${curve[@]}" -keyout ca.key -out ca.pem -days 2 \
  -subj "/CN=Tovarin test authority" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
openssl req -new "${curve[@]}" -keyout server.key -out server.csr \
  -subj "/CN=Tovarin lab update server" 2>/dev/null
printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$names" \
  >server.ext
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
  -extfile server.ext -out server.pem 2>/dev/null
rm -f server.csr server.ext ca.srl
chmod 600 ca.key server.key
