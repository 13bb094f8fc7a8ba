#!/usr/bin/env bash
# Makes a release: builds the product (preset win32) in a clean build folder,
# checks the shipped files, Authenticode-signs Cellwise.exe, Fetchrun.exe,
# hwlink.dll and battery.dll, verifies each signature, and writes SHA256SUMS and
# one .zip archive into the output folder.
#
#   tools/release.sh [options]
#
# The signing certificate (one of):
#   --pkcs12 <file>          PKCS#12 file with the key and the certificate chain   [RELEASE_PKCS12]
#   --cert <file> --key <file>
#                            PEM certificate chain (leaf first) and PEM private key [RELEASE_CERT, RELEASE_KEY]
#   its password, when it has one: the file named by --password-file, or the
#   variable RELEASE_PASSWORD itself                                                [RELEASE_PASSWORD_FILE]
# Without a certificate the release is a test release, signed by a test CA.
#
#   --publisher-keys <list>  SHA-256 of the SubjectPublicKeyInfo of the keys whose
#                            update programs Fetchrun.exe starts, ';'-separated,
#                            64 lower-case hex digits each. Required with a
#                            certificate; a test release pins its test CA's key.  [UPDATE_PUBLISHER_KEYS]
#   --publisher <name>       the update programs' signer name (default Norvane)  [UPDATE_PUBLISHER]
#   --timestamp <url>        RFC 3161 time-stamp server                            [RELEASE_TIMESTAMP_URL]
#   --ca-file <file>         CA certificates the signatures are verified against
#                            (default: osslsigncode's, the system's bundle)        [RELEASE_CA_FILE]
#   --tsa-ca-file <file>     the same for the time stamps                          [RELEASE_TSA_CA_FILE]
#   --test-ca <dir>          the test CA of a test release, made there when
#                            missing (default build/release-testca)
#   --out <dir>              output folder (default build/release, replaced each
#                            time; a folder given here must be missing or empty)
#
# The build folder is build/release-build, made anew each time. Zip entry times
# are SOURCE_DATE_EPOCH, or the time of the last commit when it is not set.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
product_files=(Cellwise.exe Fetchrun.exe battery.dll hwlink.dll)

die() { echo "release: $*" >&2; exit 1; }
refuse() { echo "release: $*" >&2; exit 2; }
need_value() { [ $# -ge 2 ] || refuse "$1 needs a value"; }

pkcs12=${RELEASE_PKCS12:-}
cert=${RELEASE_CERT:-}
key=${RELEASE_KEY:-}
password_file=${RELEASE_PASSWORD_FILE:-}
keys=${UPDATE_PUBLISHER_KEYS:-}
publisher=${UPDATE_PUBLISHER:-Norvane}
ts_url=${RELEASE_TIMESTAMP_URL:-}
ca_file=${RELEASE_CA_FILE:-}
tsa_ca_file=${RELEASE_TSA_CA_FILE:-}
test_ca=$root/build/release-testca
out=""
while [ $# -gt 0 ]; do
  case $1 in
    --pkcs12) need_value "$@"; pkcs12=$2; shift 2 ;;
    --cert) need_value "$@"; cert=$2; shift 2 ;;
    --key) need_value "$@"; key=$2; shift 2 ;;
    --password-file) need_value "$@"; password_file=$2; shift 2 ;;
    --publisher-keys) need_value "$@"; keys=$2; shift 2 ;;
    --publisher) need_value "$@"; publisher=$2; shift 2 ;;
    --timestamp) need_value "$@"; ts_url=$2; shift 2 ;;
    --ca-file) need_value "$@"; ca_file=$2; shift 2 ;;
    --tsa-ca-file) need_value "$@"; tsa_ca_file=$2; shift 2 ;;
    --test-ca) need_value "$@"; test_ca=$2; shift 2 ;;
    --out) need_value "$@"; out=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) refuse "unknown argument '$1' (see --help)" ;;
  esac
done

for tool in cmake ninja ctest openssl osslsigncode python3 sha256sum; do
  command -v "$tool" >/dev/null || die "$tool is missing (tools/setup.sh installs it)"
done

# What signs: a PKCS#12 file, a PEM pair, or (neither) the test CA.
if [ -n "$pkcs12" ] && { [ -n "$cert" ] || [ -n "$key" ]; }; then
  refuse "give either a PKCS#12 file or a PEM certificate and key, not both"
fi
if { [ -n "$cert" ] && [ -z "$key" ]; } || { [ -z "$cert" ] && [ -n "$key" ]; }; then
  refuse "a PEM certificate needs its key and a key its certificate (--cert and --key)"
fi
test_release=false
[ -n "$pkcs12" ] || [ -n "$cert" ] || test_release=true
for f in "$pkcs12" "$cert" "$key" "$password_file" "$ca_file" "$tsa_ca_file"; do
  [ -z "$f" ] || [ -f "$f" ] || refuse "no such file: $f"
done
if $test_release && { [ -n "$password_file" ] || [ -n "${RELEASE_PASSWORD:-}" ]; }; then
  refuse "a password was given but no certificate (--pkcs12, or --cert and --key)"
fi

# The keys Fetchrun.exe pins. A real release is given them; never the test CA's.
check_keys() {
  local k list
  IFS=';' read -r -a list <<<"$1"
  [ ${#list[@]} -gt 0 ] || return 1
  for k in "${list[@]}"; do
    [[ $k =~ ^[0-9a-f]{64}$ ]] || return 1
  done
}
if ! $test_release && [ -z "$keys" ]; then
  refuse "a release signed with a maker's certificate needs UPDATE_PUBLISHER_KEYS (or --publisher-keys):
  the SHA-256 of the SubjectPublicKeyInfo of each key whose update programs Fetchrun.exe may start.
  Without it Fetchrun.exe would start only programs signed by the test CA. Compute a value with
    openssl x509 -in maker.crt -noout -pubkey | openssl pkey -pubin -outform DER | sha256sum"
fi
if [ -n "$keys" ] && ! check_keys "$keys"; then
  refuse "UPDATE_PUBLISHER_KEYS must be a ';'-separated list of 64 lower-case hex digits each, not '$keys'"
fi

# The output folder: checked now, filled only when everything has succeeded.
replace_out=false
if [ -z "$out" ]; then
  out=$root/build/release
  replace_out=true
elif [ -e "$out" ] && { [ ! -d "$out" ] || [ -n "$(ls -A "$out")" ]; }; then
  refuse "the output folder $out must be missing or empty"
fi

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) \
    || die "no SOURCE_DATE_EPOCH and no git history to take the time of the last commit from: set SOURCE_DATE_EPOCH"
fi
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || refuse "SOURCE_DATE_EPOCH must be seconds since 1970, not '$SOURCE_DATE_EPOCH'"
export SOURCE_DATE_EPOCH
if ! $test_release && [ -n "$(git -C "$root" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "release: warning: the work tree has uncommitted changes; this release is not built from a commit" >&2
fi

version=$(sed -n 's/^project(Cellwise VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || die "no project version in $root/CMakeLists.txt"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The password reaches osslsigncode and openssl on their standard input, never
# on a command line.
has_password=false
if [ -n "$password_file" ] || [ -n "${RELEASE_PASSWORD:-}" ]; then has_password=true; fi
password() {
  if [ -n "$password_file" ]; then cat -- "$password_file"; else printf '%s' "${RELEASE_PASSWORD:-}"; fi
}

sha256_hex() { sha256sum | cut -c1-64; }
spki_hash() {  # PEM certificate on stdin
  openssl x509 -noout -pubkey | openssl pkey -pubin -outform DER | sha256_hex
}

if $test_release; then
  if [ ! -f "$test_ca/signer.key" ]; then
    echo "release: making the test CA in $test_ca"
    "$root/tools/testca.sh" "$test_ca" "$publisher"
  fi
  subject=$(openssl x509 -in "$test_ca/signer.crt" -noout -subject -nameopt RFC2253,-esc_2253,-esc_msb,utf8)
  [ "$subject" = "subject=CN=$publisher" ] \
    || die "the test CA in $test_ca signs as '${subject#subject=}', not as CN=$publisher: give another --test-ca"
  cert=$test_ca/signer-chain.crt
  key=$test_ca/signer.key
  ca_file=$test_ca/root.crt
  [ -n "$keys" ] || keys=$(spki_hash <"$cert")
fi

# The leaf certificate that signs: each signature must carry exactly it.
if [ -n "$pkcs12" ]; then
  leaf_ok=false
  for legacy in "" -legacy; do
    # shellcheck disable=SC2086 # $legacy is one option or none
    if password | openssl pkcs12 $legacy -in "$pkcs12" -nokeys -clcerts -passin stdin \
        2>"$tmp/openssl.log" | openssl x509 -out "$tmp/leaf.pem" 2>>"$tmp/openssl.log"; then
      leaf_ok=true
      break
    fi
  done
  $leaf_ok || { cat "$tmp/openssl.log" >&2; die "cannot read the certificate in $pkcs12 (wrong password?)"; }
else
  openssl x509 -in "$cert" -out "$tmp/leaf.pem" 2>"$tmp/openssl.log" \
    || { cat "$tmp/openssl.log" >&2; die "no PEM certificate in $cert"; }
fi
leaf_hash=$(openssl x509 -in "$tmp/leaf.pem" -outform DER | sha256_hex)
if ! $test_release && [[ ";$keys;" != *";$(spki_hash <"$tmp/leaf.pem");"* ]]; then
  echo "release: note: the signing key is not among UPDATE_PUBLISHER_KEYS: Fetchrun.exe will not start" \
       "update programs signed with it" >&2
fi

# A clean build of the product, with the pinned keys given explicitly.
build=$root/build/release-build
rm -rf "$build"
mkdir -p "$build"
echo "release: building Cellwise $version in $build (log: $build/release-build.log)"
{
  (cd "$root" && cmake --preset win32 -B "$build" \
     "-DUPDATE_PUBLISHER_KEYS=$keys" "-DUPDATE_PUBLISHER=$publisher") \
  && cmake --build "$build" \
  && ctest --test-dir "$build" --output-on-failure
} >"$build/release-build.log" 2>&1 || { tail -n 40 "$build/release-build.log" >&2; die "the build or its checks failed"; }

# Sign and verify each file.
mkdir "$tmp/stage"
sign_args=(-h sha256)
if [ -n "$pkcs12" ]; then sign_args+=(-pkcs12 "$pkcs12"); else sign_args+=(-certs "$cert" -key "$key"); fi
if $has_password; then sign_args+=(-readpass -); fi
if [ -n "$ts_url" ]; then sign_args+=(-ts "$ts_url"); fi
verify_args=(-require-leaf-hash "sha256:$leaf_hash")
if [ -n "$ca_file" ]; then verify_args+=(-CAfile "$ca_file"); fi
if [ -n "$tsa_ca_file" ]; then verify_args+=(-TSA-CAfile "$tsa_ca_file"); fi
for f in "${product_files[@]}"; do
  [ -f "$build/ship/$f" ] || die "the build made no $f"
  if $has_password; then
    password | osslsigncode sign "${sign_args[@]}" -n "${f%.*}" -in "$build/ship/$f" -out "$tmp/stage/$f" \
      >"$tmp/sign.log" 2>&1 || { cat "$tmp/sign.log" >&2; die "signing $f failed"; }
  else
    osslsigncode sign "${sign_args[@]}" -n "${f%.*}" -in "$build/ship/$f" -out "$tmp/stage/$f" \
      </dev/null >"$tmp/sign.log" 2>&1 || { cat "$tmp/sign.log" >&2; die "signing $f failed"; }
  fi
  osslsigncode verify "${verify_args[@]}" -in "$tmp/stage/$f" >"$tmp/verify.log" 2>&1 \
    || { cat "$tmp/verify.log" >&2; die "the signature of $f does not verify"; }
  echo "release: signed and verified $f"
done

# The archive: the four files, in name order, each with the time SOURCE_DATE_EPOCH.
if $test_release; then
  archive=Cellwise-$version-test-release.zip
  comment="TEST RELEASE of Cellwise $version: signed by a test CA that no Windows trusts, not for distribution."
else
  archive=Cellwise-$version.zip
  comment="Cellwise $version"
fi
python3 - "$tmp/stage/$archive" "$SOURCE_DATE_EPOCH" "$comment" "$tmp/stage" "${product_files[@]}" <<'PY'
import os, sys, time, zipfile
archive, epoch, comment, folder, *names = sys.argv[1:]
# Zip times are local times from 1980 on; the epoch is written as UTC.
stamp = time.gmtime(max(int(epoch), 315532800))[:6]
with zipfile.ZipFile(archive, "w") as z:
    z.comment = comment.encode("ascii")
    for name in sorted(names):
        info = zipfile.ZipInfo(name, date_time=stamp)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 3
        info.external_attr = 0o100644 << 16
        with open(os.path.join(folder, name), "rb") as f:
            z.writestr(info, f.read(), compresslevel=9)
PY
(cd "$tmp/stage" && LC_ALL=C sha256sum -- "${product_files[@]}" "$archive") >"$tmp/stage/SHA256SUMS"

# Publish: the archive, SHA256SUMS and, for a test release, the test CA's root.
if $replace_out; then rm -rf "$out"; fi
mkdir -p "$out"
[ -z "$(ls -A "$out")" ] || die "the output folder $out is no longer empty"
cp "$tmp/stage/$archive" "$tmp/stage/SHA256SUMS" "$out/"
if $test_release; then
  cp "$ca_file" "$out/test-root.crt"
  echo "release: TEST RELEASE in $out (verify with: osslsigncode verify -CAfile test-root.crt -in <file>)"
else
  echo "release: Cellwise $version in $out"
fi
(cd "$out" && ls -l)
