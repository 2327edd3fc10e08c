// SPDX-License-Identifier: Apache-2.0
#include "sign/signed_attributes.h"

#include "sign/cms_value.h"
#include "sign/signing_certificate.h"

#include <QList>
#include <QRegularExpression>

#include <algorithm>
#include <iterator>

namespace sign {

namespace {

constexpr char kContentTypeOid[] = "1.2.840.113549.1.9.3";
constexpr char kMessageDigestOid[] = "1.2.840.113549.1.9.4";
constexpr char kSigningTimeOid[] = "1.2.840.113549.1.9.5";

// The attributes read here, each given once with one value; any other is only signed.
const struct {
    const char* oid;
    const char* name;
} kInterpreted[] = {
    {kContentTypeOid, "тип на съдържанието"},
    {kMessageDigestOid, "хеш на съдържанието"},
    {kSigningTimeOid, "време на подписване"},
    {"1.2.840.113549.1.9.16.2.12", "сертификат на подписа"},
    {kSigningCertificateV2Oid, "сертификат на подписа"},
};

const QString kFault = QStringLiteral("Подписът е съставен неправилно");

// An identifier or a time, which libtasn1 reads as a text with its terminating zero.
QByteArray text(const CmsValue& value, const QByteArray& name) {
    return QByteArray(value.read(name.constData()).constData());
}

// The moment a signing-time value states: UTCTime for the years 1950 to 2049, GeneralizedTime
// for the others, in UTC to the second, as RFC 5652 writes them.
QDateTime signingTimeOf(const QByteArray& der) {
    CmsValue time("Time", kFault);
    time.decode(der);
    const QByteArray choice = text(time, "");
    const bool utc = choice == "utcTime";
    const QString stated = QString::fromLatin1(text(time, choice));
    static const QRegularExpression utcForm(QStringLiteral("^(\\d{2})(\\d{10})Z$"));
    static const QRegularExpression generalForm(QStringLiteral("^(\\d{4})(\\d{10})Z$"));
    const QRegularExpressionMatch match = (utc ? utcForm : generalForm).match(stated);
    QDateTime moment;
    if (match.hasMatch()) {
        int year = match.captured(1).toInt();
        if (utc)
            year += year < 50 ? 2000 : 1900;
        // Built as UTC from the start: read as local time, a moment in a daylight-saving gap
        // would not exist.
        const QString rest = match.captured(2);
        const QDate date(year, rest.mid(0, 2).toInt(), rest.mid(2, 2).toInt());
        const QTime clock = QTime::fromString(rest.mid(4), QStringLiteral("HHmmss"));
        if (date.isValid() && clock.isValid() && (utc || year < 1950 || year > 2049))
            moment = QDateTime(date, clock, Qt::UTC);
    }
    if (!moment.isValid())
        time.refuse(QStringLiteral("времето на подписване „%1“ не е време по правилата на CMS")
                        .arg(stated));
    return moment;
}

} // namespace

SignedAttributes readSignedAttributes(const QByteArray& signatureDer) {
    CmsValue contentInfo("ContentInfo", kFault);
    contentInfo.decode(signatureDer, CmsValue::Encoding::Ber);
    CmsValue signedData("SignedData", kFault);
    signedData.decode(contentInfo.read("content"), CmsValue::Encoding::Ber);
    if (signedData.count("signerInfos") != 1)
        signedData.refuse(QStringLiteral("очаква се един подписващ"));

    SignedAttributes attributes;
    const int count = signedData.count("signerInfos.?1.signedAttrs");
    if (count == 0)
        return attributes; // the signature covers the content alone: nothing is attributed
    const QByteArray contentType = text(signedData, "encapContentInfo.eContentType");
    QList<QByteArray> seen;
    for (int i = 1; i <= count; ++i) {
        const QByteArray attribute = "signerInfos.?1.signedAttrs.?" + QByteArray::number(i);
        const QByteArray type = text(signedData, attribute + ".attrType");
        const QByteArray values = attribute + ".attrValues";
        const auto known =
            std::find_if(std::begin(kInterpreted), std::end(kInterpreted),
                         [&](const auto& interpreted) { return type == interpreted.oid; });
        if (known == std::end(kInterpreted))
            continue;
        const QString name = QStringLiteral("„%1“").arg(QString::fromUtf8(known->name));
        if (seen.contains(type))
            signedData.refuse(QStringLiteral("атрибутът %1 е даден два пъти").arg(name));
        seen << type;
        if (const int valueCount = signedData.count(values.constData()); valueCount != 1)
            signedData.refuse(QStringLiteral("атрибутът %1 има %2 стойности, а трябва да е една")
                                  .arg(name)
                                  .arg(valueCount));
        const QByteArray value = signedData.read((values + ".?1").constData());
        if (type == kContentTypeOid) {
            CmsValue stated("ContentType", kFault);
            stated.decode(value);
            if (text(stated, "") != contentType)
                stated.refuse(QStringLiteral("типът на съдържанието в атрибутите не е типът "
                                             "на подписаното"));
        } else if (type == kSigningTimeOid) {
            attributes.signingTime = signingTimeOf(value);
        } else if (type == kSigningCertificateV2Oid) {
            attributes.signingCertificateV2 = value;
        }
    }
    if (!seen.contains(kContentTypeOid))
        signedData.refuse(QStringLiteral("липсва атрибутът „тип на съдържанието“"));
    if (!seen.contains(kMessageDigestOid))
        signedData.refuse(QStringLiteral("липсва атрибутът „хеш на съдържанието“"));
    return attributes;
}

} // namespace sign
