// SPDX-License-Identifier: Apache-2.0
#include "sign/verification.h"

#include "data/error.h"
#include "sign/gnutls_handles.h"
#include "sign/signed_attributes.h"
#include "sign/signing_certificate.h"

#include <QStringList>

#include <algorithm>
#include <iterator>
#include <vector>

namespace sign {

namespace {

[[noreturn]] void unreadable(const QString& why) {
    throw data::Error(QStringLiteral("Подписът не може да бъде прочетен: %1.").arg(why));
}

// The signature's certificates, each read, the signer's among them.
std::vector<QByteArray> embeddedCertificates(gnutls_pkcs7_t signature) {
    const int count = gnutls_pkcs7_get_crt_count(signature);
    if (count < 0 || count > kMaxCertificates)
        unreadable(QStringLiteral("съдържа %1 сертификата").arg(count));
    std::vector<QByteArray> certificates;
    for (int i = 0; i < count; ++i) {
        gnutls::OwnedDatum der;
        if (gnutls_pkcs7_get_crt_raw2(signature, unsigned(i), &der) < 0)
            unreadable(QStringLiteral("сертификат %1 е повреден").arg(i + 1));
        certificates.push_back(der.bytes());
    }
    return certificates;
}

QByteArray serialOf(gnutls_x509_crt_t certificate) {
    unsigned char serial[64];
    size_t size = sizeof serial;
    if (gnutls_x509_crt_get_serial(certificate, serial, &size) < 0)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(serial), int(size));
}

QByteArray bytesOf(const gnutls_datum_t& datum) {
    return QByteArray(reinterpret_cast<const char*>(datum.data), int(datum.size));
}

// Whether `certificate` is the one the signer information names, by issuer and serial number
// or by subject key identifier.
bool namedBySigner(gnutls_x509_crt_t certificate, const gnutls_pkcs7_signature_info_st& info) {
    if (info.issuer_keyid.size > 0) {
        unsigned char keyId[64];
        size_t size = sizeof keyId;
        unsigned critical = 0;
        return gnutls_x509_crt_get_subject_key_id(certificate, keyId, &size, &critical) >= 0 &&
               QByteArray(reinterpret_cast<const char*>(keyId), int(size)) ==
                   bytesOf(info.issuer_keyid);
    }
    gnutls::OwnedDatum issuer;
    return gnutls_x509_crt_get_raw_issuer_dn(certificate, &issuer) >= 0 &&
           issuer.bytes() == bytesOf(info.issuer_dn) &&
           serialOf(certificate) == bytesOf(info.signer_serial);
}

class SignatureInfo {
public:
    SignatureInfo(gnutls_pkcs7_t signature) {
        if (gnutls_pkcs7_get_signature_info(signature, 0, &info) < 0)
            unreadable(QStringLiteral("сведенията за подписващия са повредени"));
    }
    SignatureInfo(const SignatureInfo&) = delete;
    SignatureInfo& operator=(const SignatureInfo&) = delete;
    ~SignatureInfo() { gnutls_pkcs7_signature_info_deinit(&info); }

    gnutls_pkcs7_signature_info_st info{};
};

QString statusText(unsigned status) {
    const struct {
        unsigned flag;
        const char* text;
    } reasons[] = {
        {GNUTLS_CERT_SIGNER_NOT_FOUND, "издателят не е сред доверените"},
        {GNUTLS_CERT_EXPIRED, "сертификат от веригата е изтекъл"},
        {GNUTLS_CERT_NOT_ACTIVATED, "сертификат от веригата още не е валиден"},
        {GNUTLS_CERT_REVOKED, "сертификат от веригата е отменен"},
        {GNUTLS_CERT_SIGNATURE_FAILURE, "подпис във веригата не е верен"},
        {GNUTLS_CERT_SIGNER_NOT_CA, "издател във веригата не е удостоверяващ орган"},
        {GNUTLS_CERT_INSECURE_ALGORITHM, "веригата ползва несигурен алгоритъм"},
        {GNUTLS_CERT_UNKNOWN_CRIT_EXTENSIONS,
         "сертификат от веригата има критично разширение, което не е познато"},
        {GNUTLS_CERT_SIGNER_CONSTRAINTS_FAILURE,
         "ограниченията на издател във веригата са нарушени"},
        {GNUTLS_CERT_PURPOSE_MISMATCH, "сертификат от веригата не е за тази употреба"},
        {GNUTLS_CERT_UNEXPECTED_OWNER, "сертификатът не е на очаквания притежател"},
        {GNUTLS_CERT_MISMATCH, "сертификатът не е очакваният"},
        {GNUTLS_CERT_REVOCATION_DATA_SUPERSEDED, "данните за отмяна са остарели"},
        {GNUTLS_CERT_REVOCATION_DATA_ISSUED_IN_FUTURE, "данните за отмяна са издадени в бъдещето"},
        {GNUTLS_CERT_MISSING_OCSP_STATUS, "липсва състоянието по OCSP"},
        {GNUTLS_CERT_INVALID_OCSP_STATUS, "състоянието по OCSP е невалидно"},
    };
    QStringList texts;
    for (const auto& reason : reasons)
        if (status & reason.flag)
            texts << QString::fromUtf8(reason.text);
    if (texts.isEmpty())
        texts << QStringLiteral("веригата не е валидна (код %1)").arg(status);
    return texts.join(QStringLiteral("; "));
}

// The DER of a signature given as DER or PEM.
QByteArray signatureDer(const QByteArray& bytes) {
    if (!bytes.trimmed().startsWith("-----BEGIN"))
        return bytes;
    gnutls::OwnedDatum der;
    const gnutls_datum_t pem = gnutls::datumOf(bytes);
    if (gnutls_pem_base64_decode2(nullptr, &pem, &der) < 0)
        unreadable(QStringLiteral("PEM записът е повреден"));
    return der.bytes();
}

// The hashes a signature may rest on: those ETSI TS 119 312 holds secure for signatures.
const gnutls_digest_algorithm_t kAllowedHashes[] = {
    GNUTLS_DIG_SHA256,   GNUTLS_DIG_SHA384,   GNUTLS_DIG_SHA512,
    GNUTLS_DIG_SHA3_256, GNUTLS_DIG_SHA3_384, GNUTLS_DIG_SHA3_512,
};

// Whether `content` is what the signer signed; a signature by a hash no longer allowed is not
// checked at all, and says why.
void checkContent(Verification& result, gnutls_pkcs7_t signature,
                  const gnutls_pkcs7_signature_info_st& info, const QByteArray& signerDer,
                  const QByteArray& content) {
    const gnutls_digest_algorithm_t hash = gnutls_sign_get_hash_algorithm(info.algo);
    if (std::find(std::begin(kAllowedHashes), std::end(kAllowedHashes), hash) ==
        std::end(kAllowedHashes)) {
        const char* name = gnutls_sign_get_name(info.algo);
        result.contentProblem =
            QStringLiteral("подписът е по алгоритъм %1, който вече не е допустим за подписи")
                .arg(name ? QString::fromLatin1(name) : QStringLiteral("непознат"));
        return;
    }
    const gnutls::Certificate signer = gnutls::importCertificate(signerDer);
    const gnutls_datum_t data = gnutls::datumOf(content);
    const int verified = gnutls_pkcs7_verify_direct(signature, signer.get(), 0, &data, 0);
    result.contentIntact = verified >= 0;
    // GnuTLS checks the signer's certificate against the signing time before the bytes: such a
    // refusal leaves the file unchecked, not changed.
    switch (verified) {
    case GNUTLS_E_EXPIRED:
        result.contentProblem = QStringLiteral("сертификатът на подписващия е бил изтекъл към "
                                               "времето на подписване");
        break;
    case GNUTLS_E_NOT_YET_ACTIVATED:
        result.contentProblem = QStringLiteral("сертификатът на подписващия още не е бил валиден "
                                               "към времето на подписване");
        break;
    default:
        if (!result.contentIntact && verified != GNUTLS_E_PK_SIG_VERIFY_FAILED &&
            verified != GNUTLS_E_HASH_FAILED)
            result.contentProblem = QString::fromUtf8(gnutls_strerror(verified));
    }
}

// The certificates of a trust anchors' file: PEM blocks, each read on its own so that a broken
// one is named and not taken for the end of the file, or one certificate in DER.
std::vector<gnutls::Certificate> trustAnchorsOf(const QByteArray& bytes) {
    const auto refuse = [](const QString& why) {
        throw data::Error(QStringLiteral("Файлът с доверените издатели %1.").arg(why));
    };
    std::vector<gnutls::Certificate> anchors;
    static const QByteArray begin("-----BEGIN "), end("-----END ");
    qsizetype at = bytes.indexOf(begin);
    if (at < 0) {
        try {
            anchors.push_back(gnutls::importCertificate(bytes));
        } catch (const data::Error&) {
            refuse(QStringLiteral("не е сертификат (DER) или списък от сертификати (PEM)"));
        }
        return anchors;
    }
    for (int block = 1; at >= 0; ++block) {
        const qsizetype blockEnd = bytes.indexOf('\n', bytes.indexOf(end, at));
        const QByteArray pem = bytes.mid(at, blockEnd < 0 ? -1 : blockEnd - at);
        try {
            anchors.push_back(gnutls::importCertificate(pem, GNUTLS_X509_FMT_PEM));
        } catch (const data::Error&) {
            refuse(QStringLiteral("е повреден: блок %1 не е сертификат").arg(block));
        }
        at = blockEnd < 0 ? -1 : bytes.indexOf(begin, blockEnd);
    }
    return anchors;
}

void checkChain(Verification& result, const std::vector<QByteArray>& certificates,
                std::size_t signerIndex, const std::optional<QByteArray>& trustAnchors) {
    gnutls_x509_trust_list_t rawList = nullptr;
    gnutls::check(gnutls_x509_trust_list_init(&rawList, 0),
                  QStringLiteral("Списъкът на доверените издатели не може да бъде съставен"));
    const gnutls::TrustList trust(rawList);
    if (trustAnchors) {
        std::vector<gnutls::Certificate> anchors = trustAnchorsOf(*trustAnchors);
        std::vector<gnutls_x509_crt_t> handed;
        for (const gnutls::Certificate& anchor : anchors)
            handed.push_back(anchor.get());
        const int added =
            gnutls_x509_trust_list_add_cas(rawList, handed.data(), unsigned(handed.size()), 0);
        // The list owns what it took.
        for (int i = 0; i < added; ++i)
            (void)anchors[std::size_t(i)].release();
        if (added != int(handed.size()))
            throw data::Error(QStringLiteral("Доверените издатели не могат да бъдат добавени."));
    } else if (gnutls_x509_trust_list_add_system_trust(rawList, 0, 0) <= 0) {
        result.chainProblem = QStringLiteral("системата няма доверени издатели");
        return;
    }
    // The signer first, then the rest of what the signature carries; GnuTLS puts them in order.
    std::vector<gnutls::Certificate> owned;
    owned.push_back(gnutls::importCertificate(certificates[signerIndex]));
    for (std::size_t i = 0; i < certificates.size(); ++i)
        if (i != signerIndex)
            owned.push_back(gnutls::importCertificate(certificates[i]));
    std::vector<gnutls_x509_crt_t> chain;
    for (const gnutls::Certificate& certificate : owned)
        chain.push_back(certificate.get());
    unsigned status = 0;
    const int verified = gnutls_x509_trust_list_verify_crt(
        rawList, chain.data(), unsigned(chain.size()), 0, &status, nullptr);
    result.chainTrusted = verified >= 0 && status == 0;
    if (!result.chainTrusted)
        result.chainProblem =
            verified < 0 ? QString::fromUtf8(gnutls_strerror(verified)) : statusText(status);
}

} // namespace

Verification verifyDetached(const QByteArray& content, const QByteArray& signatureBytes,
                            const std::optional<QByteArray>& trustAnchors) {
    if (signatureBytes.size() > kMaxSignatureBytes)
        unreadable(QStringLiteral("по-голям е от %1 байта").arg(kMaxSignatureBytes));
    const QByteArray der = signatureDer(signatureBytes);
    gnutls_pkcs7_t raw = nullptr;
    gnutls::check(gnutls_pkcs7_init(&raw), QStringLiteral("Подписът не може да бъде прочетен"));
    const gnutls::Pkcs7 signature(raw);
    const gnutls_datum_t datum = gnutls::datumOf(der);
    if (gnutls_pkcs7_import(raw, &datum, GNUTLS_X509_FMT_DER) < 0)
        unreadable(QStringLiteral("това не е подпис CMS/PKCS #7"));
    const int signers = gnutls_pkcs7_get_signature_count(raw);
    if (signers != 1)
        unreadable(QStringLiteral("очаква се един подписващ, а има %1").arg(signers));
    const std::vector<QByteArray> certificates = embeddedCertificates(raw);
    const SignedAttributes attributes = readSignedAttributes(der);
    const SignatureInfo info(raw);

    std::size_t signerIndex = certificates.size();
    for (std::size_t i = 0; i < certificates.size() && signerIndex == certificates.size(); ++i) {
        const gnutls::Certificate candidate = gnutls::importCertificate(certificates[i]);
        if (namedBySigner(candidate.get(), info.info))
            signerIndex = i;
    }
    if (signerIndex == certificates.size())
        unreadable(QStringLiteral("сертификатът на подписващия не е в подписа"));

    Verification result;
    result.signer = readCertificate(certificates[signerIndex]);
    result.signingTime = attributes.signingTime;
    checkContent(result, raw, info.info, certificates[signerIndex], content);
    result.signerProblem = certificateRefusal(result.signer);
    if (result.signerProblem.isEmpty() && result.signingTime.isValid() &&
        (result.signingTime < result.signer.notBefore ||
         result.signingTime > result.signer.notAfter))
        result.signerProblem =
            QStringLiteral("времето на подписване %1 е извън валидността на сертификата (от %2 "
                           "до %3).")
                .arg(momentText(result.signingTime), momentText(result.signer.notBefore),
                     momentText(result.signer.notAfter));

    if (attributes.signingCertificateV2.isEmpty()) {
        result.certificateProblem = QStringLiteral("подписът не посочва сертификата си");
    } else {
        try {
            result.certificateBound =
                namesCertificate(attributes.signingCertificateV2, result.signer.der);
            if (!result.certificateBound)
                result.certificateProblem =
                    QStringLiteral("подписът посочва друг сертификат, не този в него");
        } catch (const data::Error& error) {
            result.certificateProblem = QString::fromUtf8(error.what());
        }
    }
    checkChain(result, certificates, signerIndex, trustAnchors);
    return result;
}

QString Verification::text() const {
    QStringList lines;
    lines << QStringLiteral("Подписал: ") + signer.subject
          << QStringLiteral("Издател на сертификата: ") + signer.issuer
          << QStringLiteral("Сериен номер на сертификата: ") + signer.serial
          << QStringLiteral("Сертификатът е валиден от %1 до %2")
                 .arg(momentText(signer.notBefore), momentText(signer.notAfter))
          << QStringLiteral("Време на подписване: ") +
                 (signingTime.isValid() ? momentText(signingTime) : QStringLiteral("не е посочено"))
          << (contentIntact ? QStringLiteral("Файлът: непроменен след подписването")
              : contentProblem.isEmpty()
                  ? QStringLiteral("Файлът: ПРОМЕНЕН след подписването или подписът не е негов")
                  : QStringLiteral("Файлът: НЕ е проверен: ") + contentProblem)
          << (signerProblem.isEmpty()
                  ? QStringLiteral("Подписващият: сертификатът му е годен за този подпис")
                  : QStringLiteral("Подписващият: сертификатът му НЕ е годен за този подпис: ") +
                        signerProblem)
          << (certificateBound
                  ? QStringLiteral("Сертификатът: посочен в подписа")
                  : QStringLiteral("Сертификатът: НЕ е потвърден: ") + certificateProblem)
          << (chainTrusted
                  ? QStringLiteral("Доверие: веригата стига до доверен издател")
                  : QStringLiteral("Доверие: НЕ стига до доверен издател: ") + chainProblem);
    return lines.join(QLatin1Char('\n'));
}

Verification verifyFile(const QString& path, const QString& signaturePath,
                        const QString& anchorsPath) {
    const QByteArray content =
        readBounded(path, kMaxSignedFileBytes, QStringLiteral("Подписаният файл"));
    const QByteArray signature =
        readBounded(signaturePath, kMaxSignatureBytes, QStringLiteral("Подписът"));
    std::optional<QByteArray> anchors;
    if (!anchorsPath.isEmpty())
        anchors = readBounded(anchorsPath, kMaxTrustFileBytes,
                              QStringLiteral("Файлът с доверените издатели"));
    return verifyDetached(content, signature, anchors);
}

} // namespace sign
