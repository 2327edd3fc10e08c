// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "sign/certificate.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// What a detached signature says about a file: who signed it, when, with which certificate,
// whether the file is unchanged and whether the certificate leads to a trusted issuer.
namespace sign {

struct Verification {
    CertificateInfo signer;
    QDateTime signingTime; // invalid when the signature states none
    bool contentIntact = false;
    // Why the content could not be checked at all (an algorithm not allowed, say); empty when
    // it was, whatever the outcome.
    QString contentProblem;
    // Why the signer's certificate cannot have made this signature: what it may not sign at
    // all, or a signing time outside its validity. Empty when it can.
    QString signerProblem;
    bool certificateBound = false; // the signed attributes name the signer's certificate
    QString certificateProblem;
    bool chainTrusted = false;
    QString chainProblem;

    bool allHold() const {
        return contentIntact && signerProblem.isEmpty() && certificateBound && chainTrusted;
    }
    // One line a finding, in the bidder's words.
    QString text() const;
};

// Checks the detached CMS signature `signature` (DER or PEM) of `content`. The chain is checked
// against the certificates of `trustAnchors` (PEM or DER), or against the system's trust store
// when there are none. Throws data::Error when `signature` cannot be read as a signature.
Verification verifyDetached(const QByteArray& content, const QByteArray& signature,
                            const std::optional<QByteArray>& trustAnchors);

// The same for files: `path`, its signature `signaturePath` and, when given, the trust anchors'
// file `anchorsPath`, each read within its bound.
Verification verifyFile(const QString& path, const QString& signaturePath,
                        const QString& anchorsPath = QString());

} // namespace sign
