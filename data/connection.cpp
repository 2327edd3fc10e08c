// SPDX-License-Identifier: Apache-2.0
#include "data/connection.h"

#include "data/engine_error.h"
#include "data/error.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace data {

QString Connection::databasePath() {
    return QDir::currentPath() + QLatin1String("/DB.mdb");
}

void Connection::makeWritable(const QString& path) {
    // POSIX calls rather than QFile's permissions: those mix in what the current user may do
    // and drop the set-id and sticky bits, so writing them back would change more than one bit.
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0 || (info.st_mode & S_IWUSR) != 0)
        return;
    // A refusal (a file of another user, a read-only medium) is not ours to report: opening the
    // file for writing will say what is wrong.
    ::chmod(native.constData(), (info.st_mode & 07777) | S_IWUSR);
}

QString Connection::connectionString(const QString& path) {
    const QString empty = QStringLiteral("\"\"");
    const std::pair<QString, QString> settings[] = {
        {QStringLiteral("Provider"), QStringLiteral("Microsoft.Jet.OLEDB.4.0")},
        {QStringLiteral("User ID"), QStringLiteral("Admin")},
        {QStringLiteral("Data Source"), path},
        {QStringLiteral("Mode"), QStringLiteral("Share Deny None")},
        {QStringLiteral("Extended Properties"), empty},
        {QStringLiteral("Jet OLEDB:System database"), empty},
        {QStringLiteral("Jet OLEDB:Registry Path"), empty},
        {QStringLiteral("Jet OLEDB:Database Password"), empty},
        {QStringLiteral("Jet OLEDB:Engine Type"), QStringLiteral("5")},
        {QStringLiteral("Jet OLEDB:Database Locking Mode"), QStringLiteral("0")},
        {QStringLiteral("Jet OLEDB:Global Partial Bulk Ops"), QStringLiteral("2")},
        {QStringLiteral("Jet OLEDB:Global Bulk Transactions"), QStringLiteral("1")},
        {QStringLiteral("Jet OLEDB:New Database Password"), empty},
        {QStringLiteral("Jet OLEDB:Create System Database"), QStringLiteral("False")},
        {QStringLiteral("Jet OLEDB:Encrypt Database"), QStringLiteral("False")},
        {QStringLiteral("Jet OLEDB:Don't Copy Locale on Compact"), QStringLiteral("False")},
        {QStringLiteral("Jet OLEDB:Compact Without Replica Repair"), QStringLiteral("False")},
        {QStringLiteral("Jet OLEDB:SFP"), QStringLiteral("False")},
    };
    QStringList parts;
    for (const auto& [name, value] : settings)
        parts << name + QLatin1Char('=') + value;
    return parts.join(QLatin1Char(';'));
}

namespace {

// Whether the user may not write `path` even after it was made writable: the file of another
// user, or one on a read-only medium. A missing file is not one of these: opening says why.
bool userMayNotWrite(const QString& path) {
    if (::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) == 0)
        return false;
    return errno == EACCES || errno == EPERM || errno == EROFS;
}

} // namespace

void Connection::open(const QString& path) {
    database_.reset();
    lotPositions_.clear();
    description_ = connectionString(path);
    makeWritable(path);
    readOnly_ = userMayNotWrite(path);
    const jet::Database::Mode mode =
        readOnly_ ? jet::Database::Mode::ReadOnly : jet::Database::Mode::ReadWrite;
    database_ =
        engineCall([&] { return std::make_unique<jet::Database>(path.toStdString(), mode); });
}

void Connection::checkWritable() const {
    if (!readOnly_)
        return;
    throw Error(
        QStringLiteral("Нямате право да променяте файла „%1“, затова той е отворен само за "
                       "четене: офертата може да се преглежда, проверява, печата и изнася, но "
                       "нищо не се въвежда. За да въвеждате, копирайте файла в своя папка и "
                       "стартирайте програмата оттам.")
            .arg(QString::fromStdString(database().path())));
}

void Connection::openReadOnly(const QString& path) {
    database_.reset();
    readOnly_ = false;
    description_ = connectionString(path);
    database_ = engineCall([&] {
        return std::make_unique<jet::Database>(path.toStdString(), jet::Database::Mode::ReadOnly);
    });
}

jet::Database& Connection::database() const {
    if (database_ == nullptr)
        throw Error(QStringLiteral("Няма връзка с базата данни."));
    return *database_;
}

} // namespace data
