#!/usr/bin/env bash
# Makes the throwaway code-signing CA of this clone in <dir> for the tests and for
# the default key pin of every build tree (cmake/PublisherKeys.cmake), once: a CA
# that is there complete and made for <publisher> is left as it is, so that the
# product tree, the test tree and the Wine prefixes that trust its root keep
# agreeing. Otherwise it is made anew, as a whole:
#   root.crt / root.key       self-signed root (the prefixes trust it)
#   signer.key, signer-chain.crt   leaf with codeSigning EKU and the subject CN
#                                  <publisher>, signed by the root with SHA-1,
#                                  chain = leaf + root: the maker
#   impostor.key, impostor-chain.crt  the maker's CN <publisher> on another key
#   other.key, other-chain.crt     the same for another publisher ("Other Publisher")
#   expired.key, expired-chain.crt the same, but its validity ended long ago
#   twonames.crt                   the maker's key under two CNs, <publisher> and
#                                  "Other Publisher" (a certificate only)
#   <leaf>.der, <leaf>.spki-sha256 each leaf in DER, and the SHA-256 of its
#                                  SubjectPublicKeyInfo in lower-case hex, computed
#                                  as README's Security section tells a publisher
#   publisher.txt                  <publisher>
# Wine accepts a leaf that the CA signed with SHA-256 without checking the chain,
# and a signature carrying only the leaf as if it were a root; hence SHA-1 and the
# embedded root. Keys stay in the build folder and are never committed.
#   testca.sh <dir> [<publisher>]       (publisher default: Norvane)
set -euo pipefail
dir=$1
publisher=${2:-Norvane}
leaves=(signer impostor other expired twonames)
mkdir -p "$(dirname "$dir")"
# Build trees configured at the same time make it once between them.
exec 9>"$dir.lock"
flock 9

complete() {
  [ "$(cat "$dir/publisher.txt" 2>/dev/null)" = "$publisher" ] || return 1
  local leaf
  for leaf in "${leaves[@]}"; do
    [ -s "$dir/$leaf.der" ] && [ -s "$dir/$leaf.spki-sha256" ] || return 1
  done
  [ -s "$dir/root.crt" ]
}
if complete; then
  exit 0
fi

work=$(mktemp -d "$dir.new.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir db
: > db/index.txt
echo 1000 > db/serial

cat > ca.cnf <<'CNF'
[ ca ]
default_ca = test_ca
[ test_ca ]
database = db/index.txt
serial = db/serial
new_certs_dir = db
policy = any
unique_subject = no
copy_extensions = none
preserve = yes
[ any ]
commonName = supplied
[ cs ]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF

quiet() { "$@" >openssl.log 2>&1 || { cat openssl.log >&2; exit 1; }; }

quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.crt -days 3650 \
  -subj "/CN=Cellwise Test Root" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign

leaf() {  # leaf <name> <subject> <key: "new" or an existing key file> <validity options...>
  local name=$1 subject=$2 key=$3
  shift 3
  if [ "$key" = new ]; then
    quiet openssl req -utf8 -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" -subj "$subject"
  else
    quiet openssl req -utf8 -new -key "$key" -out "$name.csr" -subj "$subject"
  fi
  quiet openssl ca -batch -config ca.cnf -md sha1 -cert root.crt -keyfile root.key -in "$name.csr" \
    -out "$name.crt" -extfile ca.cnf -extensions cs -notext "$@"
  cat "$name.crt" root.crt > "$name-chain.crt"
  openssl x509 -in "$name.crt" -outform DER -out "$name.der"
  # The command line of README's Security section.
  openssl x509 -in "$name.crt" -noout -pubkey | openssl pkey -pubin -outform DER | openssl dgst -sha256 -r |
    cut -c1-64 > "$name.spki-sha256"
}
leaf signer "/CN=$publisher" new -days 825
leaf impostor "/CN=$publisher" new -days 825
leaf other "/CN=Other Publisher" new -days 825
leaf expired "/CN=Cellwise Expired Signer" new -startdate 20200101000000Z -enddate 20210101000000Z
leaf twonames "/CN=$publisher/CN=Other Publisher" signer.key -days 825
rm -f ./*.csr openssl.log twonames-chain.crt
printf '%s\n' "$publisher" > publisher.txt

rm -rf "$dir"
mv "$work" "$dir"
trap - EXIT
