#!/bin/sh
# Runs a command in a private mount namespace whose system trust file also holds a test
# authority made for this run, so TLS tests reach a server with a certificate of their own
# while neither the machine nor a player's build trusts anything new. It exports
# ZEVA_TEST_TLS: a folder with the authority's localhost.crt/.key, wrong-host.crt/.key (a
# certificate of the authority for another name) and untrusted.crt/.key (self-signed).
# Exits 77 (skipped) where no private mount namespace can be made.
set -eu
if [ "$(id -u)" -ne 0 ] || ! unshare -m true 2>/dev/null; then
  echo "with_test_authority: no private mount namespace here (root needed): skipped"
  exit 77
fi
system=/etc/ssl/certs/ca-certificates.crt
[ -f "$system" ] || { echo "with_test_authority: no $system"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
quiet() { "$@" >/dev/null 2>&1 || { echo "with_test_authority: failed: $*"; exit 1; }; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=ZEVA test authority" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
  -keyout ca.key -out ca.crt
for name in localhost:localhost wrong-host:wrong.example; do
  file=${name%%:*} host=${name#*:}
  quiet openssl req -newkey rsa:2048 -nodes -subj "/CN=$host" -keyout "$file.key" -out "$file.csr"
  printf 'subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' \
    "$host" >"$file.ext"
  quiet openssl x509 -req -in "$file.csr" -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 \
    -extfile "$file.ext" -out "$file.crt"
done
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=localhost" \
  -addext subjectAltName=DNS:localhost -keyout untrusted.key -out untrusted.crt
cat "$system" ca.crt >bundle.crt
cd /
export ZEVA_TEST_TLS="$dir"
status=0
unshare -m sh -c 'mount --bind "$ZEVA_TEST_TLS/bundle.crt" /etc/ssl/certs/ca-certificates.crt &&
  exec "$@"' sh "$@" || status=$?
exit $status
