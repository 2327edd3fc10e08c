// SPDX-License-Identifier: Apache-2.0
// The company page of the main window: the company name, the VAT choice and the tender
// parameters, all bound to the tender record. Nothing here posts the record; the window stores
// it when the bidder changes pages and when it closes.

#include "app/main_window.h"
#include "ui/colours.h"

#include "data/dataset.h"
#include "offer/dataset_rules.h"
#include "ui/field_check_box_binding.h"
#include "ui/field_edit_binding.h"
#include "ui/frParameter.h"
#include "ui/validating_edit.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <functional>

namespace {

constexpr int kColumnWidth = 297;
constexpr int kLeft = 8;
constexpr int kSecondColumnLeft = kLeft + kColumnWidth + 15;
constexpr int kFirstFrameTop = 56;
constexpr int kFrameRowStep = 45;

// Passes every character typed into the watched widget through `handler`, which drops one by
// setting it to the null character; a drop is told to the bidder with `rule`. Typed means pressed
// on the keyboard or committed by an input method; pasted text is not seen.
class TypedKeyFilter : public QObject {
public:
    TypedKeyFilter(std::function<void(QChar&)> handler, QString rule, QWidget* parent)
        : QObject(parent), handler_(std::move(handler)), rule_(std::move(rule)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QString kept = passed(key->text());
            if (kept == key->text())
                return false;
            refused(watched);
            if (!kept.isEmpty()) {
                QKeyEvent rest(key->type(), key->key(), key->modifiers(), kept, key->isAutoRepeat(),
                               static_cast<ushort>(key->count()));
                QCoreApplication::sendEvent(watched, &rest);
            }
            return true;
        }
        if (event->type() == QEvent::InputMethod) {
            const auto* input = static_cast<QInputMethodEvent*>(event);
            const QString kept = passed(input->commitString());
            if (kept == input->commitString())
                return false;
            refused(watched);
            QInputMethodEvent rest(input->preeditString(), input->attributes());
            rest.setCommitString(kept, input->replacementStart(), input->replacementLength());
            QCoreApplication::sendEvent(watched, &rest);
            return true;
        }
        return false;
    }

private:
    QString passed(const QString& typed) const {
        QString kept;
        for (QChar c : typed) {
            handler_(c);
            if (!c.isNull())
                kept += c;
        }
        return kept;
    }

    void refused(QObject* watched) const {
        if (auto* input = qobject_cast<QWidget*>(watched))
            refuseKeystroke(*input, rule_);
    }

    std::function<void(QChar&)> handler_;
    QString rule_;
};

} // namespace

QWidget* TfmMain::createInfoPage() {
    auto* page = new QWidget;

    Label1 = new QLabel(QStringLiteral("Наименование на фирмата"), page);
    Label1->setGeometry(kLeft, 8, kColumnWidth, 15);
    edtfirma = new QLineEdit(page);
    edtfirma->setObjectName(QStringLiteral("edtfirma"));
    edtfirma->setGeometry(kLeft, 24, kColumnWidth, 21);
    edtfirma->setStyleSheet(colours::background(colours::kOffer));
    edtfirma->installEventFilter(new TypedKeyFilter(
        [this](QChar& Key) { edtfirmaKeyPress(Key); },
        QStringLiteral("знаците \" * / < > ? \\ | не стоят в името на фирмата: то става част от "
                       "името на файла на офертата"),
        edtfirma));
    new FieldEditBinding(*edtfirma, *dsSpecs, QStringLiteral("IME_NA_FIRMATA"), guard_);

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
