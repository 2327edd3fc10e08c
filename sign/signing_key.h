// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "data/error.h"
#include "sign/certificate.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The bidder's signing keys: on a smart card or token, reached through the PKCS #11 modules
// that card software registers with p11-kit, or in a .p12/.pfx file.
namespace sign {

// A certificate on a token, whose private key never leaves the token.
struct TokenCertificate {
    QString url; // the certificate's PKCS #11 URL
    QString tokenLabel;
    CertificateInfo certificate;
};

// The certificates a bidder may sign with on the tokens present: certificates of certificate
// authorities and the system's trust store are left out. With `url` (a PKCS #11 URL naming a
// token or an object), only what it matches.
std::vector<TokenCertificate> tokenCertificates(const QString& url = QString());

// Asks the bidder for the PIN, showing `prompt`; nothing when the bidder cancelled. The answer
// is used for one login and never kept.
using PinSource = std::function<std::optional<QByteArray>(const QString& prompt)>;

// The bidder cancelled the PIN question: nothing was signed, nothing needs saying.
class Cancelled : public data::Error {
public:
    using Error::Error;
};

class SigningKey {
public:
    // The key of `certificate` on its token. The PIN is asked once; a wrong one is refused at
    // once and never tried again, so that the program spends none of the tries the card
    // allows before it locks.
    static std::unique_ptr<SigningKey> onToken(const TokenCertificate& certificate, PinSource pin);
    // The key and certificates of a .p12/.pfx file protected by `password`.
    static std::unique_ptr<SigningKey> fromKeyFile(const QString& path, const QByteArray& password);
    ~SigningKey();

    const CertificateInfo& certificate() const;

    // A detached CMS signature of `content` (CAdES-BES): SHA-256, the signing time, the
    // signing-certificate-v2 attribute, the signer's certificate and the chain above it. A
    // certificate that cannot sign now is refused with the reason.
    QByteArray signDetached(const QByteArray& content) const;

private:
    struct State;
    explicit SigningKey(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// The name of the signature of `path`: beside it, with ".p7s" appended.
QString signaturePath(const QString& path);

// Signs the file `path` with `key` and writes the signature to signaturePath(path) as every
// output is written (a temporary file, synced, renamed into place); the signed file is only
// read. Returns the path of the signature.
QString signFile(const SigningKey& key, const QString& path);

} // namespace sign
