// SPDX-License-Identifier: Apache-2.0
#include "signing_world.h"

#include <gnutls/pkcs11.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <cstdlib>
#include <stdexcept>

namespace signtest {

const SigningWorld& SigningWorld::get() {
    static QTemporaryDir folder;
    static const SigningWorld world = [] {
        QProcess maker;
        maker.start(QStringLiteral(BRX_SIGNING_WORLD_MAKER), {folder.path()});
        if (!maker.waitForFinished(120000) || maker.exitStatus() != QProcess::NormalExit ||
            maker.exitCode() != 0)
            throw std::runtime_error("make_signing_world.sh failed: " +
                                     maker.readAllStandardError().toStdString());
        qputenv("SOFTHSM2_CONF",
                QFile::encodeName(folder.filePath(QStringLiteral("softhsm2.conf"))));
        return SigningWorld(folder.path());
    }();
    return world;
}

QString SigningWorld::path(const QString& name) const {
    return QDir(folder_).filePath(name);
}

QString SigningWorld::secretFile(const QByteArray& secret) const {
    const QString name = path(
        QStringLiteral("secret-") +
        QString::fromLatin1(QCryptographicHash::hash(secret, QCryptographicHash::Sha1).toHex()));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(secret + '\n') != secret.size() + 1)
        throw std::runtime_error("cannot write a secret file");
    return name;
}

QString SigningWorld::tokenUrl(const QString& name) {
    return QStringLiteral("pkcs11:token=Bidder;object=%1;type=cert").arg(name);
}

OwnToken::OwnToken() : worldConfiguration_(qgetenv("SOFTHSM2_CONF")) {
    // The test program reaches its tokens before the setting changes, so that it stays on the
    // world's token whatever the order of the tests.
    if (gnutls_pkcs11_init(GNUTLS_PKCS11_FLAG_AUTO, nullptr) < 0)
        throw std::runtime_error("cannot reach the tokens");
    const QString pristine = SigningWorld::get().path(QStringLiteral("tokens.pristine"));
    const QString tokens = folder_.filePath(QStringLiteral("tokens"));
    if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), pristine, tokens}) != 0)
        throw std::runtime_error("cannot copy the token");
    const QString configuration = folder_.filePath(QStringLiteral("softhsm2.conf"));
    QFile file(configuration);
    const QByteArray text = "directories.tokendir = " + QFile::encodeName(tokens) +
                            "\nobjectstore.backend = file\nlog.level = ERROR\n";
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        throw std::runtime_error("cannot write the token's configuration");
    qputenv("SOFTHSM2_CONF", QFile::encodeName(configuration));
}

void OwnToken::store(const QString& name, const QString& key, const QString& id) {
    const SigningWorld& world = SigningWorld::get();
    for (const QString& option :
         {QStringLiteral("--load-privkey"), QStringLiteral("--load-certificate")}) {
        QProcess p11tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("GNUTLS_PIN"), QLatin1String(SigningWorld::kPin));
        p11tool.setProcessEnvironment(environment);
        const QString object = option == QLatin1String("--load-privkey")
                                   ? world.path(key)
                                   : world.path(name + QStringLiteral(".pem"));
        p11tool.start(QStringLiteral("p11tool"),
                      {QStringLiteral("--login"), QStringLiteral("--write"), option, object,
                       QStringLiteral("--label"), name, QStringLiteral("--id"), id,
                       QStringLiteral("pkcs11:token=Bidder")});
        if (!p11tool.waitForFinished(20000) || p11tool.exitStatus() != QProcess::NormalExit ||
            p11tool.exitCode() != 0)
            throw std::runtime_error("p11tool failed: " +
                                     p11tool.readAllStandardError().toStdString());
    }
}

OwnToken::~OwnToken() {
    qputenv("SOFTHSM2_CONF", worldConfiguration_);
}

} // namespace signtest
