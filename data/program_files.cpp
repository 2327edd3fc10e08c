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
    // A program in bin, or one in the package's own folder lib/brx-client.
    for (const QLatin1StringView share : {QLatin1StringView("../share/brx-client/"),
                                          QLatin1StringView("../../share/brx-client/")}) {
        const QString installed = programFolder.absoluteFilePath(share + fileName);
        if (QFileInfo::exists(installed))
            return QDir::cleanPath(installed);
    }
    return beside;
}

} // namespace data
