#pragma once

#include <QLineEdit>
#include <QVariant>

// A line edit that filters keystrokes by its display format: free text, an integer, or a
// decimal number shown with a fixed count of decimal places. Empty input is always allowed and
// reads as null.
//
// Numbers are typed and shown with the decimal separator of the system's regional settings
// (QLocale::system(), which on Unix follows LC_ALL, LC_NUMERIC and LANG). The separator key of
// the numeric keypad always enters that separator, so in a comma locale the keypad's point key
// types a comma. The other of the two characters typed on the main keyboard is refused: in
// most comma locales the point groups thousands and in point locales the comma does, so taking
// it as the separator would misread "1.234,5" as 1.234 and silently store the wrong number.
// A number input never accepts grouping, a sign other than a leading minus, or more decimals
// than it shows, so what is stored is exactly what is seen.
class ValidatingEdit : public QLineEdit {
    Q_OBJECT
public:
    enum class Format { Text, Integer, Decimal };

    explicit ValidatingEdit(QWidget* parent = nullptr);

    void setTextFormat();
    void setIntegerFormat();
    // Decimal places above data::kMaxDisplayDecimals count as that many.
    void setDecimalFormat(int decimals);
    Format format() const { return format_; }
    int decimals() const { return decimals_; }

    // A value as this edit shows it: numbers with exactly decimals() places and no grouping.
    QString textOf(const QVariant& value) const;
    // Typed text as a value: a text, a double, or null when empty. Throws data::Error naming
    // `caption` for a number input that holds no digit, such as a lone minus sign.
    QVariant valueOf(const QString& text, const QString& caption) const;

    // The decimal separator of the regional settings.
    static QString decimalPoint();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setNumberFormat(Format format, int decimals);

    Format format_ = Format::Text;
    int decimals_ = 0;
};
