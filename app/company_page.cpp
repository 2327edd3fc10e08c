// SPDX-License-Identifier: Apache-2.0
// The company page of the main window: the company name, the VAT choice and the tender
// parameters, all bound to the tender record. Nothing here posts the record; the window stores
// it when the bidder changes pages and when it closes.

#include "app/main_window.h"
#include "ui/colours.h"

#include "data/dataset.h"
#include "offer/dataset_rules.h"
#include "ui/captions.h"
#include "ui/field_check_box_binding.h"
#include "ui/field_edit_binding.h"
#include "ui/frParameter.h"
#include "ui/validating_edit.h"

#include <QCheckBox>
#include <QLabel>

namespace {

constexpr int kColumnWidth = 297;
constexpr int kLeft = 8;
constexpr int kSecondColumnLeft = kLeft + kColumnWidth + 15;
constexpr int kFirstFrameTop = 56;
constexpr int kFrameRowStep = 45;

} // namespace

QWidget* TfmMain::createInfoPage() {
    auto* page = new QWidget;

    Label1 = new QLabel(QStringLiteral("Наименование на фирмата"), page);
    Label1->setGeometry(kLeft, 8, kColumnWidth, 15);
    edtfirma = new ValidatingEdit(page);
    edtfirma->setObjectName(QStringLiteral("edtfirma"));
    edtfirma->setGeometry(kLeft, 24, kColumnWidth, 21);
    edtfirma->setStyleSheet(colours::background(colours::kOffer));
    edtfirma->setCharacterFilter(
        [this](QChar& Key) { edtfirmaKeyPress(Key); },
        QStringLiteral("знаците \" * / < > ? \\ | не стоят в името на фирмата: то става част от "
                       "името на файла на офертата"));
    new FieldEditBinding(*edtfirma, *dsSpecs, QStringLiteral("IME_NA_FIRMATA"), guard_);
    tieCaption(*Label1, *edtfirma);

    chk1 = new QCheckBox(QStringLiteral("Фирмата не е регистрирана по ДДС"), page);
    chk1->setObjectName(QStringLiteral("chk1"));
    chk1->move(kSecondColumnLeft, 26);
    chk1->adjustSize();
    new FieldCheckBoxBinding(*chk1, *dsSpecs, QStringLiteral("NO_DDS"), guard_);

    QWidget* previous = chk1;
    QWidget::setTabOrder(edtfirma, chk1);
    for (std::size_t i = 0; i < frmKParam.size(); ++i) {
        frmKParam[i] = new TfrmParameter(guard_, page);
        frmKParam[i]->setObjectName(QStringLiteral("frmKParam%1").arg(i + 1));
        const int column = static_cast<int>(i % 2);
        const int row = static_cast<int>(i / 2);
        frmKParam[i]->setGeometry(column == 0 ? kLeft : kSecondColumnLeft,
                                  kFirstFrameTop + row * kFrameRowStep, kColumnWidth, 37);
        QWidget::setTabOrder(previous, frmKParam[i]);
        previous = frmKParam[i];
    }

    data::Dataset& specs = *qrySpecs;
    specs.fieldByName(QStringLiteral("IME_NA_FIRMATA")).onChange = [this](data::Field& Sender) {
        qrySpecsIME_NA_FIRMATAChange(Sender);
    };
    specs.fieldByName(QStringLiteral("NO_DDS")).onGetText = [this](const data::Field& Sender,
                                                                   const QVariant& value) {
        return qrySpecsNO_DDSGetText(Sender, value);
    };
    return page;
}

void TfmMain::edtfirmaKeyPress(QChar& Key) {
    // The company name becomes part of the offer's file name; these characters cannot stand
    // in a file name.
    static const QString dropped = QStringLiteral("\"*/<>?\\|");
    if (dropped.contains(Key))
        Key = QChar();
}

void TfmMain::qrySpecsIME_NA_FIRMATAChange(data::Field& Sender) {
    // Trimming writes the field again, which comes back here and finds nothing left to trim.
    if (qrySpecs->state() == data::Dataset::State::Edit)
        offer::TrimField(Sender);
    UpdateCaption();
}

QString TfmMain::qrySpecsNO_DDSGetText(const data::Field& /*Sender*/, const QVariant& value) const {
    return !value.isNull() && value.toBool() ? QStringLiteral("Да") : QStringLiteral("Не");
}
