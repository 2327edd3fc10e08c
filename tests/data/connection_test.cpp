#include "data/connection.h"
#include "data/error.h"
#include "jet/error.h"

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

TEST(Connection, AMissingFileFailsWithTheEnginesErrorAndLeavesNoConnection) {
    fixture::TenderFolder folder;
    data::Connection connection;
    try {
        connection.open(folder.file());
        FAIL() << "opened a missing file";
    } catch (const jet::Error& error) {
        EXPECT_NE(std::string(error.what()).find("DB.mdb"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(connection.connected());
    EXPECT_FALSE(QFile::exists(folder.file())); // making it writable created nothing
    EXPECT_THROW(connection.database(), data::Error);
}

TEST(Connection, AFileThatIsNotATenderFailsWithTheEnginesError) {
    fixture::TenderFolder folder;
    QFile junk(folder.file());
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(5000, 'x'));
    junk.close();
    data::Connection connection;
    EXPECT_THROW(connection.open(folder.file()), jet::Error);
    EXPECT_FALSE(connection.connected());
}

} // namespace
