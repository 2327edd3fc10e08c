// SPDX-License-Identifier: Apache-2.0
#include "data/connection.h"
#include "data/error.h"

#include "tender_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

TEST(Connection, DescribesItselfWithTheFullSettingsString) {
    EXPECT_EQ(data::Connection::connectionString(QStringLiteral("/tenders/DB.mdb")),
              QStringLiteral(
                  "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=/tenders/DB.mdb;"
                  "Mode=Share Deny None;Extended Properties=\"\";Jet OLEDB:System database=\"\";"
                  "Jet OLEDB:Registry Path=\"\";Jet OLEDB:Database Password=\"\";"
                  "Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=0;"
                  "Jet OLEDB:Global Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;"
                  "Jet OLEDB:New Database Password=\"\";Jet OLEDB:Create System Database=False;"
                  "Jet OLEDB:Encrypt Database=False;Jet OLEDB:Don't Copy Locale on Compact=False;"
                  "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False"));
}

TEST(Connection, LooksForTheTenderInTheWorkingDirectory) {
    fixture::TenderFolder folder;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    const QString path = data::Connection::databasePath();
    QDir::setCurrent(previous);
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).canonicalPath(),
              QDir(folder.path()).canonicalPath());
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("DB.mdb"));
}

TEST(Connection, MakesAReadOnlyFileWritableAndKeepsItsOtherPermissions) {
    fixture::TenderFolder folder;
    const QString file = folder.writeSample();
    // No execute bit for the owner: writing back what QFile reports for root would add one.
    const QFileDevice::Permissions readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                              QFileDevice::ExeGroup | QFileDevice::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(file, readOnly));

    data::Connection connection;
    connection.open(file);
    EXPECT_TRUE(connection.connected());
    EXPECT_EQ(QFile::permissions(file) &
                  ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
              readOnly | QFileDevice::WriteOwner);
}

// What the engine says about a file it cannot open reaches the bidder in Bulgarian, naming the
// file; no connection is left.
TEST(Connection, AFileThatCannotBeOpenedIsToldInBulgarianAndLeavesNoConnection) {
    fixture::TenderFolder folder;
    QFile junk(folder.file(QStringLiteral("junk.mdb")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(5000, 'x'));
    junk.close();
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("folder.mdb")));
    struct Case {
        QString file;
        QString message;
    };
    const Case cases[] = {
        {folder.file(), QStringLiteral("Файлът „%1“ не е достъпен: няма такъв файл или папка.")
                            .arg(folder.file())},
        // A folder: "това е папка" when opened for writing, "това не е обикновен файл" else.
        {folder.file(QStringLiteral("folder.mdb")),
         QStringLiteral("Файлът „%1“ не е достъпен: това ")
             .arg(folder.file(QStringLiteral("folder.mdb")))},
        {folder.file(QStringLiteral("junk.mdb")),
         QStringLiteral("Файлът на търга е повреден: програмата не може да го прочете или "
                        "промени.\nЗа поддръжката: ")},
    };
    for (const Case& c : cases) {
        for (const bool readOnly : {false, true}) {
            data::Connection connection;
            try {
                if (readOnly)
                    connection.openReadOnly(c.file);
                else
                    connection.open(c.file);
                ADD_FAILURE() << "opened " << c.file.toStdString();
            } catch (const data::Error& error) {
                EXPECT_TRUE(QString::fromUtf8(error.what()).startsWith(c.message)) << error.what();
            }
            EXPECT_FALSE(connection.connected());
            EXPECT_THROW(connection.database(), data::Error);
        }
    }
    EXPECT_FALSE(QFile::exists(folder.file())); // making it writable created nothing
}

} // namespace
