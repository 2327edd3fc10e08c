// SPDX-License-Identifier: Apache-2.0
#include "data/output_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

std::optional<struct stat> lstatOf(const QString& path) {
    struct stat info {};
    if (::lstat(native(path).constData(), &info) != 0)
        return std::nullopt;
    return info;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void writeFile(const QString& path, const QByteArray& bytes, mode_t mode) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    ASSERT_EQ(::chmod(native(path).constData(), mode), 0);
}

bool writeNew(QFile& file) {
    return file.write("new") == 3;
}

// A scratch folder with a subfolder "sub", written under the umask 027.
class Scratch {
public:
    Scratch() : previousMask_(::umask(027)) { QDir(dir_.path()).mkdir(QStringLiteral("sub")); }
    ~Scratch() { ::umask(previousMask_); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    QString at(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }

    // Everything in the folder and its subfolder, hidden names included: a temporary file left
    // behind shows here.
    QStringList entries() const {
        QStringList names;
        for (const QString& folder : {QString(), QStringLiteral("sub/")})
            for (const QString& name : QDir(at(folder))
                                           .entryList(QDir::AllEntries | QDir::Hidden |
                                                      QDir::System | QDir::NoDotAndDotDot))
                names << folder + name;
        names.sort();
        return names;
    }

private:
    QTemporaryDir dir_;
    mode_t previousMask_;
};

// What writing to a path does, by what the path names: a regular file or nothing is written
// (through any chain of links, which stay), anything else is left alone.
TEST(OutputFile, WritesRegularFilesThroughLinksAndRefusesEverythingElse) {
    struct Case {
        const char* name;
        std::function<void(const Scratch&)> prepare;
        QString path;             // what the output is asked to write
        QString reached;          // the file that then holds the new content, empty: refused
        mode_t mode;              // its permission bits afterwards
        QString refusedKeepsKind; // refused: the entry that must be unchanged
    };
    const auto file = [](const char* name, mode_t mode) {
        return [=](const Scratch& t) { writeFile(t.at(QString::fromUtf8(name)), "old", mode); };
    };
    const auto link = [](const char* target, const char* name) {
        return [=](const Scratch& t) {
            ASSERT_EQ(::symlink(target, native(t.at(QString::fromUtf8(name))).constData()), 0);
        };
    };
    const auto fifo = [](const Scratch& t) {
        ASSERT_EQ(::mkfifo(native(t.at(QStringLiteral("pipe"))).constData(), 0644), 0);
    };
    const Case cases[] = {
        {"absent: the umask's mode",
         [](const Scratch&) {},
         QStringLiteral("new.xml"),
         QStringLiteral("new.xml"),
         0640,
         {}},
        {"a file keeps its mode",
         file("offer.xml", 0604),
         QStringLiteral("offer.xml"),
         QStringLiteral("offer.xml"),
         0604,
         {}},
        {"a relative chain of links reaches a file in a subfolder",
         [&](const Scratch& t) {
             file("sub/offer.xml", 0600)(t);
             link("sub/offer.xml", "first")(t);
             link("first", "second")(t);
         },
         QStringLiteral("second"),
         QStringLiteral("sub/offer.xml"),
         0600,
         {}},
        {"a dangling link creates its target",
         link("sub/later.xml", "dangling"),
         QStringLiteral("dangling"),
         QStringLiteral("sub/later.xml"),
         0640,
         {}},
        {"a pipe", fifo, QStringLiteral("pipe"), {}, 0, QStringLiteral("pipe")},
        {"a link to a pipe",
         [&](const Scratch& t) {
             fifo(t);
             link("pipe", "to-pipe")(t);
         },
         QStringLiteral("to-pipe"),
         {},
         0,
         QStringLiteral("pipe")},
        {"a folder", [](const Scratch&) {}, QStringLiteral("sub"), {}, 0, QStringLiteral("sub")},
        {"a loop of links",
         [&](const Scratch& t) {
             link("loop-b", "loop-a")(t);
             link("loop-a", "loop-b")(t);
         },
         QStringLiteral("loop-a"),
         {},
         0,
         QStringLiteral("loop-a")},
        {"a missing folder", [](const Scratch&) {}, QStringLiteral("none/offer.xml"), {}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Scratch fresh;
        c.prepare(fresh);
        const QStringList before = fresh.entries();
        std::map<QString, mode_t> typesBefore;
        for (const QString& name : before)
            typesBefore[name] = lstatOf(fresh.at(name))->st_mode & S_IFMT;
        const std::optional<struct stat> kept =
            c.refusedKeepsKind.isEmpty() ? std::nullopt : lstatOf(fresh.at(c.refusedKeepsKind));
        bool refused = false;
        try {
            data::writeOutputFile(fresh.at(c.path), writeNew);
        } catch (const data::OutputError& error) {
            refused = true;
            EXPECT_EQ(error.path(), fresh.at(c.path));
            EXPECT_FALSE(error.reason().isEmpty());
        }
        if (c.reached.isEmpty()) {
            EXPECT_TRUE(refused);
            EXPECT_EQ(fresh.entries(), before);
            if (kept) {
                const std::optional<struct stat> after = lstatOf(fresh.at(c.refusedKeepsKind));
                ASSERT_TRUE(after);
                EXPECT_EQ(after->st_mode, kept->st_mode);
                EXPECT_EQ(after->st_ino, kept->st_ino);
            }
        } else {
            EXPECT_FALSE(refused);
            EXPECT_EQ(contents(fresh.at(c.path)), QByteArray("new"));
            const std::optional<struct stat> reached = lstatOf(fresh.at(c.reached));
            ASSERT_TRUE(reached);
            EXPECT_TRUE(S_ISREG(reached->st_mode));
            EXPECT_EQ(reached->st_mode & 07777, c.mode);
            // The links stay links; the only new entry is a target that did not exist.
            for (const auto& [name, type] : typesBefore)
                EXPECT_EQ(lstatOf(fresh.at(name))->st_mode & S_IFMT, type) << name.toStdString();
            QStringList expected = before;
            if (!expected.contains(c.reached))
                expected << c.reached;
            expected.sort();
            EXPECT_EQ(fresh.entries(), expected);
        }
    }
}

// A write that fails, or throws, leaves the earlier file as it was and no temporary file.
TEST(OutputFile, AFailedWriteKeepsTheEarlierFile) {
    const Scratch scratch;
    writeFile(scratch.at(QStringLiteral("offer.xml")), "old", 0644);
    const QStringList before = scratch.entries();
    EXPECT_THROW(data::writeOutputFile(scratch.at(QStringLiteral("offer.xml")),
                                       [](QFile& file) {
                                           file.write("half");
                                           return false;
                                       }),
                 data::OutputError);
    EXPECT_THROW(data::writeOutputFile(scratch.at(QStringLiteral("offer.xml")),
                                       [](QFile& file) -> bool {
                                           file.write("half");
                                           throw std::runtime_error("broken");
                                       }),
                 std::runtime_error);
    EXPECT_EQ(contents(scratch.at(QStringLiteral("offer.xml"))), QByteArray("old"));
    EXPECT_EQ(scratch.entries(), before);
}

// A signature beside the file signs its old content. New content moves it aside and says where;
// the same bytes leave it; and when it cannot be moved, the file is not replaced either, so the
// old file and its signature stay together.
TEST(OutputFile, MovesASignatureTheNewContentNoLongerMatchesAside) {
    const Scratch scratch;
    const QString offer = scratch.at(QStringLiteral("offer.xml"));
    const QString signature = offer + QStringLiteral(".p7s");
    const QString aside = signature + QStringLiteral(".old");
    writeFile(offer, "new", 0644);
    writeFile(signature, "signed", 0644);
    EXPECT_EQ(data::writeOutputFile(offer, writeNew), QString());
    EXPECT_EQ(contents(signature), QByteArray("signed"));

    ASSERT_TRUE(QDir().mkpath(aside + QStringLiteral("/in-the-way")));
    writeFile(offer, "old", 0644);
    EXPECT_THROW(data::writeOutputFile(offer, writeNew), data::OutputError);
    EXPECT_EQ(contents(offer), QByteArray("old"));
    EXPECT_EQ(contents(signature), QByteArray("signed"));

    ASSERT_TRUE(QDir(aside).removeRecursively());
    EXPECT_EQ(data::writeOutputFile(offer, writeNew), aside);
    EXPECT_EQ(contents(offer), QByteArray("new"));
    EXPECT_FALSE(QFile::exists(signature));
    EXPECT_EQ(contents(aside), QByteArray("signed"));
}

} // namespace
