// SPDX-License-Identifier: Apache-2.0
#include "data/output_file.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace data {

namespace {

// As many links as the system itself follows before it gives up with ELOOP.
constexpr int kMostLinks = 40;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
}

// The file that writing to `path` reaches: `path` itself, or the end of the chain of symbolic
// links it starts, which may not exist yet. `existing` tells whether it does, `mode` its
// permission bits when it does.
struct Target {
    QString path;
    bool existing = false;
    mode_t mode = 0;
};

Target resolve(const QString& userPath) {
    Target target{userPath};
    for (int links = 0;; ++links) {
        struct stat info {};
        if (::lstat(native(target.path).constData(), &info) != 0) {
            if (errno != ENOENT)
                throw OutputError(userPath, systemReason(errno));
            return target;
        }
        if (S_ISLNK(info.st_mode)) {
            if (links == kMostLinks)
                throw OutputError(userPath, systemReason(ELOOP));
            QByteArray link(static_cast<qsizetype>(info.st_size) + 1, '\0');
            const ssize_t length = ::readlink(native(target.path).constData(), link.data(),
                                              static_cast<std::size_t>(link.size()));
            if (length < 0 || length >= link.size())
                throw OutputError(userPath, systemReason(length < 0 ? errno : EAGAIN));
            const QString named = QFile::decodeName(link.left(length));
            target.path = named.startsWith(QLatin1Char('/'))
                              ? named
                              : folderOf(target.path) + QLatin1Char('/') + named;
            continue;
        }
        if (S_ISDIR(info.st_mode))
            throw OutputError(userPath, systemReason(EISDIR));
        if (!S_ISREG(info.st_mode))
            throw OutputError(userPath, QStringLiteral("това не е обикновен файл, а устройство, "
                                                       "канал или гнездо; не се презаписва"));
        target.existing = true;
        target.mode = info.st_mode & 07777;
        return target;
    }
}

// Creates an empty temporary file beside `target`: with the target's mode when it exists, else
// with the mode the umask gives a new file, as the kernel applies it to the open below.
QString createTemporary(const QString& userPath, const Target& target) {
    const QString folder = folderOf(target.path);
    const QString name = target.path.mid(target.path.lastIndexOf(QLatin1Char('/')) + 1);
    for (int attempt = 0;; ++attempt) {
        const QString temporary = folder + QStringLiteral("/.") + name + QLatin1Char('.') +
                                  QString::number(QRandomGenerator::global()->generate(), 36);
        const int fd =
            ::open(native(temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST && attempt < 100)
                continue;
            throw OutputError(userPath, systemReason(errno));
        }
        const bool moded = !target.existing || ::fchmod(fd, target.mode) == 0;
        const int error = errno;
        ::close(fd);
        if (!moded) {
            ::unlink(native(temporary).constData());
            throw OutputError(userPath, systemReason(error));
        }
        return temporary;
    }
}

// Whether the files at `a` and `b` hold the same bytes; false when either cannot be read.
bool sameContent(const QString& a, const QString& b) {
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly) ||
        first.size() != second.size())
        return false;
    constexpr qint64 kChunk = 1 << 16;
    while (!first.atEnd()) {
        const QByteArray left = first.read(kChunk);
        if (left.isEmpty() || left != second.read(kChunk))
            return false;
    }
    return true;
}

// The signature beside `path` that the content of `temporary` would no longer match, moved
// aside; its new path, or empty when there is none or the content is the same as before.
QString moveStaleSignatureAside(const QString& path, const Target& target,
                                const QString& temporary) {
    const QString signature = path + QStringLiteral(".p7s");
    struct stat info {};
    if (::stat(native(signature).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    if (target.existing && sameContent(target.path, temporary))
        return {};
    const QString aside = signature + QStringLiteral(".old");
    if (::rename(native(signature).constData(), native(aside).constData()) != 0)
        throw OutputError(path, QStringLiteral("подписът „%1“ до него не може да бъде "
                                               "преместен: %2")
                                    .arg(signature, systemReason(errno)));
    return aside;
}

} // namespace

OutputError::OutputError(const QString& path, const QString& reason)
    : Error(QStringLiteral("Файлът „%1“ не може да бъде записан: %2.").arg(path, reason)),
      path_(path), reason_(reason) {}

QString writeOutputFile(const QString& path, const std::function<bool(QFile&)>& write) {
    const Target target = resolve(path);
    const QString temporary = createTemporary(path, target);
    const auto removeTemporary = [&] { ::unlink(native(temporary).constData()); };
    QString movedSignature;
    try {
        QFile file(temporary);
        if (!file.open(QIODevice::WriteOnly))
            throw OutputError(path, systemReason(errno));
        if (!write(file))
            throw OutputError(path, QStringLiteral("записът на съдържанието не успя"));
        if (!file.flush())
            throw OutputError(path, systemReason(errno));
        if (::fsync(file.handle()) != 0)
            throw OutputError(path, systemReason(errno));
        file.close();
        movedSignature = moveStaleSignatureAside(path, target, temporary);
        if (::rename(native(temporary).constData(), native(target.path).constData()) != 0) {
            const int error = errno;
            // The old file stays, and so does the signature that matches it.
            if (!movedSignature.isEmpty())
                ::rename(native(movedSignature).constData(),
                         native(path + QStringLiteral(".p7s")).constData());
            throw OutputError(path, systemReason(error));
        }
    } catch (...) {
        removeTemporary();
        throw;
    }
    syncFolder(folderOf(target.path));
    return movedSignature;
}

QString staleSignatureNotice(const QString& path, const QString& movedTo) {
    return QStringLiteral("Файлът „%1“ е променен и подписът до него вече не отговаря на "
                          "съдържанието му: подписът е преместен в „%2“. Подпишете файла "
                          "отново.")
        .arg(path, movedTo);
}

QString systemReason(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("няма такъв файл или папка");
    case EACCES:
    case EPERM:
        return QStringLiteral("няма права за запис");
    case EROFS:
        return QStringLiteral("носителят е само за четене");
    case ENOSPC:
        return QStringLiteral("няма място на диска");
    case EDQUOT:
        return QStringLiteral("квотата на диска е изчерпана");
    case EFBIG:
        return QStringLiteral("файлът надхвърля разрешения размер");
    case EISDIR:
        return QStringLiteral("това е папка");
    case ELOOP:
        return QStringLiteral("символните връзки образуват кръг или са твърде много");
    case ENAMETOOLONG:
        return QStringLiteral("пътят е твърде дълъг");
    case EIO:
        return QStringLiteral("грешка при достъпа до диска");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("файлът е зает");
    default:
        return QStringLiteral("системна грешка %1").arg(error);
    }
}

void syncFolder(const QString& folder) {
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace data
