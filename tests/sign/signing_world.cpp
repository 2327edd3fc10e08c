// SPDX-License-Identifier: Apache-2.0
#include "signing_world.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
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

} // namespace signtest
