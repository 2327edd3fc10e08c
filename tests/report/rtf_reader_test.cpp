// SPDX-License-Identifier: Apache-2.0
#include "report/error.h"
#include "report/rtf_reader.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

TEST(RtfReader, ReadsTheTextOfWhatAGuideUses) {
    struct Case {
        const char* name;
        QByteArray rtf;
        const char* text;
    };
    const Case cases[] = {
        {"code page 1251 escapes", "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'ec\\'e5\\'f0}",
         "Пример"},
        {"the font's Cyrillic character set over the document's code page",
         "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fcharset204 Arial;}{\\f1\\fcharset0 "
         "Arial;}}\\f0 \\'e4\\'e0 \\f1 \\'e4}",
         "да ä"},
        {"raw 1251 bytes", "{\\rtf1\\ansi\\ansicpg1251 \xc4\xe0}", "Да"},
        {"unicode escapes skip their stand-in", "{\\rtf1\\uc1 \\u1044?\\u1072?}", "Да"},
        {"unicode escapes without stand-in", "{\\rtf1\\uc0 \\u1044\\u1072 !}", "Да!"},
        {"negative unicode escape", "{\\rtf1 \\u-3937?}", "\uF09F"},
        {"paragraphs", "{\\rtf1 one\\par two\\par}", "one\ntwo\n"},
        {"line breaks and tabs", "{\\rtf1 a\\line b\\tab c}", "a\nb\tc"},
        // A non-breaking space reads back from the document as a space.
        {"escaped characters", "{\\rtf1 \\{a\\}\\\\ b\\~c}", "{a}\\ b c"},
        {"typographic words", "{\\rtf1 \\ldblquote x\\rdblquote\\emdash y\\bullet}",
         "\u201Cx\u201D\u2014y\u2022"},
        {"unknown and optional destinations are skipped",
         "{\\rtf1{\\*\\generator Writer 1.0;}{\\info{\\title T}}{\\stylesheet{\\s0 Normal;}}"
         "{\\*\\unknowndest skipped}text}",
         "text"},
        {"unknown control words are ignored", "{\\rtf1 \\foo12 x\\bar y\\viewkind4 z}", "xyz"},
        {"line ends in the file are not text", "{\\rtf1 a\r\nb}", "ab"},
    };
    for (const Case& c : cases) {
        QTextDocument document;
        EXPECT_TRUE(report::readRtf(c.rtf, document)) << c.name;
        EXPECT_EQ(document.toPlainText().toStdString(), QString::fromUtf8(c.text).toStdString())
            << c.name;
    }
}

TEST(RtfReader, RefusesWhatIsNotRtfAndLeavesTheDocumentEmpty) {
    const QByteArray refused[] = {"plain text", "{\\rtf1 unbalanced {\\b group}",
                                  "{\\rtf1 closed twice}}", ""};
    for (const QByteArray& text : refused) {
        QTextDocument document;
        document.setPlainText(QStringLiteral("earlier"));
        EXPECT_FALSE(report::readRtf(text, document)) << text.constData();
        EXPECT_TRUE(document.isEmpty()) << text.constData();
    }
}

// Groups nested as deep as the bound allows read; deeper ones, or a text longer than the bound,
// are refused with a reason and leave the document empty, whatever form the text comes in.
TEST(RtfReader, RefusesTextsBeyondItsBounds) {
    const QByteArray deepest = "{\\rtf1 " + QByteArray(99, '{') + "x" + QByteArray(100, '}');
    QTextDocument document;
    EXPECT_TRUE(report::readRtf(deepest, document));
    EXPECT_EQ(document.toPlainText(), QStringLiteral("x"));
    const QByteArray refused[] = {
        "{\\rtf1 " + QByteArray(100, '{') + "x" + QByteArray(101, '}'),
        "{\\rtf1 " + QByteArray(5000000, '{'),
        "{\\rtf1 " + QByteArray(1 << 20, 'x') + "}",
        // Each paragraph and line break costs layout time.
        "{\\rtf1 " + QByteArray("x\\par ").repeated(2501) + QByteArray("y\\line ").repeated(2500) +
            "}",
        "{\\rtf1 " + QByteArray("x\\\n").repeated(5001) + "}",
    };
    for (const QByteArray& rtf : refused) {
        document.setPlainText(QStringLiteral("earlier"));
        EXPECT_THROW(report::readRtf(rtf, document), report::Error) << rtf.left(20).constData();
        EXPECT_TRUE(document.isEmpty());
        EXPECT_THROW(report::readRtf(QString::fromLatin1(rtf), document), report::Error);
        EXPECT_FALSE(report::rtfLimitProblem(QString::fromLatin1(rtf)).isEmpty());
    }
    // As many breaks as the bound allows read; \\pard starts no paragraph.
    EXPECT_TRUE(
        report::readRtf("{\\rtf1 " + QByteArray("x\\par\\pard ").repeated(5000) + "}", document));
    // Escaped braces are text, not groups.
    EXPECT_TRUE(report::readRtf("{\\rtf1 " + QByteArray("\\{").repeated(200) + "}", document));
}

TEST(RtfReader, KeepsBoldItalicUnderlineSizeColourAndAlignment) {
    QTextDocument document;
    ASSERT_TRUE(report::readRtf(
        QByteArray("{\\rtf1{\\colortbl;\\red200\\green0\\blue0;}\\qc\\b B\\b0 \\i I\\i0 \\ul "
                   "U\\ulnone \\fs32 S\\fs24 {\\cf1 C}\\par\\pard R\\plain P}"),
        document));
    const auto formatOf = [&](int position) {
        QTextCursor cursor(&document);
        cursor.setPosition(position + 1);
        return cursor.charFormat();
    };
    EXPECT_EQ(document.toPlainText(), QStringLiteral("BIUSC\nRP"));
    EXPECT_TRUE(formatOf(0).font().bold());
    EXPECT_FALSE(formatOf(1).font().bold());
    EXPECT_TRUE(formatOf(1).fontItalic());
    EXPECT_TRUE(formatOf(2).fontUnderline());
    EXPECT_FALSE(formatOf(3).fontUnderline());
    EXPECT_EQ(formatOf(3).fontPointSize(), 16);
    EXPECT_EQ(formatOf(4).foreground().color(), QColor(200, 0, 0));
    EXPECT_EQ(document.firstBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
    EXPECT_EQ(document.lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignLeft);
}

TEST(RtfReader, TemplateTextKeepsItsCharactersAndValuesAreEscaped) {
    QTextDocument document;
    const QString value = QStringLiteral("{Цена}\\ 5\nлв.");
    ASSERT_TRUE(report::readRtf(
        QStringLiteral("{\\rtf1 Обособена позиция: ") + report::escapeRtf(value) + u'}', document));
    EXPECT_EQ(document.toPlainText(), QStringLiteral("Обособена позиция: {Цена}\\ 5\nлв."));
}

} // namespace
