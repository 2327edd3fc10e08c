// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QDateTime>

// The signed attributes of a detached signature's signer, held to the rules of CMS (RFC 5652)
// and CAdES. GnuTLS reads only the first value of each attribute, so a second one could pass
// unseen; here every value is counted.
namespace sign {

struct SignedAttributes {
    QDateTime signingTime;           // invalid when the signature states none
    QByteArray signingCertificateV2; // the attribute's value; empty when there is none
};

// The signed attributes of the one signer of the DER signature `signatureDer`. Throws
// data::Error naming the fault when the signature cannot be read as CMS signed data or its
// signed attributes break the rules: content type or message digest missing, a content type
// other than that of what is signed, an attribute given twice or with other than one value, a
// signing time that is not a time.
SignedAttributes readSignedAttributes(const QByteArray& signatureDer);

} // namespace sign
