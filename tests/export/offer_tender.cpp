// SPDX-License-Identifier: Apache-2.0
#include "offer_tender.h"

#include "data/tender_datasets.h"
#include "offer/dataset_rules.h"

#include <QFile>
#include <QLocale>
#include <QProcess>

#include <gtest/gtest.h>

namespace exporttest {

nlohmann::json offerTender() {
    return {
        {"SPECS",
         {{{"IME_NA_FIRMATA", "ЕТ Иван"},
           {"IME_NA_KONKURSA", "Доставка на лекарства & консумативи <2027>"},
           {"KONKURS", 417},
           {"NO_DDS", true},
           {"KP1_TIP", 3},
           {"KP1_IME", "Срок на доставка"},
           {"KP1_NUMBER", 30.0},
           {"KP2_TIP", 2},
           {"KP2_IME", "Начин на плащане"},
           {"KP2_TEXT", "по банков път"},
           {"KP4_TIP", 3},
           {"KP4_NUMBER", 12.5},
           {"PP1_IME", "Ед. цена"},
           {"PP1_OFERTA", 2},
           {"PP2_TIP", 2},
           {"PP2_OFERTA", 1},
           {"PP2_IME", "Търговско наименование"},
           {"PP3_TIP", 3},
           {"PP3_OFERTA", 2},
           {"PP3_IME", "Отстъпка"},
           {"PP4_TIP", 3},
           {"PP4_OFERTA", 1},
           {"PP4_IME", "Опаковка"},
           {"PP5_TIP", 1},
           {"PP5_OFERTA", 2},
           {"PP6_TIP", 2},
           {"PP6_OFERTA", 3}}}},
        {"PREDLOGENIA",
         {{{"PRODUCT_CODE", 300}, {"CUSTOM_CODE", "3"}, {"IME", "Аналгетици"}, {"PP2_TEXT", "Да"}},
          {{"PRODUCT_CODE", 301},
           {"MASTER_CODE", 300},
           {"CUSTOM_CODE", "10"},
           {"PP1_NUMBER", 1234567.0},
           {"PP2_TEXT", "  Ибупрофен <200 мг>"},
           {"PP4_NUMBER", 0.1},
           {"PP6_TEXT", "не се изнася"}},
          {{"PRODUCT_CODE", 302},
           {"MASTER_CODE", 300},
           {"CUSTOM_CODE", "1"},
           {"PP1_NUMBER", 12.5},
           {"PP2_TEXT", "Парацетамол 500 мг & \"Бебе\""},
           {"PP3_NUMBER", 3.0},
           {"PP4_NUMBER", 20.0},
           {"PP5_TEXT", "не се изнася"}},
          {{"PRODUCT_CODE", 303}, {"MASTER_CODE", 300}, {"CUSTOM_CODE", "2"}, {"PP1_NUMBER", 0.5}},
          {{"PRODUCT_CODE", 500}, {"CUSTOM_CODE", "5"}, {"PP2_TEXT", "Да"}},
          {{"PRODUCT_CODE", 501}, {"MASTER_CODE", 500}, {"CUSTOM_CODE", "1"}},
          {{"PRODUCT_CODE", 700}, {"CUSTOM_CODE", "7"}, {"PP2_TEXT", "Да"}},
          {{"PRODUCT_CODE", 900}, {"CUSTOM_CODE", "9"}},
          {{"PRODUCT_CODE", 901},
           {"MASTER_CODE", 900},
           {"CUSTOM_CODE", "1"},
           {"PP1_NUMBER", 4.0}}}}};
}

OpenTender::OpenTender(const QString& file, const QString& lotCode)
    : qrySpecs(data::makeQrySpecs(connection)),
      qryObosobeniPozicii(data::makeQryObosobeniPozicii(connection)),
      qryData(data::makeQryData(connection)) {
    offer::installDatasetRules(*qrySpecs, *qryObosobeniPozicii, *qryData);
    connection.open(file);
    qrySpecs->open();
    qryObosobeniPozicii->open();
    moveToLot(lotCode);
}

void OpenTender::moveToLot(const QString& lotCode) {
    data::Dataset& lots = *qryObosobeniPozicii;
    for (lots.first(); !lots.eof(); lots.next())
        if (lots.fieldByName(QStringLiteral("CUSTOM_CODE")).asString() == lotCode)
            break;
    ASSERT_EQ(lots.fieldByName(QStringLiteral("CUSTOM_CODE")).asString(), lotCode);
    qryData->close();
    qryData->setParameter(QStringLiteral("MASTER_CODE"),
                          lots.fieldByName(QStringLiteral("PRODUCT_CODE")).value());
    qryData->open();
}

OfferSources OpenTender::sources() {
    return {*qrySpecs, *qryObosobeniPozicii, *qryData,
            [this] { return offer::PoziciaIsFill(*qryData); }};
}

std::vector<ProblemLine> offerProblemLines() {
    const QString company = QStringLiteral("Наименование на фирмата");
    const QString payment = QStringLiteral("Начин на плащане");
    const QString discount = QStringLiteral("Отстъпка");
    const QString maker = QStringLiteral("Производител");
    const QString filledIn = QStringLiteral("\" трябва да е попълнено.");
    const QString notNegative = QStringLiteral("\" трябва да е по-голямо или равно на 0.");
    const auto quoted = [](const QString& caption, const QString& rest) {
        return QLatin1Char('"') + caption + rest;
    };
    return {
        {{}, {}, company + QStringLiteral(" (IME_NA_FIRMATA)"), quoted(company, filledIn)},
        {{}, {}, payment + QStringLiteral(" (KP2_TEXT)"), quoted(payment, filledIn)},
        {QStringLiteral("3"),
         {},
         {},
         QStringLiteral("Обособената позиция няма позиции: офертата за нея ще е празна.")},
        {QStringLiteral("9"), QStringLiteral("9"), discount + QStringLiteral(" (PP3_NUMBER)"),
         quoted(discount, notNegative)},
        {QStringLiteral("10"),
         {},
         {},
         QStringLiteral("Не сте оферирали всички продукти за текущата обособена позиция!")},
        {QStringLiteral("10"), QStringLiteral("1"), QStringLiteral("Ед. цена (PP1_NUMBER)"),
         QStringLiteral("Позицията не е оферирана: няма цена над 0.")},
        {QStringLiteral("10"), QStringLiteral("2"), discount + QStringLiteral(" (PP3_NUMBER)"),
         quoted(discount, notNegative)},
        {QStringLiteral("10"), QStringLiteral("2"), maker + QStringLiteral(" (PP4_TEXT)"),
         quoted(maker, filledIn)},
    };
}

QByteArray contents(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString goldenFile(const QString& offer) {
    const bool comma = QLocale::system().decimalPoint() == QStringLiteral(",");
    return QStringLiteral(BRX_GOLDEN_DIR "/%1_%2.xml")
        .arg(offer, comma ? QStringLiteral("comma") : QStringLiteral("point"));
}

QString xmllintProblems(const QString& path) {
    QProcess xmllint;
    xmllint.start(QStringLiteral("xmllint"), {QStringLiteral("--noout"), path});
    if (!xmllint.waitForFinished(30000))
        return QStringLiteral("xmllint did not finish");
    if (xmllint.exitStatus() == QProcess::NormalExit && xmllint.exitCode() == 0)
        return {};
    return QString::fromUtf8(xmllint.readAllStandardError()) + QStringLiteral("exit ") +
           QString::number(xmllint.exitCode());
}

} // namespace exporttest
