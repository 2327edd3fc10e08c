// SPDX-License-Identifier: Apache-2.0
#include "xlsx_elsewhere.h"

#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

namespace exporttest {

QJsonObject readXlsxElsewhere(const QString& path) {
    QProcess reader;
    reader.start(QStringLiteral(BRX_PYTHON), {QStringLiteral(BRX_XLSX_READER), path});
    EXPECT_TRUE(reader.waitForFinished(30000));
    EXPECT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
}

} // namespace exporttest
