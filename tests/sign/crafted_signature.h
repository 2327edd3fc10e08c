// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QList>

// Detached CMS signatures built byte by byte, with signed attributes chosen by the test: what
// no signing program writes (a missing content type, a digest with two values, a signing time
// that is no time), yet signed with the right key, so that only the fault under test is wrong.
// Shares no code with the program's own reading of signatures.
namespace signtest {

// The DER of one value: `tag`, the length, `content`.
QByteArray der(quint8 tag, const QByteArray& content);
QByteArray objectIdentifier(const char* dotted);

struct Attribute {
    QByteArray type;          // dotted object identifier
    QList<QByteArray> values; // each the DER of one value
};

// The signed attributes an honest signer writes for `content` and the certificate
// `certificateDer`: content type "data", the SHA-256 message digest, the signing time now in
// UTCTime, signing-certificate-v2 with the certificate's SHA-256.
QList<Attribute> honestAttributes(const QByteArray& content, const QByteArray& certificateDer);

// A detached signature with `attributes`, signed with SHA-256 by the RSA key `keyPem` of the
// certificate `certificateDer` (PEM), which it carries.
QByteArray craftSignature(const QList<Attribute>& attributes, const QByteArray& certificatePem,
                          const QByteArray& keyPem);

// The DER of the certificate `certificatePem`.
QByteArray certificateDer(const QByteArray& certificatePem);

} // namespace signtest
