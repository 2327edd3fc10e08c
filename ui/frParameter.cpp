// SPDX-License-Identifier: Apache-2.0
#include "ui/frParameter.h"

#include "data/dataset.h"
#include "ui/captions.h"
#include "ui/colours.h"
#include "ui/field_edit_binding.h"
#include "ui/validating_edit.h"

#include <QLabel>

namespace {

constexpr int kTextParameter = 2;
constexpr int kNumberParameter = 3;
constexpr int kMaxTextLength = 255;

} // namespace

TfrmParameter::TfrmParameter(ErrorGuard& guard, QWidget* parent)
    : QFrame(parent), lblParameter(new QLabel(this)), edtParam(new ValidatingEdit(this)),
      guard_(guard) {
    setFixedHeight(37);
    edtParam->setStyleSheet(colours::background(colours::kOffer));
    tieCaption(*lblParameter, *edtParam);
    // Until InitFrame says otherwise the parameter is not in use: a window whose start-up
    // failed shows no input that would take text and store it nowhere.
    hide();
}

void TfrmParameter::InitFrame(data::DataSource& DS, int ParamType, int FracPartCount,
                              const QString& FieldPartName, const QString& ParamName) {
    edtParam->hide();
    delete binding_;
    binding_ = nullptr;
    dataSource_ = &DS;

    const bool inUse = ParamType == kTextParameter || ParamType == kNumberParameter;
    lblParameter->setEnabled(inUse);
    edtParam->setEnabled(inUse);
    setVisible(inUse);
    if (inUse)
        setCaption(*lblParameter, ParamName,
                   nameForUncaptioned(FieldPartName + QStringLiteral("IME")));

    if (ParamType == kTextParameter) {
        edtParam->setTextFormat();
        edtParam->setMaxLength(kMaxTextLength);
        bind(FieldPartName + QStringLiteral("TEXT"), ParamName);
    } else if (ParamType == kNumberParameter) {
        // A negative count, which no tender states, is taken as 0.
        if (FracPartCount > 0)
            edtParam->setDecimalFormat(FracPartCount);
        else
            edtParam->setIntegerFormat();
        edtParam->setMaxLength(32767); // the widget's own limit: none in practice
        bind(FieldPartName + QStringLiteral("NUMBER"), ParamName);
    } else {
        dataSource_ = nullptr;
        edtParam->clear();
    }
    edtParam->show();
}

void TfrmParameter::bind(const QString& fieldName, const QString& caption) {
    const ValidatingEdit* edit = edtParam;
    EditConversion conversion{
        [edit](const QVariant& value) { return edit->textOf(value); },
        [edit, caption](const QString& text) { return edit->valueOf(text, caption); },
    };
    try {
        binding_ =
            new FieldEditBinding(*edtParam, *dataSource_, fieldName, guard_, std::move(conversion));
        edtParam->setReadOnly(false);
    } catch (const data::FieldError&) {
        edtParam->clear();
        edtParam->setReadOnly(true);
    }
}

void TfrmParameter::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    lblParameter->setGeometry(0, 0, width(), 15);
    edtParam->setGeometry(0, 16, width(), 21);
}
