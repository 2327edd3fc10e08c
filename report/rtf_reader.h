// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace report {

// True when the bytes begin as an RTF document does.
bool looksLikeRtf(const QByteArray& bytes);

// Reads RTF into `document`, replacing its content: paragraphs and line breaks, bold, italic,
// underline, font names, sizes and colours, paragraph alignment, code-page escapes (\'hh in the
// document's code page or the font's character set; 1251 when neither says) and \u escapes.
// Unknown control words are ignored and unknown destinations skipped. False when the text is
// not RTF or its groups do not balance; the document is then left empty. Throws Error, the
// document left empty, for a text rtfLimitProblem refuses.
bool readRtf(const QByteArray& rtf, QTextDocument& document);

// The same for RTF held as text, as templates carry it: characters beyond ASCII stand for
// themselves.
bool readRtf(const QString& rtf, QTextDocument& document);

// Why an RTF text is more than the reader takes on: longer than a help text or a template's
// rich text has any need to be, with more paragraphs and line breaks than a second of layout
// takes, or with groups nested deeper than any editor writes them, which would cost time and
// memory out of proportion. Empty when it is within bounds.
QString rtfLimitProblem(QStringView rtf);

// Text put into RTF as it is: braces and backslashes escaped, characters beyond ASCII as \u.
QString escapeRtf(const QString& text);

// A byte of code page 1251 (Cyrillic) as a character.
QChar fromCp1251(unsigned char byte);

} // namespace report
