// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>

// The signing-certificate-v2 attribute: a signed attribute that names the signer's certificate
// by its SHA-256 hash, its issuer and its serial number, so that no other certificate with the
// same key can be passed off as the signer's. GnuTLS signs it but does not build it.
namespace sign {

inline constexpr char kSigningCertificateV2Oid[] = "1.2.840.113549.1.9.16.2.47";

// The DER of the attribute's value for the certificate `certificateDer`.
QByteArray signingCertificateV2(const QByteArray& certificateDer);

// Whether the attribute value `attributeDer` names the certificate `certificateDer`: its hash
// and, when given, its issuer and serial number. Throws data::Error when the value cannot be
// read or names a hash other than SHA-256.
bool namesCertificate(const QByteArray& attributeDer, const QByteArray& certificateDer);

} // namespace sign
