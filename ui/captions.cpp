// SPDX-License-Identifier: Apache-2.0
#include "ui/captions.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <vector>

namespace {

constexpr QChar kMark = u'&';

// The letter a caption marked with `&` underlines; none when it underlines none.
QChar underlinedLetter(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != kMark)
            continue;
        if (text[i + 1] != kMark)
            return text[i + 1].toUpper();
        ++i; // a doubled mark stands for the character itself
    }
    return {};
}

// `caption` as a label shows it with its letter at `at` underlined; -1 underlines none.
QString marked(const QString& caption, qsizetype at) {
    QString text;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (i == at)
            text += kMark;
        text += caption[i];
        if (caption[i] == kMark)
            text += kMark;
    }
    return text;
}

// Where in `caption` the first letter not `taken` stands: a word's first letter if one is free,
// any letter otherwise; -1 when every letter is taken.
qsizetype freeLetter(const QString& caption, const QSet<QChar>& taken) {
    for (const bool wordStartsOnly : {true, false})
        for (qsizetype i = 0; i < caption.size(); ++i) {
            const bool wordStart = i == 0 || !caption[i - 1].isLetter();
            if (caption[i].isLetter() && (wordStart || !wordStartsOnly) &&
                !taken.contains(caption[i].toUpper()))
                return i;
        }
    return -1;
}

} // namespace

QString nameForUncaptioned(const QString& captionColumn) {
    static const QRegularExpression numbered(QStringLiteral("^(CAPTION_INFO|KP|PP)([1-8])"));
    const QRegularExpressionMatch match = numbered.match(captionColumn);
    const QString kind = match.captured(1);
    const QString number = match.captured(2);
    if (kind == QLatin1String("CAPTION_INFO"))
        return QStringLiteral("Информация %1").arg(number);
    if (kind == QLatin1String("KP"))
        return QStringLiteral("Параметър на поръчката %1").arg(number);
    if (kind == QLatin1String("PP"))
        return number == QLatin1String("1") ? QStringLiteral("Цена")
                                            : QStringLiteral("Предлагана стойност %1").arg(number);
    if (captionColumn == QLatin1String("CAPTION_NOMER"))
        return QStringLiteral("Код");
    if (captionColumn == QLatin1String("CAPTION_PRODUCT"))
        return QStringLiteral("Наименование");
    if (captionColumn == QLatin1String("CAPTION_GOD_POTREBLENIE"))
        return QStringLiteral("Количество");
    return {};
}

QString captionOf(const QLabel& label) {
    const QString text = label.text();
    QString caption;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == kMark && i + 1 < text.size())
            ++i;
        caption += text[i];
    }
    return caption;
}

void tieCaption(QLabel& label, QWidget& input) {
    // Until it has a buddy the label shows a "&" as it stands; from then on it would underline.
    const QString caption = label.text();
    label.setBuddy(&input);
    setCaption(label, caption);
}

void setCaption(QLabel& label, const QString& caption, const QString& unnamed) {
    label.setText(marked(caption, -1));
    if (QWidget* input = label.buddy())
        input->setAccessibleName(caption.isEmpty() ? unnamed : caption);
}

void underlineCaptions(QWidget& page) {
    QSet<QChar> taken;
    for (const QAbstractButton* button : page.window()->findChildren<QAbstractButton*>())
        if (const QChar letter = underlinedLetter(button->text()); !letter.isNull())
            taken.insert(letter);

    std::vector<QLabel*> labels;
    const QList<QLabel*> all = page.findChildren<QLabel*>();
    for (QWidget* input = page.nextInFocusChain(); page.isAncestorOf(input);
         input = input->nextInFocusChain())
        for (QLabel* label : all)
            if (label->buddy() == input)
                labels.push_back(label);
    for (QLabel* label : all)
        if (label->buddy() != nullptr &&
            std::find(labels.begin(), labels.end(), label) == labels.end())
            labels.push_back(label);

    for (QLabel* label : labels) {
        const QString caption = captionOf(*label);
        const bool shown = label->isVisibleTo(&page) && label->buddy()->isVisibleTo(&page);
        const qsizetype at = shown ? freeLetter(caption, taken) : -1;
        if (at >= 0)
            taken.insert(caption[at].toUpper());
        label->setText(marked(caption, at));
    }
}

void announceRefusal(QWidget& input, const QString& rule) {
    input.setAccessibleDescription(rule);
    QAccessibleEvent alert(&input, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
    // The rule stays with the input until what it holds changes, so that a bidder who asks the
    // screen reader again still hears why the key did not arrive.
    if (auto* edit = qobject_cast<QLineEdit*>(&input))
        QObject::connect(
            edit, &QLineEdit::textChanged, edit, [edit] { edit->setAccessibleDescription({}); },
            Qt::SingleShotConnection);
}
