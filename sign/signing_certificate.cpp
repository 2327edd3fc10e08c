// SPDX-License-Identifier: Apache-2.0
#include "sign/signing_certificate.h"

#include "data/error.h"
#include "sign/gnutls_handles.h"

#include <gnutls/crypto.h>
#include <libtasn1.h>

#include <QString>

namespace {

// The definitions of signing_certificate.asn, made into a table by asn1Parser at build time.
#include "signing_certificate_asn1.c"

constexpr char kSha256Oid[] = "2.16.840.1.101.3.4.2.1";

[[noreturn]] void refuse(const QString& what) {
    throw data::Error(QStringLiteral("Атрибутът за сертификата на подписа: %1.").arg(what));
}

void check(int result, const char* what) {
    if (result != ASN1_SUCCESS)
        refuse(QStringLiteral("%1 (%2)").arg(QLatin1String(what),
                                             QLatin1String(asn1_strerror(result))));
}

// The parsed definitions, made once.
asn1_node definitions() {
    static const asn1_node parsed = [] {
        asn1_node tree = nullptr;
        char error[ASN1_MAX_ERROR_DESCRIPTION_SIZE] = {};
        check(asn1_array2tree(signing_certificate_asn1_tab, &tree, error), "definitions");
        return tree;
    }();
    return parsed;
}

// One value of the SigningCertificateV2 type, deleted with its owner.
class Value {
public:
    Value() {
        check(asn1_create_element(definitions(), "BrxSigningCertificate.SigningCertificateV2",
                                  &node_),
              "element");
    }
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
    ~Value() { asn1_delete_structure(&node_); }

    void write(const char* name, const void* value, int size) {
        check(asn1_write_value(node_, name, value, size), name);
    }
    void write(const char* name, const QByteArray& value) {
        write(name, value.constData(), int(value.size()));
    }
    // The bytes of `name`, or nothing when the element is absent.
    QByteArray read(const char* name) const {
        int size = 0;
        const int result = asn1_read_value(node_, name, nullptr, &size);
        if (result == ASN1_ELEMENT_NOT_FOUND || (result == ASN1_SUCCESS && size == 0))
            return QByteArray();
        if (result != ASN1_MEM_ERROR)
            check(result, name);
        QByteArray bytes(size, '\0');
        check(asn1_read_value(node_, name, bytes.data(), &size), name);
        bytes.truncate(size);
        return bytes;
    }
    QByteArray encode() const {
        char error[ASN1_MAX_ERROR_DESCRIPTION_SIZE] = {};
        int size = 0;
        const int sized = asn1_der_coding(node_, "", nullptr, &size, error);
        if (sized != ASN1_MEM_ERROR)
            check(sized, "DER");
        QByteArray der(size, '\0');
        check(asn1_der_coding(node_, "", der.data(), &size, error), "DER");
        der.truncate(size);
        return der;
    }
    void decode(const QByteArray& der) {
        char error[ASN1_MAX_ERROR_DESCRIPTION_SIZE] = {};
        check(asn1_der_decoding(&node_, der.constData(), int(der.size()), error), "DER");
    }

private:
    asn1_node node_ = nullptr;
};

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
    Value value;
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
    Value value;
    value.decode(attributeDer);
    // The first identifier is the signer's; any further ones name certificates of its chain.
    const QByteArray algorithm = value.read("certs.?1.hashAlgorithm.algorithm");
    // An identifier is read as a text with its terminating zero.
    if (!algorithm.isEmpty() && QByteArray(algorithm.constData()) != QByteArray(kSha256Oid))
        refuse(QStringLiteral("хешът на сертификата е по алгоритъм %1, а не SHA-256")
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
