// SPDX-License-Identifier: Apache-2.0
#include "data/program_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace data {

QString programFilePath(const QString& fileName) {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    const QString beside = programFolder.absoluteFilePath(fileName);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed =
        programFolder.absoluteFilePath(QStringLiteral("../share/brx-client/") + fileName);
    if (QFileInfo::exists(installed))
        return QDir::cleanPath(installed);
    return beside;
}

} // namespace data
