// SPDX-License-Identifier: Apache-2.0
#include "print_test_support.h"

#include "../export/brx_offer_run.h"
#include "data/program_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace printing {
namespace {

using exporttest::brxOffer;
using exporttest::ProgramRun;

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(PrintTest, BrxOfferPdfWritesWhatThePrintButtonExports) {
    start(offerTender(3, 3));
    dialogs.offerTypeAnswers = {2, 1};
    window->btnPrint->click();
    window->btnPrint->click();
    ASSERT_EQ(dialogs.pdfs.size(), 2) << dialogs.errors().join(u'\n').toStdString();

    const QByteArray tenderBytes = bytesOf(folder.file());
    struct Case {
        QString type;
        QString clientPdf;
        QStringList shown;
        QStringList absent;
    };
    const Case cases[] = {
        {QStringLiteral("price"),
         dialogs.pdfs[0],
         {QStringLiteral("ЦЕНОВО ПРЕДЛОЖЕНИЕ"), QStringLiteral("Участник: Медикс ООД"),
          QStringLiteral("Обособена позиция № 3: Превързочни материали"),
          QStringLiteral("Марля хидрофилна 1"), QStringLiteral("Марля хидрофилна 3"),
          QStringLiteral("Брой в опаковка: 12"),
          // 10 * 1.25 + 20 * 2.50 + 30 * 3.75 = 175.00, with VAT 210.00.
          QStringLiteral("Обща стойност без ДДС: 175,00 лв."),
          QStringLiteral("Обща стойност с ДДС: 210,00 лв.")},
         {QStringLiteral("Марка-1")}},
        {QStringLiteral("technical"),
         dialogs.pdfs[1],
         {QStringLiteral("ТЕХНИЧЕСКО ПРЕДЛОЖЕНИЕ"), QStringLiteral("Участник: Медикс ООД"),
          QStringLiteral("Обособена позиция № 3: Превързочни материали"),
          QStringLiteral("Марля хидрофилна 2"), QStringLiteral("Търговско наименование: Марка-3"),
          QStringLiteral("Подпис и печат")},
         {QStringLiteral("Брой в опаковка"), QStringLiteral("с ДДС:")}},
    };
    for (const Case& c : cases) {
        const QString written = c.type + QStringLiteral(" оферта.pdf");
        const ProgramRun run =
            brxOffer({QStringLiteral("pdf"), folder.file(), QStringLiteral("3"),
                      QStringLiteral("--type"), c.type, QStringLiteral("-o"), written},
                     folder.path());
        ASSERT_EQ(run.status, 0) << c.type.toStdString() << ": " << run.err.toStdString();
        EXPECT_EQ(run.out, written + QLatin1Char('\n'));
        EXPECT_EQ(run.err, QString());
        const QString text = pdfText(QDir(folder.path()).filePath(written)).simplified();
        EXPECT_EQ(text, pdfText(c.clientPdf).simplified()) << c.type.toStdString();
        for (const QString& expected : c.shown)
            EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << "\n"
                                                 << text.toStdString();
        for (const QString& unexpected : c.absent)
            EXPECT_FALSE(text.contains(unexpected)) << unexpected.toStdString();
    }
    EXPECT_EQ(bytesOf(folder.file()), tenderBytes);
}

// A PDF is searched and copied from by its text: every stored word comes out of it as typed,
// letter by letter, never as the one ligature glyph ("ﬁ", "ﬂ", "ﬃ") a font would draw for it.
TEST_F(PrintTest, PrintedOffersGiveBackEveryStoredWordAsTyped) {
    nlohmann::json tender = offerTender(3, 3);
    tender["SPECS"][0]["IME_NA_FIRMATA"] = "Affinity Fluids ООД";
    tender["PREDLOGENIA"][0]["IME"] = "Office supplies";
    const char* names[] = {"Certofix final", "Baffle filter", "Efficient waffle flask"};
    const char* tradeNames[] = {"Certofix", "Fluffiest", "Offline Difficulty"};
    for (int i = 0; i < 3; ++i) {
        tender["PREDLOGENIA"][i + 1]["IME"] = names[i];
        tender["PREDLOGENIA"][i + 1]["PP2_TEXT"] = tradeNames[i];
    }
    const QString file = folder.write(tender);
    QStringList stored{QStringLiteral("Affinity Fluids ООД"), QStringLiteral("Office supplies")};
    for (const char* name : names)
        stored << QString::fromUtf8(name);
    for (const QString& type : {QStringLiteral("price"), QStringLiteral("technical")}) {
        const QString written = type + QStringLiteral(".pdf");
        const ProgramRun run =
            brxOffer({QStringLiteral("pdf"), file, QStringLiteral("3"), QStringLiteral("--type"),
                      type, QStringLiteral("-o"), written},
                     folder.path());
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        const QString text = pdfText(QDir(folder.path()).filePath(written)).simplified();
        QStringList expected = stored;
        if (type == QStringLiteral("technical"))
            for (const char* tradeName : tradeNames)
                expected << QString::fromUtf8(tradeName);
        for (const QString& word : expected)
            EXPECT_TRUE(text.contains(word))
                << type.toStdString() << ": " << word.toStdString() << "\n"
                << text.toStdString();
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[\\x{FB00}-\\x{FB06}]"))))
            << type.toStdString() << ": a ligature in\n"
            << text.toStdString();
    }
}

TEST_F(PrintTest, BrxOfferPdfRefusesWithTheReasonAndWritesNothing) {
    const QString tender = folder.write(offerTender(3, 3));
    nlohmann::json nameless = offerTender(3, 3);
    nameless["SPECS"][0]["IME_NA_FIRMATA"] = "   ";
    const QString namelessTender = folder.write(nameless, {}, QStringLiteral("nameless.mdb"));
    const QString outsider = folder.write(offerTender(3, 3, /*noVat=*/false, /*takingPart=*/false),
                                          {}, QStringLiteral("outsider.mdb"));
    const QString unpriced = folder.write(offerTender(3, 2), {}, QStringLiteral("unpriced.mdb"));

    // brx-offer, and the program that paints for it, in a folder of their own that lacks the
    // technical offer's template.
    QTemporaryDir program;
    const QString lonely = program.filePath(QStringLiteral("brx-offer"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(BRX_OFFER_PROGRAM), lonely));
    ASSERT_TRUE(QFile::copy(QFileInfo(QStringLiteral(BRX_OFFER_PROGRAM))
                                .dir()
                                .filePath(QStringLiteral("brx-offer-pdf")),
                            program.filePath(QStringLiteral("brx-offer-pdf"))));
    ASSERT_TRUE(QFile::copy(data::programFilePath(QStringLiteral("rep1.fr3")),
                            program.filePath(QStringLiteral("rep1.fr3"))));
    const QString usual = QStringLiteral(BRX_OFFER_PROGRAM);

    QTemporaryDir out;
    struct Case {
        QString tender;
        QString lot;
        QString type;
        QString output;
        QString program;
        QString message;
    };
    const Case cases[] = {
        {tender, QStringLiteral("42"), QStringLiteral("price"), QStringLiteral("o.pdf"), usual,
         QStringLiteral("Няма обособена позиция с номер 42.\n")},
        {outsider, QStringLiteral("3"), QStringLiteral("technical"), QStringLiteral("o.pdf"), usual,
         QStringLiteral("Не участвате в обособена позиция №3: няма оферта за нея.\n")},
        {namelessTender, QStringLiteral("3"), QStringLiteral("price"), QStringLiteral("o.pdf"),
         usual, QStringLiteral("\"Наименование на фирмата\" трябва да е попълнено.\n")},
        {unpriced, QStringLiteral("3"), QStringLiteral("price"), QStringLiteral("o.pdf"), usual,
         QStringLiteral("Не сте оферирали всички продукти за текущата обособена позиция!\n")},
        {tender, QStringLiteral("3"), QStringLiteral("price"), QStringLiteral("o.pdf"), lonely,
         QStringLiteral("Cannot open file \"%1\". No such file or directory\n")
             .arg(program.filePath(QStringLiteral("rep2.fr3")))},
        {tender, QStringLiteral("3"), QStringLiteral("price"), QStringLiteral("no folder/o.pdf"),
         usual,
         QStringLiteral(
             "Файлът „no folder/o.pdf“ не може да бъде записан: няма такъв файл или папка.\n")},
    };
    for (const Case& c : cases) {
        const QByteArray tenderBytes = bytesOf(c.tender);
        const ProgramRun run =
            brxOffer({QStringLiteral("pdf"), c.tender, c.lot, QStringLiteral("--type"), c.type,
                      QStringLiteral("-o"), c.output},
                     out.path(), "bg_BG.UTF-8", c.program);
        EXPECT_EQ(run.status, 1) << c.message.toStdString();
        EXPECT_EQ(run.err, c.message);
        EXPECT_EQ(run.out, QString());
        EXPECT_EQ(bytesOf(c.tender), tenderBytes) << c.message.toStdString();
    }
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());
}

} // namespace
} // namespace printing
