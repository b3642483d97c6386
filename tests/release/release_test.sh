#!/usr/bin/env bash
# scripts/release end to end: every refusal writes nothing; two releases of the same sources and
# images, built in different folders at different times, are the same bit for bit; a release
# signed with a throwaway certificate verifies; the package holds what it says.
#   release_test.sh <work folder>
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export ROOT="$root"
work=$(realpath -m "$1")
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}
ok() {
    echo "ok   $*"
}

# Test images of the catalogue's IDs and sizes; their bytes are nobody's firmware.
python3 - "$work/images" <<'PY'
import hashlib, os, sys
sys.path.insert(0, os.path.join(os.environ["ROOT"], "resources", "firmware"))
from make_firmware_rc import STORED_IMAGES
os.makedirs(sys.argv[1])
for image_id, size in STORED_IMAGES.items():
    data = b"".join(hashlib.sha256(b"release test %d %d" % (image_id, i)).digest() for i in range((size + 31) // 32))
    open(os.path.join(sys.argv[1], f"{image_id}.bin"), "wb").write(data[:size])
PY

# Each refusal: a non-zero exit, the reason said, and no out folder.
refuses() {
    local name=$1 expect=$2
    shift 2
    local out="$work/refused-$name"
    if output=$("$@" "$out" 2>&1); then
        fail "$name: the release was made"
    elif [[ "$output" != *"$expect"* ]]; then
        fail "$name: expected '$expect' in: $output"
    elif [ -e "$out" ]; then
        fail "$name: $out was written"
    else
        ok "$name refused: $expect"
    fi
}
variant() {
    rm -rf "$work/$1"
    cp -r "$work/images" "$work/$1"
}
if output=$("$root/scripts/release" 2>&1); then fail "no argument: a release was made"; else
    [[ "$output" == *"a release needs the real firmware images"* ]] && ok "no argument refused" || fail "no argument: $output"
fi
refuses missing-folder "is not a folder of firmware images" "$root/scripts/release" "$work/nowhere"
variant missing-image; rm "$work/missing-image/151.bin"
refuses missing-image "151.bin is missing" "$root/scripts/release" "$work/missing-image"
variant wrong-size; head -c 98256 "$work/images/172.bin" >"$work/wrong-size/172.bin"
refuses wrong-size "172.bin is 98256 bytes, not the 98304 the catalogue gives for image 172" "$root/scripts/release" "$work/wrong-size"
variant extra-file; echo notes >"$work/extra-file/notes.txt"
refuses extra-file "notes.txt is not a stored image of the catalogue" "$root/scripts/release" "$work/extra-file"
variant placeholder
python3 "$root/resources/firmware/make_firmware_rc.py" --out "$work/placeholder-build" 2>/dev/null
cp "$work/placeholder-build/placeholders/157.bin" "$work/placeholder/157.bin"
refuses placeholder "157.bin is the generated placeholder, not firmware" "$root/scripts/release" "$work/placeholder"

# Two releases, in build folders of their own, one after the other.
started=$(date +%s)
ZEFRAN_RELEASE_BUILD="$work/build-a" "$root/scripts/release" "$work/images" "$work/out-a"
echo "a release from a fresh build folder took $(( $(date +%s) - started )) s"
sleep 2
ZEFRAN_RELEASE_BUILD="$work/build-b" "$root/scripts/release" "$work/images" "$work/out-b"
name=zefran-hvi-updater-1.18
exes=("$name.exe" "$name-x86.exe")
for file in "$name.zip" "$name.unsigned.exe" "$name-x86.unsigned.exe" SHA256SUMS; do
    cmp -s "$work/out-a/$file" "$work/out-b/$file" && ok "$file is the same bit for bit" || fail "$file differs between the two builds"
done
sha256sum "$work"/out-[ab]/*.unsigned.exe

# An exe that cannot be built (here its build folder is a file) leaves no release of the other.
mv "$work/build-a-x86" "$work/build-a-x86.kept"
touch "$work/build-a-x86"
refuses one-exe "the windows-x86 exe could not be built: a release holds both exes or none" \
    env ZEFRAN_RELEASE_BUILD="$work/build-a" "$root/scripts/release" "$work/images"
rm "$work/build-a-x86"
mv "$work/build-a-x86.kept" "$work/build-a-x86"

# What the package holds, and that its sums hold.
mkdir -p "$work/unpacked"
unzip -q "$work/out-a/$name.zip" -d "$work/unpacked"
expected=$(printf '%s\n' SHA256SUMS "${exes[@]}" guide/user-guide.de.md guide/user-guide.en.md guide/user-guide.de.html \
    guide/user-guide.en.html)
expected+=$'\n'$(cd "$root/docs" && ls screenshots/*.png | sed 's|^|guide/|')
actual=$(cd "$work/unpacked" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$(LC_ALL=C sort <<<"$expected")" ] && ok "the package holds both exes, the guide and SHA256SUMS" ||
    fail "the package holds: $actual"
for guide in en de; do
    page="$work/unpacked/guide/user-guide.$guide.html"
    pictures=$(grep -c '](screenshots/' "$root/docs/user-guide.$guide.md")
    [ "$(grep -o '<img [^>]*src="data:image/png;base64,' "$page" | wc -l)" -eq "$pictures" ] &&
        ! grep -q 'src="screenshots/' "$page" && ok "the $guide guide's HTML carries its $pictures pictures" ||
        fail "the $guide guide's HTML does not carry its $pictures pictures"
done
(cd "$work/unpacked" && sha256sum --quiet -c SHA256SUMS 2>/dev/null) && ok "SHA256SUMS checks" || fail "SHA256SUMS does not check"
for file in "${exes[@]}"; do
    unsigned="$work/out-a/${file%.exe}.unsigned.exe"
    grep -q "^# $(sha256sum "$unsigned" | cut -d' ' -f1)  $file before signing" "$work/unpacked/SHA256SUMS" &&
        ok "SHA256SUMS records the unsigned $file" || fail "SHA256SUMS lacks the unsigned $file's hash"
    cmp -s "$work/unpacked/$file" "$unsigned" && ok "$file unsigned without a certificate" ||
        fail "$file in an unsigned package is not the build's"
    headers=$(x86_64-w64-mingw32-objdump -p "$work/unpacked/$file")
    grep -q "Time/Date.*Jan  1 00:00:00 1970" <<<"$headers" && ok "$file: no link timestamp" || fail "$file carries a link timestamp"
    ! grep -aq "$work" "$work/unpacked/$file" && ok "$file: no build folder's path" || fail "$file names its build folder"
done
# The 32-bit exe: PE32 for i386, relocatable (ASLR) and with DEP, and the resources of the other.
headers=$(x86_64-w64-mingw32-objdump -p "$work/unpacked/${exes[1]}")
grep -q "file format pei-i386" <<<"$headers" && ok "${exes[1]} is a PE32 for i386" || fail "${exes[1]} is not a PE32 for i386"
characteristics=$((16#$(sed -n 's/^DllCharacteristics\s*//p' <<<"$headers")))
(( (characteristics & 0x40) && (characteristics & 0x100) )) && x86_64-w64-mingw32-objdump -h "$work/unpacked/${exes[1]}" |
    grep -q " \.reloc " && ok "${exes[1]} is relocatable with ASLR and DEP" || fail "${exes[1]} lacks ASLR or DEP"
resources() { x86_64-w64-mingw32-windres -i "$1" -J coff -O rc 2>&1 | sed 's/^#line.*//'; }
x64_resources=$(resources "$work/unpacked/${exes[0]}")
grep -q "RT_MANIFEST" <<<"$x64_resources" && [ "$x64_resources" = "$(resources "$work/unpacked/${exes[1]}")" ] &&
    ok "both exes carry the same resources, the manifest among them" || fail "the exes' resources differ or were not read"

# Signed with a throwaway certificate that this test makes.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=ZEFRAN release test" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -out "$work/test.pfx" -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass:throwaway
ZEFRAN_RELEASE_BUILD="$work/build-a" ZEFRAN_SIGN_PFX="$work/test.pfx" ZEFRAN_SIGN_PASSWORD=throwaway \
    ZEFRAN_SIGN_CA="$work/cert.pem" "$root/scripts/release" "$work/images" "$work/out-signed" | tee "$work/signed.log"
[ "$(grep -c "the signature of .* is NOT timestamped" "$work/signed.log")" -eq 2 ] &&
    ok "signatures without a timestamp are said to be so" || fail "the release did not say that its signatures are not timestamped"
mkdir -p "$work/signed"
unzip -q "$work/out-signed/$name.zip" -d "$work/signed"
for file in "${exes[@]}"; do
    if osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/$file" >"$work/verify.txt" 2>&1; then
        ok "the signed $file verifies"
    else
        fail "the signed $file does not verify: $(cat "$work/verify.txt")"
    fi
    grep -q "Message digest algorithm.*SHA256" "$work/verify.txt" && ok "$file: Authenticode SHA-256" || fail "$file not signed with SHA-256"
    unsigned="${file%.exe}.unsigned.exe"
    cmp -s "$work/out-signed/$unsigned" "$work/out-a/$unsigned" && ok "signing leaves the build of $file as it was" ||
        fail "the unsigned $file of the signed release differs"
done

# Timestamped by a throwaway RFC 3161 authority on 127.0.0.1 that this test starts and ends.
mkdir -p "$work/tsa"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/tsa/tsa.key" -out "$work/tsa/tsa.pem" -days 2 \
    -subj "/CN=ZEFRAN release test TSA" -addext "extendedKeyUsage=critical,timeStamping" 2>/dev/null
echo 01 >"$work/tsa/serial"
cat >"$work/tsa/tsa.cnf" <<'CNF'
[ tsa ]
default_tsa = throwaway
[ throwaway ]
serial = ./serial
signer_cert = ./tsa.pem
signer_key = ./tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.99999.1
digests = sha256, sha1
accuracy = secs:1
ess_cert_id_alg = sha256
CNF
coproc responder { python3 "$root/tests/release/tsa_responder.py" "$work/tsa/tsa.cnf"; }
read -r -t 10 port <&"${responder[0]}" || port=
if [ -z "$port" ]; then
    fail "the throwaway time-stamping authority did not start"
else
    ZEFRAN_RELEASE_BUILD="$work/build-a" ZEFRAN_SIGN_PFX="$work/test.pfx" ZEFRAN_SIGN_PASSWORD=throwaway \
        ZEFRAN_SIGN_CA="$work/cert.pem" ZEFRAN_SIGN_TIMESTAMP_URL="http://127.0.0.1:$port/" \
        ZEFRAN_SIGN_TSA_CA="$work/tsa/tsa.pem" "$root/scripts/release" "$work/images" "$work/out-stamped" ||
        fail "the timestamped release was not made"
    mkdir -p "$work/stamped"
    unzip -q "$work/out-stamped/$name.zip" -d "$work/stamped" 2>/dev/null
    for file in "${exes[@]}"; do
        osslsigncode verify -CAfile "$work/cert.pem" -TSA-CAfile "$work/tsa/tsa.pem" -in "$work/stamped/$file" \
            >"$work/stamped-verify.txt" 2>&1 || fail "the timestamped $file does not verify: $(cat "$work/stamped-verify.txt")"
        grep -q "^Timestamp Server Signature verification: ok" "$work/stamped-verify.txt" &&
            ok "the signed $file carries a timestamp that verifies" || fail "the signed $file carries no timestamp that verifies"
    done
fi
[ -z "${responder_PID:-}" ] || kill "$responder_PID" 2>/dev/null || true

echo "$failures failed"
[ "$failures" -eq 0 ]
