#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Makes, in the folder FOLDER, what the signing tests sign with: a test certificate authority
# (ca.pem), certificates it issued to a bidder (signer: valid for signatures; expired; future:
# not valid yet; encryption: not meant for signatures; critical: with a critical extension no
# one knows; weak: on a 1024-bit RSA key, weak.key; authority: a certificate authority's), each
# with its key in a .p12 protected by the password "secret", and a SoftHSM2 token labelled
# "Bidder" (user PIN 1234) holding the signer's and the expired certificate with their keys and
# the authority's certificate. SOFTHSM2_CONF=FOLDER/softhsm2.conf reaches the token; the folder
# tokens.pristine keeps the token as made, for tests that want one of their own.
set -euo pipefail
folder=$(realpath "$1")
cd "$folder"

template() { # NAME LINES...: a certtool template
    local name=$1
    shift
    printf '%s\n' "$@" >"$name.tmpl"
}

certtool --generate-privkey --key-type ecdsa --outfile ca.key 2>/dev/null
template ca 'cn = "Удостоверяващ орган за тестове"' ca cert_signing_key 'expiration_days = 3650'
certtool --generate-self-signed --load-privkey ca.key --template ca.tmpl --outfile ca.pem 2>/dev/null

# One key serves every certificate of the bidder: what differs is what the certificates say.
certtool --generate-privkey --key-type rsa --bits 2048 --outfile bidder.key 2>/dev/null
bidder=('cn = "Иван Петров"' 'o = "Медика ООД"')
template signer "${bidder[@]}" 'serial = 1' signing_key 'expiration_days = 365'
template expired "${bidder[@]}" 'serial = 2' signing_key \
    'activation_date = "2020-01-01 00:00:00"' 'expiration_date = "2021-01-01 00:00:00"'
template future "${bidder[@]}" 'serial = 3' signing_key \
    'activation_date = "2090-01-01 00:00:00"' 'expiration_date = "2091-01-01 00:00:00"'
template encryption "${bidder[@]}" 'serial = 4' encryption_key 'expiration_days = 365'
template critical "${bidder[@]}" 'serial = 5' signing_key 'expiration_days = 365' \
    'add_critical_extension = "1.3.6.1.4.1.55555.1 0x0500"'
template weak "${bidder[@]}" 'serial = 6' signing_key 'expiration_days = 365'
template authority "${bidder[@]}" 'serial = 7' ca signing_key cert_signing_key \
    'expiration_days = 365'
certtool --generate-privkey --key-type rsa --bits 1024 --outfile weak.key 2>/dev/null
for name in signer expired future encryption critical weak authority; do
    key=bidder.key
    [ "$name" = weak ] && key=weak.key
    certtool --generate-certificate --load-privkey "$key" --load-ca-certificate ca.pem \
        --load-ca-privkey ca.key --template "$name.tmpl" --outfile "$name.pem" 2>/dev/null
    certtool --to-p12 --load-privkey "$key" --load-certificate "$name.pem" \
        --load-ca-certificate ca.pem --p12-name "$name" --password secret --outder \
        --outfile "$name.p12" 2>/dev/null
done

mkdir -p tokens
printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\nlog.level = ERROR\n' \
    "$folder" >softhsm2.conf
export SOFTHSM2_CONF=$folder/softhsm2.conf
softhsm2-util --init-token --free --label Bidder --so-pin 87654321 --pin 1234 >/dev/null
export GNUTLS_PIN=1234
token="pkcs11:token=Bidder"
for entry in signer:01 expired:02; do
    name=${entry%%:*} id=${entry##*:}
    p11tool --login --write --load-privkey bidder.key --label "$name" --id "$id" "$token" \
        >/dev/null 2>&1
    p11tool --login --write --load-certificate "$name.pem" --label "$name" --id "$id" "$token" \
        >/dev/null 2>&1
done
p11tool --login --write --load-certificate ca.pem --label ca --mark-ca "$token" >/dev/null 2>&1
cp -r tokens tokens.pristine
