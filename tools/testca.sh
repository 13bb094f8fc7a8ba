#!/usr/bin/env bash
# Makes a throwaway code-signing CA in <dir> for the tests, anew each time:
#   root.crt / root.key       self-signed root (the prefix trusts it)
#   signer.key, signer-chain.crt   leaf with codeSigning EKU and the subject CN
#                                  <publisher>, signed by the root with SHA-1,
#                                  chain = leaf + root
#   other.key, other-chain.crt     the same for another publisher ("Other Publisher")
#   expired.key, expired-chain.crt the same, but its validity ended long ago
# Wine accepts a leaf that the CA signed with SHA-256 without checking the chain,
# and a signature carrying only the leaf as if it were a root; hence SHA-1 and the
# embedded root. Keys stay in the build tree.
#   testca.sh <dir> [<publisher>]       (publisher default: Norvane)
set -euo pipefail
dir=$1
publisher=${2:-Norvane}
mkdir -p "$dir"
cd "$dir"
rm -rf db && mkdir db
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

leaf() {  # leaf <name> <subject> <validity options...>
  local name=$1 subject=$2
  shift 2
  quiet openssl req -utf8 -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" -subj "/CN=$subject"
  quiet openssl ca -batch -config ca.cnf -md sha1 -cert root.crt -keyfile root.key -in "$name.csr" \
    -out "$name.crt" -extfile ca.cnf -extensions cs -notext "$@"
  cat "$name.crt" root.crt > "$name-chain.crt"
}
leaf signer "$publisher" -days 825
leaf other "Other Publisher" -days 825
leaf expired "Cellwise Expired Signer" -startdate 20200101000000Z -enddate 20210101000000Z
rm -f ./*.csr openssl.log
