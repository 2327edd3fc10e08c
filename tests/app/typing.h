// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "ui/validating_edit.h"

#include <QString>
#include <QTest>
#include <QWidget>

#include <utility>

// Typing numbers the way a bidder of the regional settings under test does. These tests run
// once in a comma locale and once in a point locale (LC_ALL set per run, see CMakeLists.txt),
// so every expected text is written with placeholders:
//   {sep}     the regional decimal separator, typed on the main keyboard
//   {other}   the other of comma and point, typed on the main keyboard
//   {keypad}  the separator key of the numeric keypad, marked with a point
//   {keypadcomma}  the separator key of a numeric keypad marked with a comma
namespace typing {

inline QString separator() {
    return ValidatingEdit::decimalPoint();
}

inline QString other() {
    return separator() == QStringLiteral(",") ? QStringLiteral(".") : QStringLiteral(",");
}

// `text` with {sep} and {other} spelled out; {keypad} reads as what the keypad enters.
inline QString spelled(QString text) {
    return text.replace(QStringLiteral("{sep}"), separator())
        .replace(QStringLiteral("{other}"), other())
        .replace(QStringLiteral("{keypad}"), separator())
        .replace(QStringLiteral("{keypadcomma}"), separator());
}

// Sends `text` to `widget` key by key, as typed on a keyboard of the text's script (QTest's
// own keyClicks knows only ASCII keys).
inline void keys(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(widget, static_cast<char>(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Sends `text` to `widget` key by key, the placeholders as the keys they name.
inline void type(QWidget* widget, const QString& text) {
    const std::pair<QString, Qt::Key> keypadKeys[] = {
        {QStringLiteral("{keypad}"), Qt::Key_Period},
        {QStringLiteral("{keypadcomma}"), Qt::Key_Comma}};
    QString rest = text;
    while (!rest.isEmpty()) {
        qsizetype at = rest.size();
        const std::pair<QString, Qt::Key>* next = nullptr;
        for (const auto& key : keypadKeys) {
            qsizetype found = rest.indexOf(key.first);
            if (found >= 0 && found < at) {
                at = found;
                next = &key;
            }
        }
        keys(widget, rest.left(at)
                         .replace(QStringLiteral("{sep}"), separator())
                         .replace(QStringLiteral("{other}"), other()));
        if (next == nullptr)
            break;
        QTest::keyClick(widget, next->second, Qt::KeypadModifier);
        rest = rest.mid(at + next->first.size());
    }
}

} // namespace typing
