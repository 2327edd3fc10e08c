// SPDX-License-Identifier: Apache-2.0
#include "ui/validating_edit.h"

#include "ui/captions.h"

#include "data/error.h"
#include "data/number_format.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QToolTip>
#include <QValidator>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// What a number input reads as: Invalid text is refused keystroke by keystroke, Intermediate
// text (a sign or a separator without digits) may stand while typing but is no number yet.
struct NumberReading {
    QValidator::State state;
    std::optional<double> value;
};

qsizetype significantDigits(const QString& integers, const QString& fraction) {
    const auto first =
        std::find_if(integers.begin(), integers.end(), [](QChar c) { return c != u'0'; });
    return (integers.end() - first) + fraction.size();
}

NumberReading readNumber(const QString& text, int decimals) {
    if (text.isEmpty())
        return {QValidator::Acceptable, std::nullopt};
    const QString point = QRegularExpression::escape(ValidatingEdit::decimalPoint());
    const QString fractionPart =
        decimals > 0 ? QStringLiteral("(?:%1([0-9]*))?").arg(point) : QString();
    const QRegularExpression shape(QStringLiteral("^(-?)([0-9]*)%1$").arg(fractionPart));
    const QRegularExpressionMatch match = shape.match(text);
    if (!match.hasMatch() || match.capturedLength(3) > decimals)
        return {QValidator::Invalid, std::nullopt};
    const QString integers = match.captured(2);
    const QString fraction = match.captured(3);
    if (integers.isEmpty() && fraction.isEmpty())
        return {QValidator::Intermediate, std::nullopt};
    // The offer file carries a number with as many digits as a double keeps exactly; more would
    // be submitted as another value than the one typed. The import refuses them alike.
    if (significantDigits(integers, fraction) > data::kMaxNumberDigits)
        return {QValidator::Invalid, std::nullopt};

    bool ok = false;
    const double value = QLocale::c().toDouble(
        match.captured(1) + (integers.isEmpty() ? QStringLiteral("0") : integers) +
            (fraction.isEmpty() ? QString() : QLatin1Char('.') + fraction),
        &ok);
    // Digits beyond what a double holds are refused rather than stored as infinity.
    if (!ok || !std::isfinite(value))
        return {QValidator::Invalid, std::nullopt};
    return {QValidator::Acceptable, value};
}

class NumberValidator : public QValidator {
public:
    NumberValidator(int decimals, QObject* parent) : QValidator(parent), decimals_(decimals) {}

    State validate(QString& input, int& /*pos*/) const override {
        return readNumber(input, decimals_).state;
    }

private:
    int decimals_;
};

} // namespace

ValidatingEdit::ValidatingEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QString ValidatingEdit::decimalPoint() {
    return QLocale::system().decimalPoint();
}

void ValidatingEdit::setTextFormat() {
    delete validator();
    setValidator(nullptr);
    format_ = Format::Text;
    decimals_ = 0;
}

void ValidatingEdit::setIntegerFormat() {
    setNumberFormat(Format::Integer, 0);
}

void ValidatingEdit::setDecimalFormat(int decimals) {
    setNumberFormat(Format::Decimal,
                    std::clamp(decimals, 1, static_cast<int>(data::kMaxDisplayDecimals)));
}

void ValidatingEdit::setNumberFormat(Format format, int decimals) {
    delete validator();
    format_ = format;
    decimals_ = decimals;
    setValidator(new NumberValidator(decimals, this));
}

QString ValidatingEdit::textOf(const QVariant& value) const {
    if (value.isNull())
        return {};
    if (format_ == Format::Text)
        return value.toString();
    // The digits of the display mask without its grouping spaces, which the bidder would
    // otherwise have to type around.
    const QString pattern = data::numberDisplayMask(decimals_).remove(QLatin1Char(' '));
    return data::formatStoredNumber(value.toDouble(), pattern, decimalPoint().front());
}

QVariant ValidatingEdit::valueOf(const QString& text, const QString& caption) const {
    if (text.isEmpty())
        return {};
    if (format_ == Format::Text)
        return text;
    const NumberReading reading = readNumber(text, decimals_);
    if (!reading.value)
        throw data::Error(
            QStringLiteral("„%1“ не е число. Въведете число в полето „%2“.").arg(text, caption));
    return *reading.value;
}

QString ValidatingEdit::typedBy(const QKeyEvent& event) const {
    const QString text = event.text();
    // The keypad's separator key types a point or a comma, whichever it is marked with.
    if (text.isEmpty() || !text.front().isPrint())
        return text;
    return asTyped(text);
}

QString ValidatingEdit::asTyped(QString text) const {
    if (format_ != Format::Text) {
        const QChar point = decimalPoint().front();
        text.replace(QLatin1Char('.'), point).replace(QLatin1Char(','), point);
    }
    return text;
}

void ValidatingEdit::setCharacterFilter(std::function<void(QChar&)> handler, QString rule) {
    characterFilter_ = std::move(handler);
    characterRule_ = std::move(rule);
}

QString ValidatingEdit::refusalOf(const QString& content, qsizetype at, qsizetype replaced,
                                  const QString& typed) const {
    if (characterFilter_) {
        for (QChar c : typed) {
            characterFilter_(c);
            if (c.isNull())
                return characterRule_;
        }
    }
    const qsizetype kept = content.size() - replaced;
    if (format_ == Format::Text)
        return kept + typed.size() > maxLength()
                   ? QStringLiteral("най-много %1 знака").arg(maxLength())
                   : QString();
    QString candidate = content;
    candidate.replace(at, replaced, typed);
    int position = static_cast<int>(at + typed.size());
    if (kept + typed.size() <= maxLength() &&
        validator()->validate(candidate, position) != QValidator::Invalid)
        return {};

    const QString point = decimalPoint();
    if (typed == point && format_ == Format::Integer)
        return QStringLiteral("само цяло число, без десетичен разделител");
    if (typed == point && QString(content).remove(at, replaced).contains(point))
        return QStringLiteral("само един десетичен разделител");
    if (typed == QStringLiteral("-"))
        return QStringLiteral("знакът минус стои само в началото на числото");
    const bool digits =
        std::all_of(typed.begin(), typed.end(), [](QChar c) { return c.isDigit(); });
    if (!digits)
        return format_ == Format::Integer
                   ? QStringLiteral("само цифри")
                   : QStringLiteral("само цифри и десетичният разделител „%1“").arg(point);
    const qsizetype pointAt = candidate.indexOf(point);
    if (pointAt >= 0 && candidate.size() - pointAt - 1 > decimals_)
        return decimals_ == 1
                   ? QStringLiteral("най-много 1 знак след десетичния разделител")
                   : QStringLiteral("най-много %1 знака след десетичния разделител").arg(decimals_);
    return QStringLiteral("най-много %1 цифри").arg(data::kMaxNumberDigits);
}

QString ValidatingEdit::refusalOfInsert(const QString& text, qsizetype at,
                                        qsizetype replaced) const {
    QString content = this->text();
    for (const QChar c : text) {
        if (const QString rule = refusalOf(content, at, replaced, QString(c)); !rule.isEmpty())
            return rule;
        content.replace(at, replaced, c);
        ++at;
        replaced = 0;
    }
    return {};
}

qsizetype ValidatingEdit::insertionPoint() const {
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

bool ValidatingEdit::insertAsTyped(const QString& text) {
    const QString typed = asTyped(text);
    if (const QString rule = refusalOfInsert(typed, insertionPoint(), selectedText().size());
        !rule.isEmpty()) {
        refuse(rule);
        return false;
    }
    insert(typed);
    return true;
}

void ValidatingEdit::pasteFrom(QClipboard::Mode mode) {
    QString text = QGuiApplication::clipboard()->text(mode);
    // A spreadsheet copies a cell with the line end that closes it.
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    insertAsTyped(text);
}

void ValidatingEdit::refuse(const QString& rule) {
    refuseKeystroke(*this, rule);
    emit keystrokeRefused(rule);
}

void ValidatingEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste) && !isReadOnly()) {
        event->accept();
        pasteFrom(QClipboard::Clipboard);
        return;
    }
    const QString typed = typedBy(*event);
    if (typed.isEmpty() || !typed.front().isPrint() || isReadOnly()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (const QString rule = refusalOf(text(), insertionPoint(), selectedText().size(), typed);
        !rule.isEmpty()) {
        event->accept();
        refuse(rule);
        return;
    }
    if (typed == event->text()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QKeyEvent translated(event->type(), event->key(), event->modifiers(), typed,
                         event->isAutoRepeat(), static_cast<ushort>(event->count()));
    QLineEdit::keyPressEvent(&translated);
    event->setAccepted(translated.isAccepted());
}

void ValidatingEdit::inputMethodEvent(QInputMethodEvent* event) {
    const QString committed = event->commitString();
    if (committed.isEmpty() || isReadOnly()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    // The commit takes the place of the replacement range, given from the cursor, or else of the
    // selection.
    const bool replacing = event->replacementLength() != 0 || event->replacementStart() != 0;
    const qsizetype size = text().size();
    const qsizetype at =
        replacing ? std::clamp<qsizetype>(cursorPosition() + event->replacementStart(), 0, size)
                  : insertionPoint();
    const qsizetype replaced = replacing
                                   ? std::clamp<qsizetype>(event->replacementLength(), 0, size - at)
                                   : selectedText().size();
    if (const QString rule = refusalOfInsert(asTyped(committed), at, replaced); !rule.isEmpty()) {
        // The composition ends with nothing put in.
        QInputMethodEvent nothing(QString(), event->attributes());
        QLineEdit::inputMethodEvent(&nothing);
        refuse(rule);
        return;
    }
    QInputMethodEvent typed(event->preeditString(), event->attributes());
    typed.setCommitString(asTyped(committed), event->replacementStart(),
                          event->replacementLength());
    QLineEdit::inputMethodEvent(&typed);
}

void ValidatingEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    // The standard menu's paste is known by its name where Qt gives it one, else by the slot it
    // calls.
    for (QAction* action : menu->actions()) {
        if (action->objectName() != QLatin1String("edit-paste") &&
            !disconnect(action, SIGNAL(triggered()), this, SLOT(paste())))
            continue;
        disconnect(action, &QAction::triggered, this, nullptr);
        connect(action, &QAction::triggered, this, [this] { pasteFrom(QClipboard::Clipboard); });
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void ValidatingEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton && !isReadOnly() &&
        QGuiApplication::clipboard()->supportsSelection()) {
        event->accept();
        deselect();
        pasteFrom(QClipboard::Selection);
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void ValidatingEdit::dropEvent(QDropEvent* event) {
    // A move of the edit's own text is left to the line edit.
    if (isReadOnly() || event->source() == this || !event->mimeData()->hasText()) {
        QLineEdit::dropEvent(event);
        return;
    }
    deselect();
    setCursorPosition(cursorPositionAt(event->position().toPoint()));
    // A refused drop is not taken, so that a move leaves the text where it came from.
    if (insertAsTyped(event->mimeData()->text()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void refuseKeystroke(QWidget& input, const QString& rule) {
    QApplication::beep();
    QToolTip::showText(input.mapToGlobal(QPoint(0, input.height())), rule, &input);
    announceRefusal(input, rule);
}
