// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>

// What the bidder sees of a certificate before signing with it, and why it cannot sign.
namespace sign {

// The most bytes read from a certificate, a certificate file (.p12, .pfx, a trust list) or a
// signature: far above any real one, low enough that a wrong file is refused at once.
inline constexpr qint64 kMaxKeyFileBytes = qint64(1) << 20;
inline constexpr qint64 kMaxTrustFileBytes = qint64(8) << 20;
inline constexpr qint64 kMaxSignatureBytes = qint64(1) << 20;
// The most bytes of a file that is signed or checked: it is read whole.
inline constexpr qint64 kMaxSignedFileBytes = qint64(512) << 20;
// The most certificates taken from one signature, one key file or one chain on a token.
inline constexpr int kMaxCertificates = 16;

struct CertificateInfo {
    QByteArray der;
    QString subject;
    QString issuer;
    QString serial; // hexadecimal, as certificate viewers show it
    QDateTime notBefore;
    QDateTime notAfter;
    // A certificate without the key usage extension may be used for anything.
    bool usageRestricted = false;
    bool signingUsage = false; // digital signature or non-repudiation
    bool authority = false;    // a certificate authority's (basic constraints CA:TRUE)
    // The identifier of a critical extension the program does not know, which forbids relying
    // on the certificate; empty when there is none.
    QString unknownCriticalExtension;
    QString keyAlgorithm; // "RSA", "EC/ECDSA"...
    unsigned keyBits = 0;
    unsigned keyBitsRequired = 0; // the fewest a qualified signature allows for such a key
};

// Reads a DER certificate; throws data::Error when it is not one.
CertificateInfo readCertificate(const QByteArray& der);

// Subject, issuer, serial number and validity, one to a line, in the bidder's words.
QString certificateText(const CertificateInfo& certificate);

// Why `certificate` cannot make a bidder's signature at any time: not meant for signatures, a
// certificate authority's, a critical extension not understood, or a key too weak for a
// qualified signature. Empty when it can.
QString certificateRefusal(const CertificateInfo& certificate);

// Why `certificate` cannot sign at `now`: not valid yet, expired, or certificateRefusal. Empty
// when it can.
QString signingRefusal(const CertificateInfo& certificate, const QDateTime& now);

// A moment as the bidder reads it: local date and time to the second.
QString momentText(const QDateTime& moment);

// The contents of `path`, refused with a message naming `what` when it is not a regular file,
// is larger than `maxBytes` or cannot be read; the first two are known before a byte is read.
QByteArray readBounded(const QString& path, qint64 maxBytes, const QString& what);

} // namespace sign
