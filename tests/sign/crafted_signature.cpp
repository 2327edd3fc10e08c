// SPDX-License-Identifier: Apache-2.0
#include "crafted_signature.h"

#include <gnutls/abstract.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <QCryptographicHash>
#include <QDateTime>

#include <algorithm>
#include <stdexcept>

namespace signtest {

namespace {

constexpr char kSha256[] = "2.16.840.1.101.3.4.2.1";

void check(int result, const char* what) {
    if (result < 0)
        throw std::runtime_error(std::string(what) + ": " + gnutls_strerror(result));
}

gnutls_datum_t datumOf(const QByteArray& bytes) {
    return {reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData())),
            unsigned(bytes.size())};
}

QByteArray taken(gnutls_datum_t& datum) {
    const QByteArray bytes(reinterpret_cast<const char*>(datum.data), qsizetype(datum.size));
    gnutls_free(datum.data);
    return bytes;
}

// The content of a SET OF in DER: its elements in the order of their encodings.
QByteArray sortedContent(QList<QByteArray> elements) {
    std::sort(elements.begin(), elements.end());
    return elements.join();
}

QByteArray setOf(const QList<QByteArray>& elements) {
    return der(0x31, sortedContent(elements));
}

QByteArray algorithm(const char* oid, bool nullParameters) {
    return der(0x30, objectIdentifier(oid) + (nullParameters ? QByteArray("\x05\x00", 2) : ""));
}

} // namespace

QByteArray der(quint8 tag, const QByteArray& content) {
    QByteArray length;
    if (content.size() < 0x80) {
        length.append(char(content.size()));
    } else {
        for (qsizetype size = content.size(); size > 0; size >>= 8)
            length.prepend(char(size & 0xFF));
        length.prepend(char(0x80 | length.size()));
    }
    return char(tag) + length + content;
}

QByteArray objectIdentifier(const char* dotted) {
    const QList<QByteArray> arcs = QByteArray(dotted).split('.');
    QByteArray body;
    const auto append = [&body](quint64 arc) {
        QByteArray encoded;
        do {
            encoded.prepend(char((arc & 0x7F) | (encoded.isEmpty() ? 0 : 0x80)));
            arc >>= 7;
        } while (arc != 0);
        body += encoded;
    };
    append(arcs[0].toULongLong() * 40 + arcs[1].toULongLong());
    for (qsizetype i = 2; i < arcs.size(); ++i)
        append(arcs[i].toULongLong());
    return der(0x06, body);
}

QByteArray certificateDer(const QByteArray& certificatePem) {
    gnutls_datum_t out{};
    const gnutls_datum_t pem = datumOf(certificatePem);
    check(gnutls_pem_base64_decode2("CERTIFICATE", &pem, &out), "certificate");
    return taken(out);
}

QList<Attribute> honestAttributes(const QByteArray& content, const QByteArray& certificateDer) {
    const QByteArray now =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyMMddHHmmss'Z'")).toLatin1();
    const QByteArray certificateHash =
        QCryptographicHash::hash(certificateDer, QCryptographicHash::Sha256);
    return {
        {"1.2.840.113549.1.9.3", {objectIdentifier("1.2.840.113549.1.7.1")}},
        {"1.2.840.113549.1.9.4",
         {der(0x04, QCryptographicHash::hash(content, QCryptographicHash::Sha256))}},
        {"1.2.840.113549.1.9.5", {der(0x17, now)}},
        {"1.2.840.113549.1.9.16.2.47",
         {der(0x30, der(0x30, der(0x30, der(0x04, certificateHash))))}},
    };
}

QByteArray craftSignature(const QList<Attribute>& attributes, const QByteArray& certificatePem,
                          const QByteArray& keyPem) {
    QList<QByteArray> encoded;
    for (const Attribute& attribute : attributes)
        encoded << der(0x30,
                       objectIdentifier(attribute.type.constData()) + setOf(attribute.values));
    // Signed as a SET OF, carried under the tag [0].
    const QByteArray attributesContent = sortedContent(encoded);
    const QByteArray signedAttributes = der(0x31, attributesContent);

    gnutls_privkey_t key = nullptr;
    check(gnutls_privkey_init(&key), "key");
    const gnutls_datum_t keyDatum = datumOf(keyPem);
    gnutls_datum_t signatureValue{};
    const gnutls_datum_t toSign = datumOf(signedAttributes);
    int result = gnutls_privkey_import_x509_raw(key, &keyDatum, GNUTLS_X509_FMT_PEM, nullptr, 0);
    if (result >= 0)
        result = gnutls_privkey_sign_data(key, GNUTLS_DIG_SHA256, 0, &toSign, &signatureValue);
    gnutls_privkey_deinit(key);
    check(result, "signing");
    const QByteArray signature = taken(signatureValue);

    const QByteArray certificate = certificateDer(certificatePem);
    gnutls_x509_crt_t parsed = nullptr;
    check(gnutls_x509_crt_init(&parsed), "certificate");
    const gnutls_datum_t certificateDatum = datumOf(certificate);
    gnutls_datum_t issuer{};
    unsigned char serial[64];
    size_t serialSize = sizeof serial;
    result = gnutls_x509_crt_import(parsed, &certificateDatum, GNUTLS_X509_FMT_DER);
    if (result >= 0)
        result = gnutls_x509_crt_get_raw_issuer_dn(parsed, &issuer);
    if (result >= 0)
        result = gnutls_x509_crt_get_serial(parsed, serial, &serialSize);
    gnutls_x509_crt_deinit(parsed);
    check(result, "issuer and serial number");
    const QByteArray issuerAndSerial =
        der(0x30, taken(issuer) + der(0x02, QByteArray(reinterpret_cast<const char*>(serial),
                                                       qsizetype(serialSize))));

    const QByteArray version("\x02\x01\x01", 3);
    const QByteArray signerInfo = der(
        0x30, version + issuerAndSerial + algorithm(kSha256, false) + der(0xA0, attributesContent) +
                  algorithm("1.2.840.113549.1.1.1", true) + der(0x04, signature));
    const QByteArray signedData =
        der(0x30, version + setOf({algorithm(kSha256, false)}) +
                      der(0x30, objectIdentifier("1.2.840.113549.1.7.1")) + der(0xA0, certificate) +
                      setOf({signerInfo}));
    return der(0x30, objectIdentifier("1.2.840.113549.1.7.2") + der(0xA0, signedData));
}

} // namespace signtest
