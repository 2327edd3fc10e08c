// SPDX-License-Identifier: Apache-2.0
#include "sign/signing_certificate.h"

#include "sign/cms_value.h"
#include "sign/gnutls_handles.h"

#include <gnutls/crypto.h>

#include <QString>

namespace {

constexpr char kSha256Oid[] = "2.16.840.1.101.3.4.2.1";

sign::CmsValue attributeValue() {
    return sign::CmsValue("SigningCertificateV2",
                          QStringLiteral("Атрибутът за сертификата на подписа"));
}

QByteArray sha256(const QByteArray& bytes) {
    QByteArray hash(32, '\0');
    sign::gnutls::check(gnutls_hash_fast(GNUTLS_DIG_SHA256, bytes.constData(),
                                         std::size_t(bytes.size()), hash.data()),
                        QStringLiteral("SHA-256"));
    return hash;
}

struct IssuerSerial {
    QByteArray issuer; // DER of the issuer's name
    QByteArray serial; // the serial number's integer bytes
};

IssuerSerial issuerSerialOf(const QByteArray& certificateDer) {
    const sign::gnutls::Certificate certificate = sign::gnutls::importCertificate(certificateDer);
    sign::gnutls::OwnedDatum issuer;
    sign::gnutls::check(gnutls_x509_crt_get_raw_issuer_dn(certificate.get(), &issuer),
                        QStringLiteral("Издателят на сертификата не може да бъде прочетен"));
    unsigned char serial[64];
    size_t serialSize = sizeof serial;
    sign::gnutls::check(gnutls_x509_crt_get_serial(certificate.get(), serial, &serialSize),
                        QStringLiteral("Серийният номер на сертификата не може да бъде прочетен"));
    return {issuer.bytes(), QByteArray(reinterpret_cast<const char*>(serial), int(serialSize))};
}

} // namespace

namespace sign {

QByteArray signingCertificateV2(const QByteArray& certificateDer) {
    const IssuerSerial named = issuerSerialOf(certificateDer);
    CmsValue value = attributeValue();
    value.write("certs", "NEW", 1);
    // SHA-256 is the default: DER leaves it out.
    value.write("certs.?LAST.hashAlgorithm", nullptr, 0);
    value.write("certs.?LAST.certHash", sha256(certificateDer));
    value.write("certs.?LAST.issuerSerial.issuer", "NEW", 1);
    value.write("certs.?LAST.issuerSerial.issuer.?LAST", "directoryName", 1);
    value.write("certs.?LAST.issuerSerial.issuer.?LAST.directoryName", named.issuer);
    value.write("certs.?LAST.issuerSerial.serialNumber", named.serial);
    return value.encode();
}

bool namesCertificate(const QByteArray& attributeDer, const QByteArray& certificateDer) {
    CmsValue value = attributeValue();
    value.decode(attributeDer);
    // The first identifier is the signer's; any further ones name certificates of its chain.
    const QByteArray algorithm = value.read("certs.?1.hashAlgorithm.algorithm");
    // An identifier is read as a text with its terminating zero.
    if (!algorithm.isEmpty() && QByteArray(algorithm.constData()) != QByteArray(kSha256Oid))
        value.refuse(QStringLiteral("хешът на сертификата е по алгоритъм %1, а не SHA-256")
                         .arg(QString::fromLatin1(algorithm.constData())));
    if (value.read("certs.?1.certHash") != sha256(certificateDer))
        return false;
    const QByteArray serial = value.read("certs.?1.issuerSerial.serialNumber");
    if (serial.isEmpty())
        return true;
    const IssuerSerial named = issuerSerialOf(certificateDer);
    return serial == named.serial &&
           value.read("certs.?1.issuerSerial.issuer.?1.directoryName") == named.issuer;
}

} // namespace sign
