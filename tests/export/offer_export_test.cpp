// SPDX-License-Identifier: Apache-2.0
#include "data/dataset.h"
#include "export/BRX_XSD.h"
#include "export/offer_export.h"
#include "tools/tender_description.h"
#include "ui/error_guard.h"
#include "ui/scripted_dialogs.h"

#include "offer_tender.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include <random>

#include <csignal>
#include <sys/resource.h>

namespace {

using exporttest::contents;
using Kind = ScriptedDialogs::Kind;

const QString kTechnicalName = QStringLiteral("TehnDocET Ivan_OP_3.xml");
const QString kPriceName = QStringLiteral("CenovaOferta_ET Ivan_OP_3.xml");

class OfferExportTest : public ::testing::Test {
protected:
    void SetUp() override { tender::writeTender(exporttest::offerTender(), file.toStdString()); }

    // Runs the export inside the general error handler, as the button does; the path written.
    QString exportLot(const QString& lotCode) {
        tender = std::make_unique<exporttest::OpenTender>(file, lotCode);
        QString written;
        ErrorGuard(dialogs).run(
            [&] { written = OfferExport(dialogs).ExportXML(tender->sources()); });
        return written;
    }

    QString inFolder(const QString& name) const { return folder.path() + QLatin1Char('/') + name; }
    QStringList folderEntries() const {
        return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    fixture::TenderFolder folder;
    QString file = folder.file();
    ScriptedDialogs dialogs;
    std::unique_ptr<exporttest::OpenTender> tender;
};

TEST_F(OfferExportTest, WritesTheGoldenOfferFilesByteForByte) {
    for (const auto& [type, golden] : {std::pair{PriceOffer, QStringLiteral("price")},
                                       std::pair{TechnicalOffer, QStringLiteral("technical")}}) {
        const QString target = inFolder(golden + QStringLiteral(".xml"));
        dialogs.offerTypeAnswers.push_back(type);
        dialogs.saveFileAnswers.push_back(target);
        EXPECT_EQ(exportLot(QStringLiteral("3")), target);
        EXPECT_EQ(contents(target), contents(exporttest::goldenFile(golden)))
            << golden.toStdString();
        EXPECT_EQ(exporttest::xmllintProblems(target), QString());
        // The walk ends on the last position.
        EXPECT_EQ(tender->qryData->fieldByName(QStringLiteral("CUSTOM_CODE")).asString(),
                  QStringLiteral("10"));
    }
    EXPECT_EQ(dialogs.texts(Kind::OfferType),
              QStringList(2, QStringLiteral("Избор на тип оферта")));
    EXPECT_EQ(dialogs.texts(Kind::SaveFile), (QStringList{kPriceName, kTechnicalName}));
    EXPECT_EQ(dialogs.errors(), QStringList());
}

TEST_F(OfferExportTest, ChecksStopTheExportBeforeAnyQuestion) {
    struct Case {
        const char* name;
        QString lot;
        std::function<void(exporttest::OpenTender&)> change;
        QString error;
    };
    const Case cases[] = {
        {"company name blank", QStringLiteral("3"),
         [](exporttest::OpenTender& t) {
             t.qrySpecs->edit();
             t.qrySpecs->fieldByName(QStringLiteral("IME_NA_FIRMATA"))
                 .setValue(QStringLiteral(" "));
             t.qrySpecs->fieldByName(QStringLiteral("KP1_OGRANICHENIE")).setValue(2);
             t.qrySpecs->fieldByName(QStringLiteral("KP1_NUMBER")).setValue(0.0);
         },
         QStringLiteral("\"Наименование на фирмата\" трябва да е попълнено.\r\n"
                        "\"Срок на доставка\" трябва да е по-голямо от 0.\r\n")},
        {"lot with an unpriced position",
         QStringLiteral("5"),
         {},
         QStringLiteral("Не сте оферирали всички продукти за текущата обособена позиция!")},
    };
    for (const Case& c : cases) {
        ScriptedDialogs asked;
        exporttest::OpenTender t(file, c.lot);
        if (c.change)
            c.change(t);
        asked.offerTypeAnswers.push_back(PriceOffer);
        asked.saveFileAnswers.push_back(inFolder(QStringLiteral("never.xml")));
        ErrorGuard(asked).run([&] { OfferExport(asked).ExportXML(t.sources()); });
        ASSERT_EQ(asked.asked.size(), 1u) << c.name;
        EXPECT_EQ(asked.errors(), QStringList{c.error}) << c.name;
    }
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("DB.mdb")});
}

TEST_F(OfferExportTest, CancellingEitherQuestionEndsSilentlyWithoutAFile) {
    // Offer type cancelled: no save dialog.
    dialogs.offerTypeAnswers.push_back(-1);
    EXPECT_EQ(exportLot(QStringLiteral("3")), QString());
    EXPECT_EQ(dialogs.texts(Kind::SaveFile), QStringList());
    // Save dialog cancelled.
    dialogs.offerTypeAnswers.push_back(TechnicalOffer);
    dialogs.saveFileAnswers.push_back(QString());
    EXPECT_EQ(exportLot(QStringLiteral("3")), QString());
    EXPECT_EQ(dialogs.texts(Kind::SaveFile), QStringList{kTechnicalName});
    EXPECT_EQ(dialogs.errors(), QStringList());
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("DB.mdb")});
}

TEST(OfferExportNames, SpellTheCompanyInLatinAndKeepOneFileName) {
    struct Case {
        int type;
        const char* company;
        const char* lot;
        const char* proposed;
    };
    const Case cases[] = {
        {PriceOffer, "ЕТ Иван", "3", "CenovaOferta_ET Ivan_OP_3.xml"},
        {TechnicalOffer, "ЕТ Иван", "3", "TehnDocET Ivan_OP_3.xml"},
        {PriceOffer, " \"Жар\" ООД ", "12", "CenovaOferta_ \"Jhar\" OOD _OP_12.xml"},
        {PriceOffer, "А/Б\\В", "1/2", "CenovaOferta_A_B_V_OP_1_2.xml"},
        {TechnicalOffer, "../../etc", "3", "TehnDoc.._.._etc_OP_3.xml"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OfferExport::proposedFileName(c.type, QString::fromUtf8(c.company),
                                                QString::fromUtf8(c.lot)),
                  QString::fromUtf8(c.proposed));
}

TEST_F(OfferExportTest, ASlashInTheCompanyNameChangesOnlyTheProposedName) {
    tender = std::make_unique<exporttest::OpenTender>(file, QStringLiteral("3"));
    tender->qrySpecs->edit();
    tender->qrySpecs->fieldByName(QStringLiteral("IME_NA_FIRMATA"))
        .setValue(QStringLiteral("Фарма/Мед"));
    dialogs.offerTypeAnswers.push_back(PriceOffer);
    const QString written =
        OfferExport(dialogs, QLocale::c()).ExportXML(tender->sources()); // save dialog cancelled
    EXPECT_EQ(written, QString());
    EXPECT_EQ(dialogs.texts(Kind::SaveFile),
              QStringList{QStringLiteral("CenovaOferta_Farma_Med_OP_3.xml")});
    const auto document = OfferExport(dialogs).buildDocument(tender->sources(), PriceOffer);
    EXPECT_EQ(document->Get_IME_NA_FIRMATA(), QStringLiteral("Фарма/Мед"));
}

// Which elements an offer parameter adds to a POZICII, by the tender's PP2_TIP and PP2_OFERTA
// and the offer type, for a position whose PP2 values are null.
TEST_F(OfferExportTest, OfferParametersFollowTheirTypeAndOffer) {
    struct Case {
        int offerType;
        qint64 oferta;
        qint64 tip;
        const char* element; // empty: none
    };
    const Case cases[] = {
        {TechnicalOffer, 1, 2, "<PP2_TEXT/>"},
        {TechnicalOffer, 1, 3, "<PP2_NUMBER>0</PP2_NUMBER>"},
        {TechnicalOffer, 1, 1, ""},
        {TechnicalOffer, 1, 0, "<PP2_TEXT/>"},
        {TechnicalOffer, 2, 2, ""},
        {TechnicalOffer, 2, 3, ""},
        {PriceOffer, 2, 2, "<PP2_TEXT/>"},
        {PriceOffer, 2, 3, "<PP2_NUMBER>0</PP2_NUMBER>"},
        {PriceOffer, 2, 1, ""},
        {PriceOffer, 1, 3, ""},
        {PriceOffer, 0, 3, ""},
        {TechnicalOffer, 0, 2, ""},
        {PriceOffer, 7, 2, ""},
        {TechnicalOffer, 7, 3, ""},
    };
    tender = std::make_unique<exporttest::OpenTender>(file, QStringLiteral("3"));
    data::Dataset& specs = *tender->qrySpecs;
    specs.edit();
    for (int n = 1; n <= 6; ++n)
        specs.fieldByName(QStringLiteral("PP%1_OFERTA").arg(n)).setValue(0);
    for (const Case& c : cases) {
        specs.fieldByName(QStringLiteral("PP2_OFERTA")).setValue(c.oferta);
        specs.fieldByName(QStringLiteral("PP2_TIP")).setValue(c.tip);
        const auto document = OfferExport(dialogs).buildDocument(tender->sources(), c.offerType);
        // Position 2 has a price and nothing else.
        EXPECT_EQ(document->Get_POZICII()->Get_Item(1)->XML(),
                  QStringLiteral("<POZICII><PRODUCT_CODE>303</PRODUCT_CODE><CUSTOM_CODE>2"
                                 "</CUSTOM_CODE>%1</POZICII>")
                      .arg(QString::fromLatin1(c.element)))
            << c.offerType << " " << c.oferta << " " << c.tip;
    }
}

TEST_F(OfferExportTest, ThePriceGoesOnlyIntoTheOfferItBelongsTo) {
    struct Case {
        int offerType;
        qint64 oferta;
        bool written;
    };
    const Case cases[] = {{PriceOffer, 2, true},     {TechnicalOffer, 2, false},
                          {TechnicalOffer, 1, true}, {PriceOffer, 1, false},
                          {PriceOffer, 0, false},    {TechnicalOffer, 3, false}};
    tender = std::make_unique<exporttest::OpenTender>(file, QStringLiteral("3"));
    tender->qrySpecs->edit();
    for (const Case& c : cases) {
        tender->qrySpecs->fieldByName(QStringLiteral("PP1_OFERTA")).setValue(c.oferta);
        const auto document = OfferExport(dialogs).buildDocument(tender->sources(), c.offerType);
        const QString second = document->Get_POZICII()->Get_Item(1)->XML();
        EXPECT_EQ(second.contains(QStringLiteral("<PP1_NUMBER>")), c.written)
            << second.toStdString();
        EXPECT_EQ(document->Get_KONKURS()->Get_TIP_EXPORT(), c.offerType);
    }
}

TEST_F(OfferExportTest, ALotWithoutPositionsGivesAnOfferWithoutPositions) {
    const QString target = inFolder(QStringLiteral("empty.xml"));
    dialogs.offerTypeAnswers.push_back(PriceOffer);
    dialogs.saveFileAnswers.push_back(target);
    EXPECT_EQ(exportLot(QStringLiteral("7")), target);
    const QByteArray written = contents(target);
    EXPECT_TRUE(written.contains("</KONKURS></PREDL>\r\n")) << written.toStdString();
    EXPECT_FALSE(written.contains("POZICII"));
    EXPECT_EQ(exporttest::xmllintProblems(target), QString());
    EXPECT_EQ(dialogs.texts(Kind::SaveFile),
              QStringList{QStringLiteral("CenovaOferta_ET Ivan_OP_7.xml")});
}

TEST_F(OfferExportTest, APositionBeingEditedIsStoredOnTheWalkOrStopsTheExport) {
    const QString target = inFolder(QStringLiteral("offer.xml"));
    // A new price passes the position check: stored in the file and written in the offer.
    tender = std::make_unique<exporttest::OpenTender>(file, QStringLiteral("3"));
    tender->qryData->moveTo(1);
    tender->qryData->edit();
    tender->qryData->fieldByName(QStringLiteral("PP1_NUMBER")).setValue(7.25);
    dialogs.offerTypeAnswers.push_back(PriceOffer);
    dialogs.saveFileAnswers.push_back(target);
    ErrorGuard(dialogs).run([&] { OfferExport(dialogs).ExportXML(tender->sources()); });
    EXPECT_EQ(dialogs.errors(), QStringList());
    const QString expectedPrice = offerNumberText(7.25, QLocale::system().decimalPoint());
    EXPECT_TRUE(contents(target).contains(
        QStringLiteral("<CUSTOM_CODE>2</CUSTOM_CODE><PP1_NUMBER>%1</PP1_NUMBER>")
            .arg(expectedPrice)
            .toUtf8()));
    EXPECT_EQ(
        fixture::readColumn(file, "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{303}, "PP1_NUMBER"),
        jet::Value(7.25));
    EXPECT_EQ(exporttest::xmllintProblems(target), QString());

    // A price of 0 fails the check: its message, no save dialog, no new file.
    QFile::remove(target);
    tender->qryData->first();
    tender->qryData->edit();
    tender->qryData->fieldByName(QStringLiteral("PP1_NUMBER")).setValue(0.0);
    ScriptedDialogs refused;
    refused.offerTypeAnswers.push_back(PriceOffer);
    refused.saveFileAnswers.push_back(target);
    ErrorGuard(refused).run([&] { OfferExport(refused).ExportXML(tender->sources()); });
    EXPECT_EQ(refused.errors(),
              QStringList{QStringLiteral("\"Ед. цена\" трябва да е по-голямо от 0.\r\n")});
    EXPECT_EQ(refused.texts(Kind::SaveFile), QStringList());
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(
        fixture::readColumn(file, "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{302}, "PP1_NUMBER"),
        jet::Value(12.5));
}

TEST_F(OfferExportTest, TextTheFileCannotCarryIsRefusedNamingValueAndPosition) {
    struct Case {
        const char* name;
        std::function<void(exporttest::OpenTender&)> change;
        QString named;
    };
    const Case cases[] = {
        {"company name",
         [](exporttest::OpenTender& t) {
             t.qrySpecs->edit();
             t.qrySpecs->fieldByName(QStringLiteral("IME_NA_FIRMATA"))
                 .setValue(QStringLiteral("ЕТ Иван") + QChar(0xDC00));
         },
         QStringLiteral("IME_NA_FIRMATA")},
        {"offer parameter of position 10",
         [](exporttest::OpenTender& t) {
             t.qryData->last();
             t.qryData->edit();
             t.qryData->fieldByName(QStringLiteral("PP2_TEXT"))
                 .setValue(QStringLiteral("Ибу\x02профен"));
         },
         QStringLiteral("Позиция №10: Текстът на PP2_TEXT съдържа на 4-о място знака U+0002")},
    };
    for (const Case& c : cases) {
        exporttest::OpenTender t(file, QStringLiteral("3"));
        c.change(t);
        ScriptedDialogs asked;
        // The price offer carries no PP2_TEXT: a text that either type carries is refused.
        asked.offerTypeAnswers.push_back(PriceOffer);
        asked.saveFileAnswers.push_back(inFolder(QStringLiteral("bad.xml")));
        ErrorGuard(asked).run([&] { OfferExport(asked).ExportXML(t.sources()); });
        ASSERT_EQ(asked.errors().size(), 1) << c.name;
        EXPECT_TRUE(asked.errors()[0].contains(c.named)) << asked.errors()[0].toStdString();
        // Refused before the bidder is asked anything, the offer type included.
        EXPECT_EQ(asked.asked.size(), 1u) << c.name;
    }
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("DB.mdb")});
}

TEST_F(OfferExportTest, TheTendersOwnTextsGoOutWithASpaceForWhatXmlCannotCarry) {
    // Word processors put a vertical tab where a line was broken by hand; the bidder cannot
    // edit the tender's name or a position's code, so refusing them would refuse every offer.
    nlohmann::json description = exporttest::offerTender();
    description["SPECS"][0]["IME_NA_KONKURSA"] = "Доставка\u000Bна консумативи\u0001";
    for (nlohmann::json& row : description["PREDLOGENIA"])
        if (row["PRODUCT_CODE"] == 303)
            row["CUSTOM_CODE"] = "2\u000B";
    tender::writeTender(description, file.toStdString());
    const QString target = inFolder(QStringLiteral("offer.xml"));
    dialogs.offerTypeAnswers.push_back(PriceOffer);
    dialogs.saveFileAnswers.push_back(target);
    EXPECT_EQ(exportLot(QStringLiteral("3")), target);
    EXPECT_EQ(dialogs.errors(), QStringList());
    const QByteArray written = contents(target);
    EXPECT_TRUE(written.contains(
        QStringLiteral("<IME_NA_KONKURSA>Доставка на консумативи </IME_NA_KONKURSA>").toUtf8()))
        << written.toStdString();
    EXPECT_TRUE(written.contains("<CUSTOM_CODE>2 </CUSTOM_CODE>")) << written.toStdString();
    EXPECT_EQ(exporttest::xmllintProblems(target), QString());
    // In the offer file only: the tender file keeps its text.
    EXPECT_EQ(fixture::readColumn(file, "SPECS", {}, {}, "IME_NA_KONKURSA"),
              jet::Value(std::string("Доставка\vна консумативи\x01")));
}

// A signature beside the offer file signs what the file held: written again with the same bytes
// it still matches and stays; written with a changed price it is moved aside, told, and the
// bidder signs again. An old signature moved aside earlier is replaced.
TEST_F(OfferExportTest, ASignatureTheNewFileNoLongerMatchesIsMovedAsideAndTold) {
    const QString target = inFolder(QStringLiteral("offer.xml"));
    const QString signature = target + QStringLiteral(".p7s");
    const QString aside = signature + QStringLiteral(".old");
    const auto writeFile = [](const QString& path, const QByteArray& bytes) {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    };
    const auto exportPrice = [&] {
        dialogs.offerTypeAnswers.push_back(PriceOffer);
        dialogs.saveFileAnswers.push_back(target);
        EXPECT_EQ(exportLot(QStringLiteral("3")), target);
    };
    exportPrice();
    writeFile(signature, "signature of the first offer");
    writeFile(aside, "an older signature");

    exportPrice();
    EXPECT_EQ(contents(signature), QByteArray("signature of the first offer"));
    EXPECT_EQ(dialogs.texts(Kind::Warning), QStringList());

    fixture::updateRow(file, "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{302},
                       {{"PP1_NUMBER", 13.5}});
    exportPrice();
    EXPECT_TRUE(contents(target).contains("<PP1_NUMBER>13"));
    EXPECT_FALSE(QFile::exists(signature));
    EXPECT_EQ(contents(aside), QByteArray("signature of the first offer"));
    EXPECT_EQ(dialogs.texts(Kind::Warning),
              QStringList{QStringLiteral("Файлът „%1“ е променен и подписът до него вече не "
                                         "отговаря на съдържанието му: подписът е преместен в "
                                         "„%2“. Подпишете файла отново.")
                              .arg(target, aside)});
    EXPECT_EQ(dialogs.errors(), QStringList());
}

TEST_F(OfferExportTest, SavingReplacesAnOldFileWithoutAskingAndKeepsThePathAsGiven) {
    const QString existing = inFolder(QStringLiteral("offer.xml"));
    const QString bare = inFolder(QStringLiteral("offer"));
    QFile old(existing);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    for (const QString& target : {existing, bare}) {
        dialogs.offerTypeAnswers.push_back(PriceOffer);
        dialogs.saveFileAnswers.push_back(target);
        EXPECT_EQ(exportLot(QStringLiteral("3")), target);
        EXPECT_EQ(contents(target), contents(exporttest::goldenFile(QStringLiteral("price"))));
    }
    EXPECT_EQ(dialogs.texts(Kind::Confirm), QStringList());
    EXPECT_EQ(folderEntries(), (QStringList{QStringLiteral("DB.mdb"), QStringLiteral("offer"),
                                            QStringLiteral("offer.xml")}));
}

// Lets the process write no file beyond `bytes` while alive: a write past it fails as on a
// full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int);
};

TEST_F(OfferExportTest, AFailedWriteLeavesTheOldFileAsItWasAndNoTemporaryFile) {
    const QString existing = inFolder(QStringLiteral("offer.xml"));
    QFile old(existing);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("the offer handed in yesterday");
    old.close();

    const QString missingFolder = inFolder(QStringLiteral("no such folder/offer.xml"));
    for (const QString& target : {existing, missingFolder}) {
        dialogs.offerTypeAnswers.push_back(PriceOffer);
        dialogs.saveFileAnswers.push_back(target);
        tender = std::make_unique<exporttest::OpenTender>(file, QStringLiteral("3"));
        QString written = QStringLiteral("not run");
        {
            FileSizeLimit fullDisk(64);
            ErrorGuard(dialogs).run(
                [&] { written = OfferExport(dialogs).ExportXML(tender->sources()); });
        }
        EXPECT_EQ(written, QString());
    }
    // The fixed first line, then where and why.
    EXPECT_EQ(dialogs.errors(),
              (QStringList{QStringLiteral("Error Saving File\nФайлът „%1“ не може да бъде записан: "
                                          "файлът надхвърля разрешения размер.")
                               .arg(existing),
                           QStringLiteral("Error Saving File\nФайлът „%1“ не може да бъде записан: "
                                          "няма такъв файл или папка.")
                               .arg(missingFolder)}));
    EXPECT_EQ(contents(existing), QByteArray("the offer handed in yesterday"));
    EXPECT_EQ(folderEntries(),
              (QStringList{QStringLiteral("DB.mdb"), QStringLiteral("offer.xml")}));
}

TEST(OfferFileBytes, StartWithTheByteOrderMarkAndEndEveryLineWithCrLf) {
    struct Case {
        const char* content;
        const char* file;
    };
    const Case cases[] = {
        {"", "\xEF\xBB\xBF"},
        {"<PREDL/>", "\xEF\xBB\xBF<PREDL/>\r\n"},
        {"a\r\nb\rc\nd", "\xEF\xBB\xBF"
                         "a\r\nb\r\nc\r\nd\r\n"},
        {"a\n", "\xEF\xBB\xBF"
                "a\r\n"},
        {"\n\n", "\xEF\xBB\xBF\r\n\r\n"},
        {"\r\r\n", "\xEF\xBB\xBF\r\n\r\n"},
        {"цена", "\xEF\xBB\xBF\xD1\x86\xD0\xB5\xD0\xBD\xD0\xB0\r\n"},
        // A character beyond the basic plane on either side of a line end.
        {"\xF0\x9D\x84\x9E\n\xF0\x9D\x84\x9E",
         "\xEF\xBB\xBF\xF0\x9D\x84\x9E\r\n\xF0\x9D\x84\x9E\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(offerFileBytes(QString::fromUtf8(c.content)), QByteArray(c.file)) << c.content;
    // Half a surrogate pair, before a line end or at the very end, is no character: it is
    // written as the replacement character, never left out.
    const QString lone = QStringLiteral("a") + QChar(0xD800);
    EXPECT_EQ(offerFileBytes(lone + QStringLiteral("\nb") + lone),
              QByteArray("\xEF\xBB\xBF"
                         "a\xEF\xBF\xBD\r\nba\xEF\xBF\xBD\r\n"));
}

// The file's UTF-8 is what Qt's own encoder makes of the text (half a surrogate pair the
// replacement character), its line ends made CR LF: over
// texts drawn from characters at the edges of the UTF-8 lengths, pairs and halves of surrogate
// pairs and every kind of line end.
TEST(OfferFileBytes, AreTheUtf8OfTheTextWithItsLineEndsMadeCrLf) {
    const QString alphabet = QString::fromUtf16(u"a~\u007f\u0080Ж\u07ff\u0800\ufffd\uffff\r\n") +
                             QString::fromUtf16(u"\U0001F600") + QChar(0xD83D) + QChar(0xDE00);
    std::mt19937 dice(37);
    for (int round = 0; round < 2000; ++round) {
        QString content;
        const int length = static_cast<int>(dice() % 12);
        for (int i = 0; i < length; ++i)
            content += alphabet[static_cast<qsizetype>(dice() % alphabet.size())];
        QString lines = content;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
            .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        if (!lines.isEmpty() && !lines.endsWith(QLatin1Char('\n')))
            lines += QLatin1Char('\n');
        lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
        EXPECT_EQ(offerFileBytes(content), QByteArray("\xEF\xBB\xBF") + QByteArray(utf8(lines)))
            << content.toStdU16String().size();
    }
}

// The export hands its markup to the file in pieces: wherever the pieces split the content, a CR
// LF across two of them included, the bytes are those of the whole.
TEST(OfferFileBytes, ComeOutTheSameFromContentInPieces) {
    const QString content = QString::fromUtf8("\r\n\rцена\r\r\n\n\nа\rб\n\r");
    for (qsizetype split = 0; split <= content.size(); ++split) {
        for (const bool single : {false, true}) {
            OfferFileEncoder encoder;
            QByteArray bytes(OfferFileEncoder::room(content.size()), Qt::Uninitialized);
            char* out = bytes.data();
            // Single: every character after the split a piece of its own.
            out = encoder.add(out, QStringView(content).first(split));
            const QStringView rest = QStringView(content).sliced(split);
            for (qsizetype at = 0; single && at < rest.size(); ++at)
                out = encoder.add(out, rest.sliced(at, 1));
            if (!single)
                out = encoder.add(out, rest);
            bytes.truncate(encoder.finish(out) - bytes.constData());
            EXPECT_EQ(bytes, offerFileBytes(content)) << "split at " << split << single;
        }
    }
}

} // namespace
