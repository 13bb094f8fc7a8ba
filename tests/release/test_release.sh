#!/usr/bin/env bash
# tools/release.sh end to end. It refuses a maker's release without the pinned
# keys. Two copies of these sources, in folders of different path lengths, each
# make a release one after the other, with different SOURCE_DATE_EPOCH: a test
# release, and a release signed from a password-protected PKCS#12 file. Their
# unsigned shipped files are byte-identical (nothing in them depends on the
# folder, the clock or SOURCE_DATE_EPOCH); each archive holds exactly the four
# signed files, whose signatures verify and whose hashes SHA256SUMS lists.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
start=$SECONDS
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "test_release: FAIL: $*" >&2; exit 1; }
files=(Cellwise.exe Fetchrun.exe battery.dll hwlink.dll)
der_sha256() { openssl x509 -in "$1" -outform DER | sha256sum | cut -c1-64; }

# Refused before anything is built, and nothing is written.
touch "$tmp/maker.p12" "$tmp/maker.crt" "$tmp/maker.key"
refused() {  # refused <case> <part of the message> <command...>
  local name=$1 want=$2
  shift 2
  if "$@" >"$tmp/refused.log" 2>&1; then fail "$name: release.sh went ahead"; fi
  grep -qF -- "$want" "$tmp/refused.log" || { cat "$tmp/refused.log" >&2; fail "$name: no '$want'"; }
  [ ! -e "$tmp/refused-out" ] || fail "$name: an output folder was made"
}
release=("$root/tools/release.sh" --out "$tmp/refused-out")
refused "PKCS#12, no keys" "needs UPDATE_PUBLISHER_KEYS" \
  env -u UPDATE_PUBLISHER_KEYS "${release[@]}" --pkcs12 "$tmp/maker.p12"
refused "PEM pair, empty keys" "needs UPDATE_PUBLISHER_KEYS" \
  env UPDATE_PUBLISHER_KEYS= "${release[@]}" --cert "$tmp/maker.crt" --key "$tmp/maker.key"
refused "upper-case key" "64 lower-case hex digits" \
  env -u UPDATE_PUBLISHER_KEYS "${release[@]}" --pkcs12 "$tmp/maker.p12" \
  --publisher-keys "69315015D1E05E5924DAEBEAF18C6B690DA873BEA5723AF05A3267E19A07E33A"

# Two copies of the sources as they are in the work tree (tracked and new files).
copy_sources() {
  mkdir -p "$1"
  (cd "$root" && git ls-files -z --cached --others --exclude-standard \
     | while IFS= read -r -d '' f; do if [ -e "$f" ]; then printf '%s\0' "$f"; fi; done \
     | tar --null -T - -cf -) | tar -xf - -C "$1"
}
one=$tmp/one
two=$tmp/the-second-copy-of-the-sources
copy_sources "$one"
copy_sources "$two"

"$root/tools/testca.sh" "$tmp/ca"
maker_key=$(openssl x509 -in "$tmp/ca/signer.crt" -noout -pubkey | openssl pkey -pubin -outform DER \
  | sha256sum | cut -c1-64)

# A test release: signed by the test CA, whose maker key it pins.
SOURCE_DATE_EPOCH=1700000000 env -u UPDATE_PUBLISHER_KEYS "$one/tools/release.sh" --test-ca "$tmp/ca" --out "$tmp/out-test" \
  >"$tmp/release-test.log" 2>&1 || { cat "$tmp/release-test.log" >&2; fail "the test release failed"; }
grep -qx "UPDATE_PUBLISHER_KEYS:[A-Z]*=$maker_key" "$one/build/release-build/CMakeCache.txt" \
  || fail "the test release did not pin the test CA's maker key $maker_key"

# A maker's release from a PKCS#12 file with a password, the same keys, later.
printf '%s' 'pass word' | openssl pkcs12 -export -inkey "$tmp/ca/signer.key" -in "$tmp/ca/signer.crt" \
  -certfile "$tmp/ca/root.crt" -out "$tmp/maker.p12" -passout stdin
SOURCE_DATE_EPOCH=1710000000 RELEASE_PASSWORD='pass word' UPDATE_PUBLISHER_KEYS=$maker_key \
  "$two/tools/release.sh" --pkcs12 "$tmp/maker.p12" --ca-file "$tmp/ca/root.crt" --out "$tmp/out-maker" \
  >"$tmp/release-maker.log" 2>&1 || { cat "$tmp/release-maker.log" >&2; fail "the PKCS#12 release failed"; }

# The same sources and keys, built in other folders at other times: the same bytes.
for f in "${files[@]}"; do
  a=$(sha256sum <"$one/build/release-build/ship/$f" | cut -c1-64)
  b=$(sha256sum <"$two/build/release-build/ship/$f" | cut -c1-64)
  [ "$a" = "$b" ] || fail "$f is not reproducible: $a in $one, $b in $two"
done

# What each release holds: archive name and comment, exactly the four files with
# the fixed time, hashes that SHA256SUMS lists, signatures of the maker's leaf.
check_release() {  # check_release <folder> <archive name pattern> <comment pattern> <entry time> <other files...>
  local out=$1 name_pattern=$2 comment_pattern=$3 entry_time=$4
  shift 4
  local archives=("$out"/Cellwise-*.zip)
  [ ${#archives[@]} -eq 1 ] || fail "$out: ${#archives[@]} archives"
  local archive
  archive=$(basename "${archives[0]}")
  [[ $archive =~ $name_pattern ]] || fail "$out: archive $archive"
  local listed
  listed=$(cd "$out" && ls | LC_ALL=C sort | tr '\n' ' ')
  [ "$listed" = "$(printf '%s\n' "$archive" SHA256SUMS "$@" | LC_ALL=C sort | tr '\n' ' ')" ] \
    || fail "$out holds $listed"
  python3 - "$out/$archive" "$comment_pattern" "$entry_time" <<'PY' || fail "$out/$archive: entries or comment"
import re, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
entries = [(i.filename, "%04d-%02d-%02d %02d:%02d:%02d" % i.date_time) for i in z.infolist()]
want = [(n, sys.argv[3]) for n in ("Cellwise.exe", "Fetchrun.exe", "battery.dll", "hwlink.dll")]
if entries != want or not re.fullmatch(sys.argv[2], z.comment.decode()):
    sys.exit(f"entries {entries}, comment {z.comment!r}")
z.extractall(sys.argv[1].rsplit("/", 1)[0])
PY
  [ "$(cut -c67- "$out/SHA256SUMS" | tr '\n' ' ')" = "Cellwise.exe Fetchrun.exe battery.dll hwlink.dll $archive " ] \
    || fail "$out/SHA256SUMS lists $(cut -c67- "$out/SHA256SUMS" | tr '\n' ' ')"
  (cd "$out" && sha256sum --quiet --strict -c SHA256SUMS) || fail "$out: hashes differ from SHA256SUMS"
  for f in "${files[@]}"; do
    osslsigncode verify -CAfile "$tmp/ca/root.crt" -require-leaf-hash "sha256:$(der_sha256 "$tmp/ca/signer.crt")" \
      -in "$out/$f" >"$tmp/verify.log" 2>&1 || { cat "$tmp/verify.log" >&2; fail "$out/$f: signature"; }
  done
}
check_release "$tmp/out-test" '^Cellwise-[0-9]+\.[0-9]+\.[0-9]+-test-release\.zip$' '^TEST RELEASE .*' \
  "2023-11-14 22:13:20" test-root.crt
check_release "$tmp/out-maker" '^Cellwise-[0-9]+\.[0-9]+\.[0-9]+\.zip$' '^Cellwise [0-9.]+$' \
  "2024-03-09 16:00:00"

cmp -s "$tmp/out-test/test-root.crt" "$tmp/ca/root.crt" || fail "test-root.crt is not the test CA's root"

echo "test_release: passed in $((SECONDS - start)) s"
