// SPDX-License-Identifier: Apache-2.0
#include "sign/certificate.h"

#include "data/error.h"
#include "sign/gnutls_handles.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace sign {

namespace gnutls {

void check(int result, const QString& what) {
    if (result < 0)
        throw data::Error(
            QStringLiteral("%1: %2").arg(what, QString::fromUtf8(gnutls_strerror(result))));
}

Certificate importCertificate(const QByteArray& bytes, gnutls_x509_crt_fmt_t format) {
    gnutls_x509_crt_t raw = nullptr;
    check(gnutls_x509_crt_init(&raw), QStringLiteral("Сертификатът не може да бъде прочетен"));
    Certificate certificate(raw);
    const gnutls_datum_t datum = datumOf(bytes);
    check(gnutls_x509_crt_import(raw, &datum, format),
          QStringLiteral("Сертификатът не може да бъде прочетен"));
    return certificate;
}

QByteArray certificateDer(gnutls_x509_crt_t certificate) {
    OwnedDatum der;
    check(gnutls_x509_crt_export2(certificate, GNUTLS_X509_FMT_DER, &der),
          QStringLiteral("Сертификатът не може да бъде прочетен"));
    return der.bytes();
}

} // namespace gnutls

namespace {

QDateTime fromTime(time_t time) {
    return time == time_t(-1) ? QDateTime() : QDateTime::fromSecsSinceEpoch(time, Qt::UTC);
}

// The extensions a certificate may mark critical and still be relied on: those whose meaning
// the chain's check applies.
const char* const kUnderstoodExtensions[] = {
    "2.5.29.14", // subject key identifier
    "2.5.29.15", // key usage
    "2.5.29.17", // subject alternative name
    "2.5.29.18", // issuer alternative name
    "2.5.29.19", // basic constraints
    "2.5.29.30", // name constraints
    "2.5.29.31", // CRL distribution points
    "2.5.29.32", // certificate policies
    "2.5.29.35", // authority key identifier
    "2.5.29.36", // policy constraints
    "2.5.29.37", // extended key usage
    "2.5.29.54", // inhibit any policy
};

QString unknownCriticalExtension(gnutls_x509_crt_t certificate) {
    for (unsigned i = 0;; ++i) {
        char oid[128] = {};
        size_t size = sizeof oid;
        unsigned critical = 0;
        const int result =
            gnutls_x509_crt_get_extension_info(certificate, i, oid, &size, &critical);
        if (result == GNUTLS_E_REQUESTED_DATA_NOT_AVAILABLE)
            return QString();
        gnutls::check(result, QStringLiteral("Разширенията на сертификата не могат да бъдат "
                                             "прочетени"));
        if (critical &&
            std::none_of(std::begin(kUnderstoodExtensions), std::end(kUnderstoodExtensions),
                         [&](const char* known) { return std::strcmp(oid, known) == 0; }))
            return QString::fromLatin1(oid);
    }
}

// The fewest bits a key of each kind needs for a qualified signature.
unsigned minimumKeyBits(gnutls_pk_algorithm_t algorithm) {
    switch (algorithm) {
    case GNUTLS_PK_RSA:
    case GNUTLS_PK_RSA_PSS:
    case GNUTLS_PK_DSA:
        return 2048;
    default:
        return 256; // elliptic curves
    }
}

QString distinguishedName(int (*read)(gnutls_x509_crt_t, gnutls_datum_t*, unsigned),
                          gnutls_x509_crt_t certificate) {
    gnutls::OwnedDatum name;
    gnutls::check(read(certificate, &name, 0),
                  QStringLiteral("Името в сертификата не може да бъде прочетено"));
    return name.text();
}

} // namespace

CertificateInfo readCertificate(const QByteArray& der) {
    const gnutls::Certificate certificate = gnutls::importCertificate(der);
    CertificateInfo info;
    info.der = der;
    info.subject = distinguishedName(gnutls_x509_crt_get_dn3, certificate.get());
    info.issuer = distinguishedName(gnutls_x509_crt_get_issuer_dn3, certificate.get());
    unsigned char serial[64];
    size_t serialSize = sizeof serial;
    gnutls::check(gnutls_x509_crt_get_serial(certificate.get(), serial, &serialSize),
                  QStringLiteral("Серийният номер на сертификата не може да бъде прочетен"));
    info.serial = QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(serial), int(serialSize)).toHex(':').toUpper());
    info.notBefore = fromTime(gnutls_x509_crt_get_activation_time(certificate.get()));
    info.notAfter = fromTime(gnutls_x509_crt_get_expiration_time(certificate.get()));
    unsigned usage = 0;
    const int usageResult = gnutls_x509_crt_get_key_usage(certificate.get(), &usage, nullptr);
    info.usageRestricted = usageResult != GNUTLS_E_REQUESTED_DATA_NOT_AVAILABLE;
    info.signingUsage = usageResult >= 0 &&
                        (usage & (GNUTLS_KEY_DIGITAL_SIGNATURE | GNUTLS_KEY_NON_REPUDIATION)) != 0;
    unsigned critical = 0;
    info.authority = gnutls_x509_crt_get_ca_status(certificate.get(), &critical) > 0;
    info.unknownCriticalExtension = unknownCriticalExtension(certificate.get());
    const int algorithm = gnutls_x509_crt_get_pk_algorithm(certificate.get(), &info.keyBits);
    gnutls::check(algorithm, QStringLiteral("Ключът на сертификата не може да бъде прочетен"));
    info.keyAlgorithm =
        QString::fromLatin1(gnutls_pk_algorithm_get_name(gnutls_pk_algorithm_t(algorithm)));
    info.keyBitsRequired = minimumKeyBits(gnutls_pk_algorithm_t(algorithm));
    return info;
}

QString momentText(const QDateTime& moment) {
    return moment.isValid() ? moment.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))
                            : QStringLiteral("—");
}

QString certificateText(const CertificateInfo& certificate) {
    return QStringLiteral("Титуляр: %1\nИздател: %2\nСериен номер: %3\nВалиден от %4 до %5")
        .arg(certificate.subject, certificate.issuer, certificate.serial,
             momentText(certificate.notBefore), momentText(certificate.notAfter));
}

QString certificateRefusal(const CertificateInfo& certificate) {
    if (certificate.authority)
        return QStringLiteral("Сертификатът е на удостоверяващ орган (CA), а не на подписващ: с "
                              "него се издават сертификати, не се подписват документи.");
    if (certificate.usageRestricted && !certificate.signingUsage)
        return QStringLiteral("Сертификатът не е предназначен за подписване: няма нито "
                              "„цифров подпис“, нито „неотменимост“ сред употребите на ключа.");
    if (!certificate.unknownCriticalExtension.isEmpty())
        return QStringLiteral("Сертификатът има критично разширение %1, което програмата не "
                              "познава: на такъв сертификат не може да се разчита.")
            .arg(certificate.unknownCriticalExtension);
    if (certificate.keyBits < certificate.keyBitsRequired)
        return QStringLiteral("Ключът на сертификата е %1 с %2 бита: за квалифициран подпис ключ "
                              "%1 трябва да е поне %3 бита.")
            .arg(certificate.keyAlgorithm)
            .arg(certificate.keyBits)
            .arg(certificate.keyBitsRequired);
    return QString();
}

QString signingRefusal(const CertificateInfo& certificate, const QDateTime& now) {
    if (!certificate.notBefore.isValid() || now < certificate.notBefore)
        return QStringLiteral("Сертификатът още не е валиден: валиден е от %1.")
            .arg(momentText(certificate.notBefore));
    if (!certificate.notAfter.isValid() || now > certificate.notAfter)
        return QStringLiteral("Сертификатът е изтекъл на %1.")
            .arg(momentText(certificate.notAfter));
    return certificateRefusal(certificate);
}

QByteArray readBounded(const QString& path, qint64 maxBytes, const QString& what) {
    const auto refuse = [&](const QString& why) {
        throw data::Error(QStringLiteral("%1 „%2“ %3.").arg(what, path, why));
    };
    // Without O_NONBLOCK, opening a FIFO waits for a writer and the check below is never
    // reached; a regular file reads the same with it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        refuse(QStringLiteral("не може да бъде отворен"));
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        refuse(QStringLiteral("не може да бъде отворен"));
    }
    // Before a byte is read: a device or a pipe could hand over bytes without end.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        refuse(QStringLiteral("не е обикновен файл"));
    const QString tooLarge =
        QStringLiteral("е по-голям от %1 байта: това не е такъв файл").arg(maxBytes);
    if (info.st_size > maxBytes)
        refuse(tooLarge);
    // One byte past the limit, for a file that grows while it is read.
    const QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes)
        refuse(tooLarge);
    if (file.error() != QFileDevice::NoError)
        refuse(QStringLiteral("не може да бъде прочетен"));
    return bytes;
}

} // namespace sign
