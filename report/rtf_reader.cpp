// SPDX-License-Identifier: Apache-2.0
#include "report/rtf_reader.h"

#include "report/error.h"

#include <QHash>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <array>
#include <vector>

namespace report {

namespace {

// The delivered help text is 13 kB, its groups nest three deep.
constexpr qsizetype kMostRtfChars = 1 << 20;
constexpr int kMostRtfDepth = 100;
// Laying out costs about a fifth of a millisecond a paragraph or line break: this many keep any
// rich text at about a second, far more than a page or a help text holds.
constexpr int kMostRtfBreaks = 5000;

// Code page 1251 from 0x80 on; 0x98 is unassigned.
constexpr std::array<char16_t, 64> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

int codePageOfCharset(int charset) {
    switch (charset) {
    case 204:
        return 1251;
    case 238:
        return 1250;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 186:
        return 1257;
    default:
        return 1252;
    }
}

QChar decodeByte(unsigned char byte, int codePage) {
    if (codePage == 1251)
        return fromCp1251(byte);
    return QChar(byte); // the Latin code pages agree with Latin-1 where text needs them
}

enum class Destination { Text, FontTable, ColourTable, Skip };

struct GroupState {
    Destination destination = Destination::Text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 0; // 0: the document's default size
    int colour = 0;
    int font = -1;
    int unicodeSkip = 1;
    Qt::Alignment alignment = Qt::AlignLeft;
};

struct FontEntry {
    QString name;
    int codePage = 0; // 0: the document's
};

class Parser {
public:
    Parser(QString source, bool decoded, QTextDocument& document)
        : source_(std::move(source)), decoded_(decoded), cursor_(&document) {}

    bool parse() {
        if (!source_.startsWith(QLatin1String("{\\rtf")))
            return false;
        while (pos_ < source_.size()) {
            const QChar c = source_[pos_++];
            if (c == u'{') {
                flush();
                stack_.push_back(state_);
            } else if (c == u'}') {
                flush();
                if (stack_.empty())
                    return false;
                closeGroup();
            } else if (c == u'\\') {
                controlSymbolOrWord();
            } else if (c != u'\r' && c != u'\n') {
                character(c);
            }
        }
        flush();
        return stack_.empty() && seenEnd_;
    }

private:
    void closeGroup() {
        if (state_.destination == Destination::FontTable && !fontName_.isEmpty())
            commitFont();
        state_ = stack_.back();
        stack_.pop_back();
        if (stack_.empty())
            seenEnd_ = true;
    }

    int codePage() const {
        const auto font = fonts_.find(state_.font);
        if (font != fonts_.end() && font->codePage != 0)
            return font->codePage;
        return documentCodePage_;
    }

    void character(QChar c) {
        if (decoded_ || c.unicode() < 0x80)
            text(c);
        else
            text(decodeByte(static_cast<unsigned char>(c.unicode()), codePage()));
    }

    void text(QChar c) {
        if (skipCount_ > 0) {
            --skipCount_;
            return;
        }
        switch (state_.destination) {
        case Destination::Text:
            pending_ += c;
            break;
        case Destination::FontTable:
            if (c == u';')
                commitFont();
            else
                fontName_ += c;
            break;
        case Destination::ColourTable:
            if (c == u';') {
                colours_.push_back(colourSet_ ? QColor(red_, green_, blue_) : QColor());
                red_ = green_ = blue_ = 0;
                colourSet_ = false;
            }
            break;
        case Destination::Skip:
            break;
        }
    }

    void commitFont() {
        fonts_[currentFont_].name = fontName_.trimmed();
        fontName_.clear();
    }

    void flush() {
        if (pending_.isEmpty())
            return;
        QTextBlockFormat block;
        block.setAlignment(state_.alignment);
        cursor_.mergeBlockFormat(block);
        QTextCharFormat format;
        format.setFontWeight(state_.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(state_.italic);
        format.setFontUnderline(state_.underline);
        if (state_.halfPoints > 0)
            format.setFontPointSize(state_.halfPoints / 2.0);
        if (state_.colour > 0 && state_.colour < static_cast<int>(colours_.size()) &&
            colours_[static_cast<std::size_t>(state_.colour)].isValid())
            format.setForeground(colours_[static_cast<std::size_t>(state_.colour)]);
        if (const auto font = fonts_.find(state_.font);
            font != fonts_.end() && !font->name.isEmpty())
            format.setFontFamilies(QStringList{font->name});
        cursor_.insertText(pending_, format);
        pending_.clear();
    }

    void paragraph() {
        flush();
        QTextBlockFormat block;
        block.setAlignment(state_.alignment);
        cursor_.mergeBlockFormat(block);
        cursor_.insertBlock(block);
    }

    void controlSymbolOrWord() {
        if (pos_ >= source_.size())
            return;
        const QChar c = source_[pos_];
        if (!c.isLetter() || c.unicode() >= 0x80) {
            ++pos_;
            controlSymbol(c);
            return;
        }
        const qsizetype start = pos_;
        while (pos_ < source_.size() && source_[pos_].unicode() < 0x80 && source_[pos_].isLetter())
            ++pos_;
        const QString word = source_.mid(start, pos_ - start);
        const qsizetype digitsStart = pos_;
        if (pos_ < source_.size() && source_[pos_] == u'-')
            ++pos_;
        while (pos_ < source_.size() && source_[pos_].isDigit() && source_[pos_].unicode() < 0x80)
            ++pos_;
        bool hasParameter = false;
        const int parameter = source_.mid(digitsStart, pos_ - digitsStart).toInt(&hasParameter);
        if (pos_ < source_.size() && source_[pos_] == u' ')
            ++pos_;
        controlWord(word, hasParameter, parameter);
    }

    void controlSymbol(QChar c) {
        if (c == u'\'') {
            const bool ok = pos_ + 2 <= source_.size();
            bool hex = false;
            const int byte = ok ? source_.mid(pos_, 2).toInt(&hex, 16) : 0;
            pos_ += ok ? 2 : 0;
            if (hex)
                text(decodeByte(static_cast<unsigned char>(byte), codePage()));
        } else if (c == u'*') {
            state_.destination = Destination::Skip; // no optional destination is read
        } else if (c == u'~') {
            text(QChar(0x00A0));
        } else if (c == u'_') {
            text(QChar(0x2011));
        } else if (c == u'\r' || c == u'\n') {
            paragraph();
        } else if (c == u'\\' || c == u'{' || c == u'}') {
            text(c);
        }
    }

    void controlWord(const QString& word, bool hasParameter, int parameter) {
        const bool on = !hasParameter || parameter != 0;
        static const QHash<QString, char16_t> kSpecials = {
            {QStringLiteral("emdash"), 0x2014},    {QStringLiteral("endash"), 0x2013},
            {QStringLiteral("bullet"), 0x2022},    {QStringLiteral("lquote"), 0x2018},
            {QStringLiteral("rquote"), 0x2019},    {QStringLiteral("ldblquote"), 0x201C},
            {QStringLiteral("rdblquote"), 0x201D}, {QStringLiteral("tab"), u'\t'},
            {QStringLiteral("line"), 0x2028},      {QStringLiteral("emspace"), 0x2003},
            {QStringLiteral("enspace"), 0x2002},
        };
        static const QStringList kSkipped = {
            QStringLiteral("stylesheet"),
            QStringLiteral("info"),
            QStringLiteral("pict"),
            QStringLiteral("header"),
            QStringLiteral("footer"),
            QStringLiteral("headerl"),
            QStringLiteral("headerr"),
            QStringLiteral("headerf"),
            QStringLiteral("footerl"),
            QStringLiteral("footerr"),
            QStringLiteral("footerf"),
            QStringLiteral("footnote"),
            QStringLiteral("object"),
            QStringLiteral("listtable"),
            QStringLiteral("listoverridetable"),
            QStringLiteral("revtbl"),
            QStringLiteral("rsidtbl"),
            QStringLiteral("xmlnstbl"),
            QStringLiteral("generator"),
            QStringLiteral("themedata"),
            QStringLiteral("colorschememapping"),
            QStringLiteral("latentstyles"),
            QStringLiteral("datastore"),
            QStringLiteral("filetbl"),
            QStringLiteral("fldinst"),
            QStringLiteral("nonshppict"),
            QStringLiteral("shp"),
        };
        if (const auto special = kSpecials.find(word); special != kSpecials.end()) {
            text(QChar(*special));
        } else if (word == QLatin1String("par") || word == QLatin1String("page")) {
            paragraph();
        } else if (word == QLatin1String("ansicpg") && hasParameter) {
            documentCodePage_ = parameter;
        } else if (word == QLatin1String("fonttbl")) {
            state_.destination = Destination::FontTable;
        } else if (word == QLatin1String("colortbl")) {
            state_.destination = Destination::ColourTable;
        } else if (kSkipped.contains(word)) {
            state_.destination = Destination::Skip;
        } else if (word == QLatin1String("u") && hasParameter) {
            text(QChar(static_cast<char16_t>(parameter < 0 ? parameter + 65536 : parameter)));
            skipCount_ = state_.unicodeSkip;
        } else if (word == QLatin1String("uc") && hasParameter) {
            state_.unicodeSkip = std::max(0, parameter);
        } else {
            formatting(word, hasParameter, parameter, on);
        }
    }

    void formatting(const QString& word, bool hasParameter, int parameter, bool on) {
        flush();
        if (state_.destination == Destination::FontTable) {
            if (word == QLatin1String("f") && hasParameter)
                currentFont_ = parameter;
            else if (word == QLatin1String("fcharset") && hasParameter)
                fonts_[currentFont_].codePage = codePageOfCharset(parameter);
            return;
        }
        if (state_.destination == Destination::ColourTable) {
            colourSet_ = true;
            const int value = std::clamp(parameter, 0, 255);
            if (word == QLatin1String("red"))
                red_ = value;
            else if (word == QLatin1String("green"))
                green_ = value;
            else if (word == QLatin1String("blue"))
                blue_ = value;
            return;
        }
        if (word == QLatin1String("b"))
            state_.bold = on;
        else if (word == QLatin1String("i"))
            state_.italic = on;
        else if (word == QLatin1String("ulnone"))
            state_.underline = false;
        else if (word.startsWith(QLatin1String("ul")) && word != QLatin1String("ulc"))
            state_.underline = on;
        else if (word == QLatin1String("fs") && hasParameter)
            state_.halfPoints = parameter;
        else if (word == QLatin1String("cf") && hasParameter)
            state_.colour = parameter;
        else if (word == QLatin1String("f") && hasParameter)
            state_.font = parameter;
        else if (word == QLatin1String("plain"))
            plain();
        else if (word == QLatin1String("pard"))
            state_.alignment = Qt::AlignLeft;
        else if (word == QLatin1String("qc"))
            state_.alignment = Qt::AlignHCenter;
        else if (word == QLatin1String("qr"))
            state_.alignment = Qt::AlignRight;
        else if (word == QLatin1String("qj"))
            state_.alignment = Qt::AlignJustify;
        else if (word == QLatin1String("ql"))
            state_.alignment = Qt::AlignLeft;
    }

    void plain() {
        state_.bold = state_.italic = state_.underline = false;
        state_.halfPoints = 0;
        state_.colour = 0;
        state_.font = -1;
    }

    QString source_;
    bool decoded_;
    qsizetype pos_ = 0;
    QTextCursor cursor_;
    GroupState state_;
    std::vector<GroupState> stack_;
    bool seenEnd_ = false;
    QString pending_;
    int skipCount_ = 0;
    int documentCodePage_ = 1251;
    QHash<int, FontEntry> fonts_;
    int currentFont_ = 0;
    QString fontName_;
    std::vector<QColor> colours_;
    int red_ = 0;
    int green_ = 0;
    int blue_ = 0;
    bool colourSet_ = false;
};

bool read(QString source, bool decoded, QTextDocument& document) {
    document.clear();
    if (const QString problem = rtfLimitProblem(source); !problem.isEmpty())
        throw Error(problem);
    if (Parser(std::move(source), decoded, document).parse())
        return true;
    document.clear();
    return false;
}

} // namespace

QChar fromCp1251(unsigned char byte) {
    if (byte < 0x80)
        return QChar(byte);
    if (byte >= 0xC0)
        return QChar(static_cast<char16_t>(0x0410 + (byte - 0xC0)));
    return QChar(kCp1251High[byte - 0x80]);
}

bool looksLikeRtf(const QByteArray& bytes) {
    return bytes.startsWith("{\\rtf");
}

bool readRtf(const QByteArray& rtf, QTextDocument& document) {
    return read(QString::fromLatin1(rtf), false, document);
}

bool readRtf(const QString& rtf, QTextDocument& document) {
    return read(rtf, true, document);
}

namespace {

// Whether the control word `word` starts at `at` of `rtf`, not as the start of a longer one.
bool controlWordAt(QStringView rtf, qsizetype at, QLatin1StringView word) {
    if (!rtf.sliced(at).startsWith(word))
        return false;
    const qsizetype after = at + word.size();
    return after == rtf.size() || rtf[after].unicode() >= 0x80 || !rtf[after].isLetter();
}

// Whether the control symbol or word after the backslash at `at` breaks a paragraph or a line.
bool breaksAt(QStringView rtf, qsizetype at) {
    if (at >= rtf.size())
        return false;
    const QChar c = rtf[at];
    return c == u'\r' || c == u'\n' || controlWordAt(rtf, at, QLatin1StringView("par")) ||
           controlWordAt(rtf, at, QLatin1StringView("line"));
}

} // namespace

QString rtfLimitProblem(QStringView rtf) {
    if (rtf.size() > kMostRtfChars)
        return QStringLiteral("RTF текстът е от %1 знака, а най-много са %2")
            .arg(rtf.size())
            .arg(kMostRtfChars);
    int depth = 0;
    int breaks = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        const QChar c = rtf[i];
        if (c == u'\\') {
            if (breaksAt(rtf, i + 1) && ++breaks > kMostRtfBreaks)
                return QStringLiteral("RTF текстът има повече от %1 абзаца и нови реда")
                    .arg(kMostRtfBreaks);
            ++i; // an escaped brace opens or closes nothing
        } else if (c == u'{' && ++depth > kMostRtfDepth)
            return QStringLiteral("RTF текстът има групи, вложени на повече от %1 нива")
                .arg(kMostRtfDepth);
        else if (c == u'}' && depth > 0)
            --depth;
    }
    return {};
}

QString escapeRtf(const QString& text) {
    QString escaped;
    for (const QChar c : text) {
        if (c == u'\\' || c == u'{' || c == u'}')
            escaped += QLatin1Char('\\') + QString(c);
        else if (c == u'\n')
            escaped += QStringLiteral("\\line ");
        else if (c == u'\r')
            continue;
        else if (c.unicode() >= 0x80)
            escaped += QStringLiteral("\\u%1?").arg(static_cast<qint16>(c.unicode()));
        else
            escaped += c;
    }
    return escaped;
}

} // namespace report
