// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QClipboard>
#include <QLineEdit>
#include <QVariant>

#include <functional>

// A line edit that filters keystrokes by its display format: free text, an integer, or a
// decimal number shown with a fixed count of decimal places. Empty input is always allowed and
// reads as null.
//
// Numbers are typed and shown with the decimal separator of the system's regional settings
// (QLocale::system(), which on Unix follows LC_ALL, LC_NUMERIC and LANG). A number input never
// takes digit grouping, so a point or a comma can only mean the decimal separator: both keys of
// the main keyboard, and the separator key of the numeric keypad, enter the regional separator in
// every locale. A bidder typing "7.25" from a printed list in a comma locale, or "7,25" in a
// point locale, means 7.25, never 725; a second separator, as in "1.234,5", is refused. A number
// input never accepts grouping, a sign other than a leading minus, or more decimals than it
// shows, so what is stored is exactly what is seen.
//
// A refused keystroke is never silent: the edit beeps and names the rule in a tooltip, so that a
// bidder typing fast from a printed list sees that a key did not arrive. Text put in at once
// (pasted by key, menu or middle button, dropped, or committed by an input method) meets the same
// rules as if typed key by key: it goes in whole, or not at all with the rule of its first
// refused character told; the line end that ends a copied spreadsheet cell is no part of it.
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

    // A value as this edit shows it: numbers with decimals() places and no grouping, or with more
    // when the value holds more, so that a stored value is never shown as another one.
    QString textOf(const QVariant& value) const;
    // Typed text as a value: a text, a double, or null when empty. Throws data::Error naming
    // `caption` for a number input that holds no digit, such as a lone minus sign.
    QVariant valueOf(const QString& text, const QString& caption) const;

    // The decimal separator of the regional settings.
    static QString decimalPoint();

    // Every character typed or put in passes `handler`, which refuses it by setting it to the
    // null character; `rule` is what the refusal says.
    void setCharacterFilter(std::function<void(QChar&)> handler, QString rule);

signals:
    // A keystroke, or text put in at once, was refused; `rule` is what the tooltip says.
    void keystrokeRefused(const QString& rule);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setNumberFormat(Format format, int decimals);
    // What a printable keystroke types into this edit: the separator keys as the decimal
    // separator in a number, anything else as it is.
    QString typedBy(const QKeyEvent& event) const;
    // `text` as the main keyboard would type it: in a number, a point or a comma as the decimal
    // separator.
    QString asTyped(QString text) const;
    // The rule that refuses `typed` put into `content` at `at` in place of `replaced`
    // characters; empty when taken.
    QString refusalOf(const QString& content, qsizetype at, qsizetype replaced,
                      const QString& typed) const;
    // The same for `text` put in key by key at `at` in place of `replaced` characters: the rule
    // of its first refused character.
    QString refusalOfInsert(const QString& text, qsizetype at, qsizetype replaced) const;
    // Where typed text goes: the start of the selection, or the cursor.
    qsizetype insertionPoint() const;
    // Puts `text` in at the cursor, in place of the selection, as the rules allow; tells the
    // refusal and puts nothing in otherwise. Returns whether it was put in.
    bool insertAsTyped(const QString& text);
    void pasteFrom(QClipboard::Mode mode);
    void refuse(const QString& rule);

    Format format_ = Format::Text;
    int decimals_ = 0;
    std::function<void(QChar&)> characterFilter_;
    QString characterRule_;
};

// Tells the bidder that a keystroke into `input` was refused: the platform's beep and a short
// tooltip at the input naming `rule`, which a screen reader is told as well.
void refuseKeystroke(QWidget& input, const QString& rule);
