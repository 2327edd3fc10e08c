// SPDX-License-Identifier: Apache-2.0
#include "report/expression.h"

#include "data/number_format.h"
#include "report/error.h"
#include "report/report_dataset.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace report {

struct MemoText::Node {
    enum class Kind {
        Number,
        Text,
        Field,
        Date,
        Time,
        Page,
        TotalPages,
        Line,
        Negate,
        Not,
        Binary,  // + - * /
        Compare, // = <> < > <= >=
        Logical, // and, or
        Iif,     // IIF(condition, then, else)
        Sum,     // SUM(value): the total of the value over the rows printed so far
    };
    Kind kind = Kind::Number;
    double number = 0;
    QString text; // a text literal, a field's name, or the operator of a binary node
    const ReportDataset* dataset = nullptr;
    std::unique_ptr<Node> left;
    std::unique_ptr<Node> right;
    std::unique_ptr<Node> third;
    int height = 1;           // of the tree below and with this node
    mutable double total = 0; // of a SUM
};

namespace {

using Node = MemoText::Node;

// How deeply an expression may nest, in parentheses, operators and operands alike. Parsing,
// evaluating and releasing an expression all descend it, and a template is a file anyone may
// edit: a bound keeps the descent within the stack. The delivered templates nest four deep.
constexpr int kMostDepth = 100;

// A display format longer than a line of a page, or asking for more digits than one shows,
// would only cost time and memory.
constexpr qsizetype kMostFormatChars = 100;
constexpr int kMostFormatDigits = 100;

// "%2.2n" and its kin: an optional width, an optional precision, and the kind.
const QRegularExpression& printfSpec() {
    static const QRegularExpression conversion(
        QStringLiteral("%-?(\\d*)(?:\\.(\\d+))?([nfdgemNFDGEM])"));
    return conversion;
}

// Reads one bracketed expression: sums of products of operands, numbers, quoted texts and
// parenthesised expressions, with unary minus.
class Parser {
public:
    Parser(const QString& text, const QString& objectName, std::vector<const Node*>& sums)
        : text_(text), object_(objectName), sums_(sums) {}

    std::unique_ptr<Node> parseWhole() {
        auto node = parseOr();
        skipSpaces();
        if (pos_ < text_.size())
            fail(QStringLiteral("неочакван знак „%1“").arg(text_[pos_]));
        return node;
    }

private:
    [[noreturn]] void fail(const QString& why) const {
        constexpr qsizetype kShown = 60; // of an expression in the message
        const QString shown =
            text_.size() > kShown ? text_.left(kShown) + QStringLiteral("…") : text_;
        throw Error(
            QStringLiteral("Грешка в израза „[%1]“ на обекта %2: %3.").arg(shown, object_, why));
    }

    [[noreturn]] void failTooDeep() const {
        fail(QStringLiteral("изразът е вложен на повече от %1 нива").arg(kMostDepth));
    }

    // Counts one level of the parser's descent for as long as it lives.
    class Deeper {
    public:
        explicit Deeper(Parser& parser) : parser_(parser) {
            if (++parser_.nesting_ > kMostDepth)
                parser_.failTooDeep();
        }
        ~Deeper() { --parser_.nesting_; }
        Deeper(const Deeper&) = delete;
        Deeper& operator=(const Deeper&) = delete;

    private:
        Parser& parser_;
    };

    // Gives `node` the height its operands make it, refusing a tree deeper than kMostDepth.
    std::unique_ptr<Node> grown(std::unique_ptr<Node> node) const {
        for (const Node* operand : {node->left.get(), node->right.get(), node->third.get()})
            if (operand != nullptr)
                node->height = std::max(node->height, operand->height + 1);
        if (node->height > kMostDepth)
            failTooDeep();
        return node;
    }

    void skipSpaces() {
        while (pos_ < text_.size() && text_[pos_].isSpace())
            ++pos_;
    }

    bool take(QChar c) {
        skipSpaces();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    // A keyword such as "and", not followed by a letter of a longer name.
    bool takeWord(QLatin1String word) {
        skipSpaces();
        const qsizetype end = pos_ + word.size();
        if (end > text_.size() ||
            QStringView(text_).mid(pos_, word.size()).compare(word, Qt::CaseInsensitive) != 0 ||
            (end < text_.size() && (text_[end].isLetterOrNumber() || text_[end] == u'_')))
            return false;
        pos_ = end;
        return true;
    }

    std::unique_ptr<Node> binary(Node::Kind kind, const QString& op, std::unique_ptr<Node> left,
                                 std::unique_ptr<Node> right) const {
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->text = op;
        node->left = std::move(left);
        node->right = std::move(right);
        return grown(std::move(node));
    }
    std::unique_ptr<Node> binary(QChar op, std::unique_ptr<Node> left,
                                 std::unique_ptr<Node> right) const {
        return binary(Node::Kind::Binary, op, std::move(left), std::move(right));
    }

    std::unique_ptr<Node> parseOr() {
        const Deeper deeper(*this);
        auto node = parseAnd();
        while (takeWord(QLatin1String("or")))
            node = binary(Node::Kind::Logical, QStringLiteral("or"), std::move(node), parseAnd());
        return node;
    }

    std::unique_ptr<Node> parseAnd() {
        auto node = parseComparison();
        while (takeWord(QLatin1String("and")))
            node = binary(Node::Kind::Logical, QStringLiteral("and"), std::move(node),
                          parseComparison());
        return node;
    }

    std::unique_ptr<Node> parseComparison() {
        auto node = parseSum();
        static const char* const kOperators[] = {"<>", "<=", ">=", "=", "<", ">"};
        skipSpaces();
        for (const char* op : kOperators) {
            const QLatin1String symbol(op);
            if (QStringView(text_).mid(pos_).startsWith(symbol)) {
                pos_ += symbol.size();
                return binary(Node::Kind::Compare, symbol, std::move(node), parseSum());
            }
        }
        return node;
    }

    std::unique_ptr<Node> parseSum() {
        auto node = parseProduct();
        for (;;) {
            if (take(u'+'))
                node = binary(u'+', std::move(node), parseProduct());
            else if (take(u'-'))
                node = binary(u'-', std::move(node), parseProduct());
            else
                return node;
        }
    }

    std::unique_ptr<Node> parseProduct() {
        auto node = parseFactor();
        for (;;) {
            if (take(u'*'))
                node = binary(u'*', std::move(node), parseFactor());
            else if (take(u'/'))
                node = binary(u'/', std::move(node), parseFactor());
            else
                return node;
        }
    }

    std::unique_ptr<Node> parseFactor() {
        skipSpaces();
        if (pos_ >= text_.size())
            fail(QStringLiteral("изразът свършва преждевременно"));
        const QChar c = text_[pos_];
        if (take(u'-') || takeWord(QLatin1String("not"))) {
            const Deeper deeper(*this);
            auto node = std::make_unique<Node>();
            node->kind = c == u'-' ? Node::Kind::Negate : Node::Kind::Not;
            node->left = parseFactor();
            return grown(std::move(node));
        }
        if (take(u'(')) {
            auto node = parseOr();
            if (!take(u')'))
                fail(QStringLiteral("липсва „)“"));
            return node;
        }
        if (take(u'<')) {
            auto node = parseReference();
            if (!take(u'>'))
                fail(QStringLiteral("липсва „>“"));
            return node;
        }
        if (c == u'\'')
            return parseText();
        if (c.isDigit())
            return parseNumber();
        return parseReference();
    }

    std::unique_ptr<Node> parseNumber() {
        const qsizetype start = pos_;
        while (pos_ < text_.size() && (text_[pos_].isDigit() || text_[pos_] == u'.'))
            ++pos_;
        bool ok = false;
        auto node = std::make_unique<Node>();
        node->number = text_.mid(start, pos_ - start).toDouble(&ok);
        if (!ok)
            fail(QStringLiteral("неправилно число"));
        return node;
    }

    std::unique_ptr<Node> parseText() {
        ++pos_; // the opening quote
        auto node = std::make_unique<Node>();
        node->kind = Node::Kind::Text;
        for (;;) {
            if (pos_ >= text_.size())
                fail(QStringLiteral("незатворен текст"));
            const QChar c = text_[pos_++];
            if (c == u'\'') {
                if (pos_ < text_.size() && text_[pos_] == u'\'') {
                    node->text += c;
                    ++pos_;
                    continue;
                }
                return node;
            }
            node->text += c;
        }
    }

    QString readName() {
        skipSpaces();
        if (pos_ < text_.size() && text_[pos_] == u'"') {
            const qsizetype close = text_.indexOf(u'"', pos_ + 1);
            if (close < 0)
                fail(QStringLiteral("незатворени кавички"));
            const QString name = text_.mid(pos_ + 1, close - pos_ - 1);
            pos_ = close + 1;
            return name;
        }
        const qsizetype start = pos_;
        while (pos_ < text_.size() &&
               (text_[pos_].isLetterOrNumber() || text_[pos_] == u'_' || text_[pos_] == u'#'))
            ++pos_;
        if (pos_ == start)
            fail(QStringLiteral("очаква се име"));
        return text_.mid(start, pos_ - start);
    }

    std::unique_ptr<Node> parseIif() {
        auto node = std::make_unique<Node>();
        node->kind = Node::Kind::Iif;
        node->left = parseOr();
        if (!take(u','))
            fail(QStringLiteral("IIF иска три стойности"));
        node->right = parseOr();
        if (!take(u','))
            fail(QStringLiteral("IIF иска три стойности"));
        node->third = parseOr();
        if (!take(u')'))
            fail(QStringLiteral("липсва „)“"));
        return grown(std::move(node));
    }

    std::unique_ptr<Node> parseReference() {
        const QString name = readName();
        if (name.compare(QLatin1String("IIF"), Qt::CaseInsensitive) == 0 && take(u'('))
            return parseIif();
        if (name.compare(QLatin1String("SUM"), Qt::CaseInsensitive) == 0 && take(u'(')) {
            auto sum = std::make_unique<Node>();
            sum->kind = Node::Kind::Sum;
            sum->left = parseOr();
            if (!take(u')'))
                fail(QStringLiteral("липсва „)“"));
            sum = grown(std::move(sum));
            sums_.push_back(sum.get());
            return sum;
        }
        auto node = std::make_unique<Node>();
        if (take(u'.')) {
            const QString field = readName();
            const ReportDataset* dataset = findDataset(name);
            if (dataset == nullptr)
                fail(QStringLiteral("няма набор от данни „%1“").arg(name));
            if (!dataset->hasField(field))
                fail(QStringLiteral("наборът „%1“ няма поле „%2“").arg(name, field));
            node->kind = Node::Kind::Field;
            node->dataset = dataset;
            node->text = field;
            return node;
        }
        static const std::pair<const char*, Node::Kind> kVariables[] = {
            {"Date", Node::Kind::Date},
            {"Time", Node::Kind::Time},
            {"Page#", Node::Kind::Page},
            {"Page", Node::Kind::Page},
            {"TotalPages#", Node::Kind::TotalPages},
            {"TotalPages", Node::Kind::TotalPages},
            {"Line#", Node::Kind::Line},
            {"Line", Node::Kind::Line},
        };
        for (const auto& [variable, kind] : kVariables)
            if (name.compare(QLatin1String(variable), Qt::CaseInsensitive) == 0) {
                node->kind = kind;
                return node;
            }
        fail(QStringLiteral("непозната променлива „%1“").arg(name));
    }

    const QString& text_;
    const QString& object_;
    std::vector<const Node*>& sums_;
    qsizetype pos_ = 0;
    int nesting_ = 0;
};

// Where the ']' closing the '[' at `open` is, skipping quoted parts and nested brackets; -1 when
// there is none.
qsizetype closingBracket(const QString& text, qsizetype open) {
    int depth = 0;
    QChar quote;
    for (qsizetype i = open; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'[') {
            ++depth;
        } else if (c == u']' && --depth == 0) {
            return i;
        }
    }
    return -1;
}

double toNumber(const QVariant& value) {
    if (value.isNull())
        return 0;
    if (value.typeId() == QMetaType::QString) {
        bool ok = false;
        const double number = value.toString().toDouble(&ok);
        return ok ? number : 0;
    }
    return value.toDouble();
}

bool isText(const QVariant& value) {
    return value.typeId() == QMetaType::QString;
}

bool isNumber(const QVariant& value);

// Numbers, yes/no values and nulls compare as numbers, anything else as text.
int compareValues(const QVariant& left, const QVariant& right) {
    const auto numeric = [](const QVariant& v) {
        return v.isNull() || isNumber(v) || v.typeId() == QMetaType::Bool;
    };
    if (numeric(left) && numeric(right)) {
        const double a = toNumber(left);
        const double b = toNumber(right);
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    return QString::compare(left.toString(), right.toString(), Qt::CaseSensitive);
}

bool holds(const QString& op, int order) {
    if (op == QLatin1String("="))
        return order == 0;
    if (op == QLatin1String("<>"))
        return order != 0;
    if (op == QLatin1String("<"))
        return order < 0;
    if (op == QLatin1String(">"))
        return order > 0;
    if (op == QLatin1String("<="))
        return order <= 0;
    return order >= 0;
}

QVariant evaluateNode(const Node& node, const EvalContext& context) {
    switch (node.kind) {
    case Node::Kind::Number:
        return node.number;
    case Node::Kind::Text:
        return node.text;
    case Node::Kind::Field:
        return node.dataset->value(node.text);
    case Node::Kind::Date:
        return context.started.date();
    case Node::Kind::Time:
        return context.started.time();
    case Node::Kind::Page:
        return context.page;
    case Node::Kind::TotalPages:
        return QString(QChar(kTotalPagesMark));
    case Node::Kind::Line:
        return context.line;
    case Node::Kind::Negate:
        return -toNumber(evaluateNode(*node.left, context));
    case Node::Kind::Not:
        return !isTrue(evaluateNode(*node.left, context));
    case Node::Kind::Iif:
        return isTrue(evaluateNode(*node.left, context)) ? evaluateNode(*node.right, context)
                                                         : evaluateNode(*node.third, context);
    case Node::Kind::Compare:
        return holds(node.text, compareValues(evaluateNode(*node.left, context),
                                              evaluateNode(*node.right, context)));
    case Node::Kind::Logical: {
        const bool left = isTrue(evaluateNode(*node.left, context));
        if (node.text == QLatin1String("and") ? !left : left)
            return left;
        return isTrue(evaluateNode(*node.right, context));
    }
    case Node::Kind::Sum:
        return node.total;
    case Node::Kind::Binary:
        break;
    }
    const QVariant left = evaluateNode(*node.left, context);
    const QVariant right = evaluateNode(*node.right, context);
    const QChar op = node.text[0];
    if (op == u'+' && (isText(left) || isText(right)))
        return formatValue(left, {}) + formatValue(right, {});
    const double a = toNumber(left);
    const double b = toNumber(right);
    if (op == u'+')
        return a + b;
    if (op == u'-')
        return a - b;
    if (op == u'*')
        return a * b;
    if (b == 0)
        return QVariant(); // a division by zero shows nothing rather than inf
    return a / b;
}

bool isNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

QChar decimalPoint(const DisplayFormat& format) {
    return format.decimalSeparator.isEmpty() ? QLocale().decimalPoint().at(0)
                                             : format.decimalSeparator.at(0);
}

// "%2.2n" and its kin: n groups the thousands, f does not, d is a whole number, g the shortest.
QString formatPrintf(double value, const QString& format, QChar point) {
    const QRegularExpressionMatch match = printfSpec().match(format);
    if (!match.hasMatch())
        return format;
    const int decimals = match.captured(2).isEmpty() ? 2 : match.captured(2).toInt();
    const QChar kind = match.captured(3).at(0).toLower();
    QString text;
    const QString zeros = decimals > 0 ? QStringLiteral(".") + QString(decimals, u'0') : QString();
    if (kind == u'n' || kind == u'm')
        text = data::formatNumber(value, QStringLiteral("# ##0") + zeros, point);
    else if (kind == u'f')
        text = data::formatNumber(value, QStringLiteral("0") + zeros, point);
    else if (kind == u'd')
        text = data::formatNumber(std::round(value), QStringLiteral("0"), point);
    else if (kind == u'e')
        text = QString::number(value, 'e', decimals).replace(u'.', point);
    else
        text = data::formatNumber(value, QString(), point);
    return QString(format).replace(match.capturedStart(), match.capturedLength(), text);
}

// Day, month and year letters of the templates' date formats, where m is the month and n the
// minute, into Qt's.
QString qtDateFormat(const QString& format) {
    QString result;
    for (const QChar c : format) {
        if (c == u'm')
            result += u'M';
        else if (c == u'n')
            result += u'm';
        else
            result += c;
    }
    return result;
}

} // namespace

QString displayFormatProblem(const DisplayFormat& format) {
    if (format.format.size() > kMostFormatChars)
        return QStringLiteral("форматът е от %1 знака, а най-много са %2")
            .arg(format.format.size())
            .arg(kMostFormatChars);
    if (format.kind != DisplayFormat::Kind::Numeric || !format.format.contains(u'%'))
        return {};
    const QRegularExpressionMatch match = printfSpec().match(format.format);
    for (const int part : {1, 2}) {
        bool ok = true;
        const QString digits = match.captured(part);
        if (!digits.isEmpty() && (digits.toInt(&ok) > kMostFormatDigits || !ok))
            return QStringLiteral("форматът „%1“ иска %2 знака, а най-много са %3")
                .arg(format.format, digits)
                .arg(kMostFormatDigits);
    }
    return {};
}

bool isTrue(const QVariant& value) {
    if (value.isNull())
        return false;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
               text == QLatin1String("1") || text == QStringLiteral("Да");
    }
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return toNumber(value) != 0;
}

QString formatValue(const QVariant& value, const DisplayFormat& format) {
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(format.kind == DisplayFormat::Kind::DateTime
                                           ? qtDateFormat(format.format)
                                           : QStringLiteral("dd.MM.yyyy"));
    case QMetaType::QTime:
        return value.toTime().toString(format.kind == DisplayFormat::Kind::DateTime
                                           ? qtDateFormat(format.format)
                                           : QStringLiteral("hh:mm:ss"));
    case QMetaType::Bool:
        if (format.kind == DisplayFormat::Kind::Boolean) {
            const QStringList texts = format.format.split(u';');
            if (texts.size() == 2)
                return value.toBool() ? texts[0] : texts[1];
        }
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        break;
    }
    if (isNumber(value)) {
        const double number = value.toDouble();
        if (format.kind == DisplayFormat::Kind::Numeric && !format.format.isEmpty()) {
            if (format.format.contains(u'%'))
                return formatPrintf(number, format.format, decimalPoint(format));
            return data::formatNumber(number, format.format, decimalPoint(format));
        }
        return data::formatNumber(number, QString(), decimalPoint(format));
    }
    return value.toString();
}

MemoText MemoText::bind(const QString& text, const QString& objectName) {
    MemoText memo;
    qsizetype pos = 0;
    QString literal;
    while (pos < text.size()) {
        const qsizetype open = text.indexOf(u'[', pos);
        const qsizetype close = open < 0 ? -1 : closingBracket(text, open);
        if (close < 0) {
            literal += text.mid(pos);
            break;
        }
        literal += text.mid(pos, open - pos);
        if (!literal.isEmpty())
            memo.segments_.push_back({std::exchange(literal, QString()), nullptr});
        const QString inner = text.mid(open + 1, close - open - 1);
        memo.segments_.push_back({QString(), Parser(inner, objectName, memo.sums_).parseWhole()});
        pos = close + 1;
    }
    if (!literal.isEmpty())
        memo.segments_.push_back({literal, nullptr});
    return memo;
}

QString MemoText::evaluate(const EvalContext& context, const DisplayFormat& format,
                           Escape escape) const {
    QString result;
    for (const Segment& segment : segments_) {
        if (!segment.expression) {
            result += segment.literal;
            continue;
        }
        const Node& node = *segment.expression;
        // A field shown as it is keeps the look its data source gives it.
        const QString value =
            node.kind == Node::Kind::Field && format.kind == DisplayFormat::Kind::Text
                ? node.dataset->displayText(node.text)
                : formatValue(evaluateNode(node, context), format);
        result += escape != nullptr ? escape(value) : value;
    }
    return result;
}

QVariant MemoText::value(const EvalContext& context) const {
    if (segments_.size() == 1 && segments_[0].expression)
        return evaluateNode(*segments_[0].expression, context);
    return evaluate(context, {});
}

void MemoText::resetSums() const {
    for (const Node* sum : sums_)
        sum->total = 0;
}

void MemoText::accumulate(const EvalContext& context) const {
    for (const Node* sum : sums_)
        sum->total += toNumber(evaluateNode(*sum->left, context));
}

bool MemoText::hasExpressions() const {
    for (const Segment& segment : segments_)
        if (segment.expression)
            return true;
    return false;
}

} // namespace report
