// SPDX-License-Identifier: Apache-2.0
#include "jet/bytes.h"
#include "jet/database.h"
#include "jet/page_file.h"
#include "tools/tender_description.h"

#include "brx_offer_run.h"
#include "offer_problems_tender.h"
#include "offer_tender.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using exporttest::brxOffer;
using exporttest::contents;
using exporttest::ProgramRun;

class BrxOffer : public ::testing::Test {
protected:
    void SetUp() override {
        tender::writeTender(exporttest::offerTender(), file.toStdString());
        ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("out")));
    }

    QStringList outEntries() const { return QDir(out).entryList(QDir::Files | QDir::Hidden); }

    fixture::TenderFolder folder;
    QString file = folder.file();
    QString out = folder.path() + QStringLiteral("/out");
};

TEST_F(BrxOffer, WritesTheSameFileAsTheButtonReadingTheTenderOnly) {
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    const QFileInfo before(file);
    const QByteArray tenderBytes = contents(file);
    struct Case {
        QStringList arguments;
        QByteArray locale;
        QString written;
        QString golden;
    };
    const Case cases[] = {
        {{QStringLiteral("--type"), QStringLiteral("technical")},
         "bg_BG.UTF-8",
         QStringLiteral("TehnDocET Ivan_OP_3.xml"),
         QStringLiteral("technical_comma")},
        {{QStringLiteral("--type"), QStringLiteral("price")},
         "en_US.UTF-8",
         QStringLiteral("CenovaOferta_ET Ivan_OP_3.xml"),
         QStringLiteral("price_point")},
        {{QStringLiteral("-o"), QStringLiteral("offer"), QStringLiteral("--type"),
          QStringLiteral("price")},
         "bg_BG.UTF-8",
         QStringLiteral("offer"),
         QStringLiteral("price_comma")},
    };
    for (const Case& c : cases) {
        const ProgramRun run =
            brxOffer(QStringList{QStringLiteral("xml"), file, QStringLiteral("3")} << c.arguments,
                     out, c.locale);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, c.written + QLatin1Char('\n'));
        const QString written = out + QLatin1Char('/') + c.written;
        EXPECT_EQ(contents(written),
                  contents(QStringLiteral(BRX_GOLDEN_DIR "/%1.xml").arg(c.golden)))
            << c.golden.toStdString();
        EXPECT_EQ(exporttest::xmllintProblems(written), QString());
    }
    const QFileInfo after(file);
    EXPECT_EQ(contents(file), tenderBytes);
    EXPECT_EQ(after.lastModified(), before.lastModified());
    EXPECT_EQ(after.permissions(), before.permissions());
}

TEST_F(BrxOffer, RefusesWithTheReasonAndWritesNothing) {
    const QString nameless = folder.file(QStringLiteral("nameless.mdb"));
    QFile::copy(file, nameless);
    fixture::updateRow(nameless, "SPECS", "", {}, {{"IME_NA_FIRMATA", jet::Value{}}});
    struct Case {
        QString tender;
        QString lot;
        QString message;
    };
    const Case cases[] = {
        {file, QStringLiteral("5"),
         QStringLiteral("Не сте оферирали всички продукти за текущата обособена позиция!\n")},
        {nameless, QStringLiteral("3"),
         QStringLiteral("\"Наименование на фирмата\" трябва да е попълнено.\n")},
        {file, QStringLiteral("9"),
         QStringLiteral("Не участвате в обособена позиция №9: няма оферта за нея.\n")},
        {file, QStringLiteral("42"), QStringLiteral("Няма обособена позиция с номер 42.\n")},
    };
    for (const Case& c : cases) {
        const ProgramRun run = brxOffer({QStringLiteral("xml"), c.tender, c.lot,
                                         QStringLiteral("--type"), QStringLiteral("price")},
                                        out);
        EXPECT_EQ(run.status, 1) << c.lot.toStdString();
        EXPECT_EQ(run.err, c.message);
        EXPECT_EQ(run.out, QString());
    }
    const ProgramRun missing =
        brxOffer({QStringLiteral("xml"), folder.file(QStringLiteral("none.mdb")),
                  QStringLiteral("3"), QStringLiteral("--type"), QStringLiteral("price")},
                 out);
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("none.mdb"))) << missing.err.toStdString();
    const ProgramRun unwritable =
        brxOffer({QStringLiteral("xml"), file, QStringLiteral("3"), QStringLiteral("--type"),
                  QStringLiteral("price"), QStringLiteral("-o"), QStringLiteral("no folder/o.xml")},
                 out);
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.err,
              QStringLiteral("Error Saving File\nФайлът „no folder/o.xml“ не може да бъде записан: "
                             "няма такъв файл или папка.\n"));
    EXPECT_EQ(outEntries(), QStringList());
}

// Values another tool stored that no bidder can type: the offer of either type is refused naming
// the value, where it is and why, nothing is written or printed, and the check lists each one. The
// file's number form keeps at most 15 significant digits, so a value needing more would go out
// rounded.
TEST_F(BrxOffer, RefusesStoredValuesTypingCouldNeverEnterAndTheCheckNamesThem) {
    struct Stored {
        const char* table;
        std::int64_t product; // 0 for the tender record
        const char* column;
        jet::Value value;
    };
    struct Case {
        std::vector<Stored> stored;
        QString position; // the position's code; empty for the tender record
        QString field;    // the check's field
        QString message;
    };
    const auto position = [](const char* column, jet::Value value) {
        return std::vector<Stored>{{"PREDLOGENIA", 301, column, std::move(value)}};
    };
    const double infinity = std::numeric_limits<double>::infinity();
    const QString unwritable =
        QStringLiteral("Стойността на %1 %2 и не може да се запише в XML файл.");
    const auto digits = [&](const char* column, int count, const char* whole) {
        return unwritable.arg(QLatin1String(column),
                              QStringLiteral("има %1 значещи цифри при най-много 15 (%2)")
                                  .arg(count)
                                  .arg(QLatin1String(whole)));
    };
    const QString price = QStringLiteral("Ед. цена (PP1_NUMBER)");
    const QString position10 = QStringLiteral("10");
    const Case cases[] = {
        {position("PP1_NUMBER", infinity), position10, price,
         unwritable.arg(QStringLiteral("PP1_NUMBER"), QStringLiteral("е безкрайност (+∞)"))},
        // Carried by the price offer only, and by the technical one only: either is refused.
        {position("PP3_NUMBER", std::nan("")), position10, QStringLiteral("Отстъпка (PP3_NUMBER)"),
         unwritable.arg(QStringLiteral("PP3_NUMBER"), QStringLiteral("не е число (NaN)"))},
        {position("PP4_NUMBER", -infinity), position10, QStringLiteral("Опаковка (PP4_NUMBER)"),
         unwritable.arg(QStringLiteral("PP4_NUMBER"), QStringLiteral("е минус безкрайност (−∞)"))},
        {position("PP1_NUMBER", 0.30000000000000004), position10, price,
         digits("PP1_NUMBER", 17, "0,30000000000000004")},
        {position("PP1_NUMBER", 123456789012345.67), position10, price,
         digits("PP1_NUMBER", 17, "123456789012345,67")},
        {position("PP1_NUMBER", 999999999999999.9), position10, price,
         digits("PP1_NUMBER", 16, "999999999999999,9")},
        {{{"SPECS", 0, "KP1_NUMBER", std::numeric_limits<double>::max()}},
         QString(),
         QStringLiteral("Срок на доставка (KP1_NUMBER)"),
         digits("KP1_NUMBER", 17, "1,7976931348623157e+308")},
        // Half a surrogate pair, which no keyboard enters and UTF-8 has no form for.
        {position("PP2_TEXT", std::u16string(u"Ибупрофен") + char16_t{0xD83D}), position10,
         QStringLiteral("Търговско наименование (PP2_TEXT)"),
         QStringLiteral("Текстът на PP2_TEXT съдържа на 10-о място знака U+D83D, който не може "
                        "да се запише в XML файл.")},
        {{{"SPECS", 0, "IME_NA_FIRMATA", char16_t{0xDE00} + std::u16string(u"Фирма")}},
         QString(),
         QStringLiteral("Наименование на фирмата (IME_NA_FIRMATA)"),
         QStringLiteral("Текстът на IME_NA_FIRMATA съдържа на 1-о място знака U+DE00, който не "
                        "може да се запише в XML файл.")},
        {{{"SPECS", 0, "PP3_OGRANICHENIE", std::int64_t{3}},
          {"PREDLOGENIA", 301, "PP3_NUMBER", 1.0},
          {"PREDLOGENIA", 303, "PP3_NUMBER", -1.5}},
         QStringLiteral("2"),
         QStringLiteral("Отстъпка (PP3_NUMBER)"),
         QStringLiteral("\"Отстъпка\" трябва да е по-голямо или равно на 0.")},
    };
    int made = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        const QString stored = folder.file(QStringLiteral("stored%1.mdb").arg(++made));
        ASSERT_TRUE(QFile::copy(file, stored));
        for (const Stored& value : c.stored)
            fixture::updateRow(stored, value.table, value.product == 0 ? "" : "PRODUCT_CODE",
                               value.product == 0 ? jet::Value{} : jet::Value(value.product),
                               {{value.column, value.value}});
        // The printed offer shows the same values as the file: it is refused alike.
        const QString notMade[][2] = {
            {QStringLiteral("xml"), QStringLiteral(" Файлът на офертата не е записан.\n")},
            {QStringLiteral("pdf"), QStringLiteral(" Офертата не е отпечатана.\n")}};
        for (const char* type : {"price", "technical"}) {
            for (const auto& [command, outcome] : notMade) {
                const ProgramRun run =
                    brxOffer({command, stored, QStringLiteral("3"), QStringLiteral("--type"),
                              QLatin1String(type), QStringLiteral("-o"), QStringLiteral("offer")},
                             out);
                EXPECT_EQ(run.status, 1) << type << ' ' << command.toStdString();
                const QString where = c.position.isEmpty()
                                          ? QString()
                                          : QStringLiteral("Позиция №%1: ").arg(c.position);
                EXPECT_EQ(run.err, where + c.message + outcome) << type;
                EXPECT_EQ(outEntries(), QStringList()) << type;
            }
        }
        const ProgramRun check = brxOffer({QStringLiteral("check"), stored}, out);
        EXPECT_EQ(check.status, 1);
        const QString line = QStringList{c.position.isEmpty() ? QString() : QStringLiteral("3"),
                                         c.position, c.field, c.message}
                                 .join(u'\t');
        EXPECT_TRUE(check.out.split(u'\n').contains(line)) << check.out.toStdString();
    }
}

// One flipped byte in SPECS's definition moves IME_NA_KONKURSA's value to a variable slot no row
// has: read, it would come out empty and the offer would carry an empty tender name.
TEST_F(BrxOffer, ExportsNothingFromADamagedDefinition) {
    std::uint32_t definitionPage = 0;
    std::size_t descriptor = 0;
    {
        jet::Database db(file.toStdString(), jet::Database::Mode::ReadOnly);
        const jet::TableDef specs = db.table("SPECS");
        definitionPage = specs.definitionPage;
        const jet::Column& name = specs.column("IME_NA_KONKURSA");
        // The descriptors follow the header and the index entries, in the order of the numbers.
        descriptor = 63 + 12 * specs.realIndexes.size() +
                     25 * static_cast<std::size_t>(&name - specs.columns.data());
    }
    {
        jet::PageFile tender(file.toStdString(), jet::PageFile::Access::ReadWrite);
        jet::Page page = tender.read(definitionPage);
        jet::putU16(page, descriptor + 7, 16385);
        tender.write(definitionPage, page);
    }
    const ProgramRun run = brxOffer({QStringLiteral("xml"), file, QStringLiteral("3"),
                                     QStringLiteral("--type"), QStringLiteral("price")},
                                    out);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("IME_NA_KONKURSA has variable slot 16385")))
        << run.err.toStdString();
    EXPECT_EQ(outEntries(), QStringList());
}

// Every output follows one rule: a path naming anything but a regular file or nothing (here a
// pipe, which anyone may make where a device node needs root) is refused and left as it was;
// a symbolic link is written through, its target keeping its mode and the link staying a link.
TEST_F(BrxOffer, EveryOutputRefusesWhatIsNoFileAndWritesThroughLinks) {
    const QString pipe = out + QStringLiteral("/pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    struct Case {
        QStringList command;
        QString suffix;
        QByteArray start; // of what is written
    };
    const Case cases[] = {
        {{QStringLiteral("xml"), file, QStringLiteral("3"), QStringLiteral("--type"),
          QStringLiteral("price")},
         QStringLiteral(".xml"),
         "\xEF\xBB\xBF<PREDL"},
        {{QStringLiteral("pdf"), file, QStringLiteral("3"), QStringLiteral("--type"),
          QStringLiteral("price")},
         QStringLiteral(".pdf"),
         "%PDF"},
        {{QStringLiteral("template"), file, QStringLiteral("3")}, QStringLiteral(".xlsx"), "PK"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command[0].toStdString());
        const ProgramRun refused =
            brxOffer(QStringList(c.command) << QStringLiteral("-o") << pipe, out);
        EXPECT_EQ(refused.status, 1) << refused.err.toStdString();
        EXPECT_TRUE(refused.err.contains(pipe)) << refused.err.toStdString();
        struct stat info {};
        ASSERT_EQ(::lstat(QFile::encodeName(pipe).constData(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode));

        const QString target = out + QStringLiteral("/target") + c.suffix;
        const QString link = out + QStringLiteral("/link") + c.suffix;
        QFile earlier(target);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
        earlier.close();
        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
        ASSERT_EQ(::symlink("target" + c.suffix.toUtf8(), QFile::encodeName(link).constData()), 0);
        const ProgramRun through =
            brxOffer(QStringList(c.command) << QStringLiteral("-o") << link, out);
        EXPECT_EQ(through.status, 0) << through.err.toStdString();
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_TRUE(contents(target).startsWith(c.start));
        ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
    }
    // The targets and links, and no temporary file left behind.
    EXPECT_EQ(outEntries().size(), 6) << outEntries().join(u' ').toStdString();
}

// One line a problem, tab-separated, exit 1; nothing on standard output and exit 0 for an offer
// in order; the tender file is only read.
TEST_F(BrxOffer, ChecksTheWholeOfferReadingTheTenderOnly) {
    const QString problems =
        folder.write(fixture::offerProblemsTender(), {}, QStringLiteral("problems.mdb"));
    const QString clean =
        folder.write(fixture::offerProblemsTender(true), {}, QStringLiteral("clean.mdb"));
    const QByteArray problemBytes = contents(problems);
    QString expected;
    for (const exporttest::ProblemLine& line : exporttest::offerProblemLines())
        expected += QStringList{line.lot, line.position, line.field, line.message}.join(u'\t') +
                    QLatin1Char('\n');

    const ProgramRun found = brxOffer({QStringLiteral("check"), problems}, out);
    EXPECT_EQ(found.status, 1) << found.err.toStdString();
    EXPECT_EQ(found.out, expected);
    EXPECT_EQ(found.err, QString());
    EXPECT_EQ(contents(problems), problemBytes);

    const ProgramRun none = brxOffer({QStringLiteral("check"), clean}, out);
    EXPECT_EQ(none.status, 0) << none.err.toStdString();
    EXPECT_EQ(none.out, QString());
    EXPECT_EQ(none.err, QStringLiteral("Няма открити проблеми.\n"));

    // A price above the authority's estimate is a warning: listed, but no failure.
    nlohmann::json estimated = fixture::offerProblemsTender(true);
    for (nlohmann::json& row : estimated["PREDLOGENIA"])
        if (row["PRODUCT_CODE"] == 92)
            row["MAX_CENA"] = 3.5;
    const ProgramRun warned = brxOffer(
        {QStringLiteral("check"), folder.write(estimated, {}, QStringLiteral("estimated.mdb"))},
        out);
    EXPECT_EQ(warned.status, 0) << warned.err.toStdString();
    EXPECT_TRUE(
        warned.out.startsWith(QStringLiteral("9\t9\tЕд. цена (PP1_NUMBER)\tПредупреждение: ")))
        << warned.out.toStdString();
    EXPECT_EQ(warned.err, QStringLiteral("Няма открити проблеми, само предупреждения.\n"));

    const ProgramRun missing =
        brxOffer({QStringLiteral("check"), folder.file(QStringLiteral("none.mdb"))}, out);
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("none.mdb"))) << missing.err.toStdString();
    EXPECT_EQ(outEntries(), QStringList());
}

TEST_F(BrxOffer, AnswersHelpAndWrongUsage) {
    const ProgramRun help = brxOffer({QStringLiteral("--help")}, out);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("xml FILE.mdb LOT_CODE --type price|technical")));
    EXPECT_TRUE(help.out.contains(
        QStringLiteral("pdf FILE.mdb LOT_CODE --type price|technical -o OUT.pdf")));
    EXPECT_TRUE(help.out.contains(QStringLiteral("check FILE.mdb")));
    const QStringList wrong[] = {
        {},
        {QStringLiteral("pdfx")},
        {QStringLiteral("xml")},
        {QStringLiteral("xml"), file, QStringLiteral("3")},
        {QStringLiteral("xml"), file, QStringLiteral("3"), QStringLiteral("--type"),
         QStringLiteral("cheap")},
        {QStringLiteral("xml"), file, QStringLiteral("3"), QStringLiteral("--type"),
         QStringLiteral("price"), QStringLiteral("-o")},
        {QStringLiteral("xml"), file, QStringLiteral("3"), QStringLiteral("4"),
         QStringLiteral("--type"), QStringLiteral("price")},
        {QStringLiteral("xml"), file, QStringLiteral("3"), QStringLiteral("--type"),
         QStringLiteral("price"), QStringLiteral("--verbose")},
        {QStringLiteral("pdf"), file, QStringLiteral("3"), QStringLiteral("--type"),
         QStringLiteral("price")},
        {QStringLiteral("pdf"), file, QStringLiteral("3"), QStringLiteral("-o"),
         QStringLiteral("offer.pdf")},
        {QStringLiteral("check")},
        {QStringLiteral("check"), file, file},
        {QStringLiteral("check"), QStringLiteral("--all")},
    };
    for (const QStringList& arguments : wrong) {
        const ProgramRun run = brxOffer(arguments, out);
        EXPECT_EQ(run.status, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("Употреба: brx-offer")));
    }
    EXPECT_EQ(outEntries(), QStringList());
}

// The libraries the dynamic loader names while brx-offer runs `arguments` in `folder`: its log
// of every library it looked for, mapped and initialised, the programs brx-offer starts included.
QString loaderLog(const QStringList& arguments, const QString& folder) {
    QTemporaryDir logs;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("libs"));
    environment.insert(QStringLiteral("LD_DEBUG_OUTPUT"), logs.filePath(QStringLiteral("ld")));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(BRX_OFFER_PROGRAM), arguments);
    // What the command finds is not the point here: check exits with 1 on a tender with problems.
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("did not end");
    QString log;
    for (const QFileInfo& file : QDir(logs.path()).entryInfoList(QDir::Files))
        log += contents(file.filePath());
    return log;
}

// Each command starts with what it uses alone: Qt Core, and of the heavier libraries Qt's GUI
// libraries (with the session bus they bring) only to paint, GnuTLS only to sign or verify, the
// zip library of XLSX files only for the price commands; --help and --version load no Qt at all.
TEST_F(BrxOffer, EachCommandLoadsOnlyTheLibrariesItUses) {
    const QStringList libraries{
        QStringLiteral("libQt6Core.so"),    QStringLiteral("libQt6Gui.so"),
        QStringLiteral("libQt6Widgets.so"), QStringLiteral("libQt6PrintSupport.so"),
        QStringLiteral("libQt6DBus.so"),    QStringLiteral("libgnutls.so"),
        QStringLiteral("libquazip1-qt6.so")};
    const QStringList gui = libraries.mid(0, 5);
    struct Case {
        QStringList arguments;
        QStringList loaded;
    };
    const Case cases[] = {
        {{QStringLiteral("--version")}, {}},
        {{QStringLiteral("check"), QStringLiteral("--help")}, {}},
        {{QStringLiteral("xml"), file, QStringLiteral("3"), QStringLiteral("--type"),
          QStringLiteral("price"), QStringLiteral("-o"), QStringLiteral("offer.xml")},
         {libraries[0]}},
        {{QStringLiteral("check"), file}, {libraries[0]}},
        {{QStringLiteral("template"), file, QStringLiteral("3"), QStringLiteral("-o"),
          QStringLiteral("prices.csv")},
         {libraries[0], libraries[6]}},
        {{QStringLiteral("verify"), QStringLiteral("offer.xml"), QStringLiteral("offer.xml.p7s")},
         {libraries[0], libraries[5]}},
        {{QStringLiteral("pdf"), file, QStringLiteral("3"), QStringLiteral("--type"),
          QStringLiteral("price"), QStringLiteral("-o"), QStringLiteral("offer.pdf")},
         gui},
    };
    for (const Case& c : cases) {
        const QString log = loaderLog(c.arguments, out);
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        ASSERT_TRUE(log.contains(QStringLiteral("calling init:"))) << log.toStdString();
        for (const QString& library : libraries)
            EXPECT_EQ(log.contains(library), c.loaded.contains(library)) << library.toStdString();
    }
    EXPECT_EQ(outEntries(), (QStringList{QStringLiteral("offer.pdf"), QStringLiteral("offer.xml"),
                                         QStringLiteral("prices.csv")}));
}

// The import from the command line: the preview on standard output, storing without --dry-run,
// and the exit status telling whether every row of the sheet was (or would be) stored.
TEST_F(BrxOffer, ImportsASheetPrintingThePreviewAndTellingWhetherEverythingWasStored) {
    const auto sheet = [&](const QString& rows) {
        const QString path = folder.path() + QStringLiteral("/prices.csv");
        QFile csv(path);
        EXPECT_TRUE(csv.open(QIODevice::WriteOnly | QIODevice::Truncate));
        csv.write(
            (QStringLiteral("Обособена позиция;Номер;Ед. цена;Търговско наименование\n") + rows)
                .toUtf8());
        return path;
    };
    const QString good = QStringLiteral("5;1;7;Аспирин\n");
    const QString refused = good + QStringLiteral("9;1;3;Б\n");
    struct Case {
        const char* name;
        QString rows;
        bool dryRun;
        int status;
        QString printed;
        bool stored;
    };
    const Case cases[] = {
        {"dry run of a good sheet", good, true, 0, QStringLiteral("ще бъдат записани: 1"), false},
        {"dry run with a refused row", refused, true, 1,
         QStringLiteral("ред 3, обособена позиция 9, позиция 1: не участвате"), false},
        {"a refused row, the good one stored", refused, false, 1,
         QStringLiteral("Записани позиции: 1 от 1"), true},
        {"a good sheet", good, false, 0, QStringLiteral("Записани позиции: 1 от 1"), true},
        {"no row to store", QStringLiteral("9;1;3;Б\n"), false, 1,
         QStringLiteral("ред 2, обособена позиция 9, позиция 1: не участвате"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tender::writeTender(exporttest::offerTender(), file.toStdString());
        const QByteArray before = contents(file);
        QStringList arguments = {QStringLiteral("import"), file, sheet(c.rows)};
        if (c.dryRun)
            arguments << QStringLiteral("--dry-run");
        const ProgramRun run = brxOffer(arguments, folder.path());
        EXPECT_EQ(run.status, c.status) << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(c.printed)) << run.out.toStdString();
        EXPECT_EQ(fixture::readColumn(file, "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{501},
                                      "PP1_NUMBER"),
                  c.stored ? jet::Value(7.0) : jet::Value(std::monostate{}));
        if (!c.stored) {
            EXPECT_EQ(contents(file), before);
        }
        // The preview is said once, on standard output, whatever comes of it.
        EXPECT_EQ((run.out + run.err).count(QStringLiteral("Редове в таблицата")), 1)
            << run.out.toStdString() << run.err.toStdString();
        EXPECT_EQ(fixture::readColumn(file, "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{901},
                                      "PP1_NUMBER"),
                  jet::Value(4.0));
    }

    const ProgramRun unreadable =
        brxOffer({QStringLiteral("import"), file, folder.path() + QStringLiteral("/none.xlsx")},
                 folder.path());
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_FALSE(unreadable.err.isEmpty());
    for (const QStringList& wrong :
         {QStringList{QStringLiteral("import"), file},
          QStringList{QStringLiteral("import"), file, QStringLiteral("a.csv"),
                      QStringLiteral("--store")}}) {
        const ProgramRun usage = brxOffer(wrong, folder.path());
        EXPECT_EQ(usage.status, 2);
        EXPECT_TRUE(usage.err.contains(QStringLiteral("import FILE.mdb IN.xlsx|IN.csv")));
    }
}

} // namespace
