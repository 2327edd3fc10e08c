// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace signtest {

// What make_signing_world.sh makes: a test certificate authority, the bidder's certificates it
// issued, their .p12 files and a SoftHSM2 token holding two of them. Made once for the whole
// test program, in a temporary folder, and reached through SOFTHSM2_CONF, which must be set
// before GnuTLS first looks for tokens: call get() at the start of main().
class SigningWorld {
public:
    static const SigningWorld& get();

    // A file of the world: "ca.pem", "signer.p12", "expired.pem"...
    QString path(const QString& name) const;
    // A file holding `secret` on its first line, for --pin-file.
    QString secretFile(const QByteArray& secret) const;
    // The PKCS #11 URL of the certificate `name` ("signer", "expired") on the token.
    static QString tokenUrl(const QString& name);

    static constexpr char kPin[] = "1234";
    static constexpr char kPassword[] = "secret";

private:
    explicit SigningWorld(QString folder) : folder_(std::move(folder)) {}
    QString folder_;
};

// A token of its own for the programs one test starts: a copy of the world's token as it was
// made, reached through SOFTHSM2_CONF while this object lives. A run that hangs on the token
// and is ended leaves its token broken for no other test. The test program itself keeps the
// world's token.
class OwnToken {
public:
    OwnToken();
    OwnToken(const OwnToken&) = delete;
    OwnToken& operator=(const OwnToken&) = delete;
    ~OwnToken();

    // Puts the world's certificate `name` ("weak.pem" by name "weak") with its key `key` on
    // this token under the identifier `id` (hexadecimal), as the card software of a bidder
    // would; tokenUrl(name) reaches it.
    void store(const QString& name, const QString& key, const QString& id);

private:
    QTemporaryDir folder_;
    QByteArray worldConfiguration_;
};

} // namespace signtest
