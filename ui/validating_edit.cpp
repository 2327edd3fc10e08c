#include "ui/validating_edit.h"

#include "data/error.h"
#include "data/number_format.h"

#include <QKeyEvent>
#include <QLocale>
#include <QRegularExpression>
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
    return data::formatNumber(value.toDouble(), pattern, decimalPoint().front());
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

void ValidatingEdit::keyPressEvent(QKeyEvent* event) {
    const bool keypadSeparator = event->modifiers().testFlag(Qt::KeypadModifier) &&
                                 (event->key() == Qt::Key_Period || event->key() == Qt::Key_Comma);
    if (format_ == Format::Decimal && keypadSeparator) {
        QKeyEvent separator(event->type(), event->key(), event->modifiers(), decimalPoint(),
                            event->isAutoRepeat(), static_cast<ushort>(event->count()));
        QLineEdit::keyPressEvent(&separator);
        event->setAccepted(separator.isAccepted());
        return;
    }
    QLineEdit::keyPressEvent(event);
}
