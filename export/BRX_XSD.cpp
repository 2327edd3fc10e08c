// SPDX-License-Identifier: Apache-2.0
#include "export/BRX_XSD.h"

#include "data/number_format.h"
#include "export/plain_blocks.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <memory_resource>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

struct OfferDocument {
    explicit OfferDocument(QString separator) : decimalSeparator(std::move(separator)) {}

    QString decimalSeparator;
    // The names of the elements, each kept once; the elements' names are views of these.
    std::vector<QString> names;
    std::size_t lastName = 0; // the index of the name found or added last
    // The texts handed in, shared with whoever handed them rather than copied: a position's
    // texts are the dataset's own, and long ones are megabytes in a large lot.
    std::vector<QString> sharedTexts;
    // Where the elements and the texts the document makes itself (numbers) live: an offer of
    // 10,000 positions has some 40,000 elements, made one by one and dropped all at once, which
    // the general heap would do an allocation each. The elements hold views only, so nothing of
    // them is destroyed one by one either.
    std::pmr::monotonic_buffer_resource room{std::size_t{64} * 1024};
};

namespace {

// The document's own `name`. A name usually comes from the same literal each time, and the
// elements of one kind are made in the same order each time: the known names are compared by
// where their characters lie first, from the one after the name found last.
QStringView keptName(OfferDocument& document, const QString& name) {
    const std::size_t count = document.names.size();
    for (std::size_t step = 1; step <= count; ++step) {
        const std::size_t at = (document.lastName + step) % count;
        const QString& known = document.names[at];
        if (known.constData() == name.constData() && known.size() == name.size()) {
            document.lastName = at;
            return known;
        }
    }
    for (std::size_t at = 0; at < count; ++at) {
        if (document.names[at] == name) {
            document.lastName = at;
            return document.names[at];
        }
    }
    document.lastName = count;
    return document.names.emplace_back(name);
}

OfferElement* newElement(OfferDocument& document, const QString& name) {
    void* const place = document.room.allocate(sizeof(OfferElement), alignof(OfferElement));
    auto* const element = new (place) OfferElement;
    element->name = keptName(document, name);
    return element;
}

// A copy of `text` in the document's room.
QStringView keptText(OfferDocument& document, QStringView text) {
    if (text.isEmpty())
        return {};
    const std::size_t size = static_cast<std::size_t>(text.size());
    auto* const chars =
        static_cast<char16_t*>(document.room.allocate(size * sizeof(char16_t), alignof(char16_t)));
    std::copy_n(text.utf16(), size, chars);
    return QStringView(chars, text.size());
}

// `text` kept as long as the document: shared when it has data of its own on the heap and is
// longer than a QString to share it, else (a short text, a literal, raw data) copied into the
// document's room.
QStringView sharedText(OfferDocument& document, const QString& text) {
    const bool shorterThanShared =
        text.size() * qsizetype{sizeof(char16_t)} <= qsizetype{sizeof(QString)};
    if (shorterThanShared || !text.data_ptr().isMutable())
        return keptText(document, text);
    return document.sharedTexts.emplace_back(text);
}

// `element` holding `text` alone, its children (if any) taken out.
void setChild(OfferElement& element, QStringView text) {
    element.firstChild = element.lastChild = nullptr;
    element.text = text;
}

void appendChild(OfferElement& parent, OfferElement* child) {
    (parent.lastChild == nullptr ? parent.firstChild : parent.lastChild->next) = child;
    parent.lastChild = child;
}

// The last of `parent`'s children, found again after children were taken out.
OfferElement* lastOf(const OfferElement& parent) {
    OfferElement* last = parent.firstChild;
    while (last != nullptr && last->next != nullptr)
        last = last->next;
    return last;
}

// The general form of at most 15 significant digits, with no exponent's leading zero, as the
// C locale of Qt writes it.
QString localeGeneralForm(double value) {
    static const QLocale c = [] {
        QLocale made = QLocale::c();
        made.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::OmitLeadingZeroInExponent);
        return made;
    }();
    return c.toString(value, 'g', 15);
}

// The same form made from the shortest form std::to_chars gives, at a small part of the cost,
// for a value whose shortest form has at most 15 significant digits: its rounding to 15 digits
// then meets no tie, which the two would round differently, and leaves those digits as they are.
// The digits go in fixed notation for a decimal exponent from -4 to 14, else in scientific
// notation. std::nullopt for any other value, and for the subnormal ones, whose shortest form is
// shorter than their 15 digits.
std::optional<QString> fewDigitsGeneralForm(double value) {
    if (value == 0)
        return QStringLiteral("0"); // a negative zero too
    if (!std::isnormal(value))
        return std::nullopt;
    std::array<char, 32> chars{};
    const char* const end =
        std::to_chars(chars.begin(), chars.end(), value, std::chars_format::scientific).ptr;
    const char* c = chars.begin();
    // At most a sign, 15 digits, a point, four zeros after it or "e-308".
    std::array<char, 32> form{};
    char* out = form.begin();
    if (*c == '-')
        *out++ = *c++;
    std::array<char, 17> digits{};
    std::size_t count = 0;
    for (; *c != 'e'; ++c) {
        if (*c == '.')
            continue;
        if (count == digits.size())
            return std::nullopt;
        digits[count++] = *c;
    }
    if (count > 15)
        return std::nullopt;
    ++c; // past the 'e'
    const char exponentSign = *c++;
    int exponent = 0;
    std::from_chars(c, end, exponent);
    if (exponentSign == '-')
        exponent = -exponent;
    const auto put = [&out, &digits](std::size_t from, std::size_t to) {
        out = std::copy(digits.begin() + from, digits.begin() + to, out);
    };
    if (exponent < -4 || exponent >= 15) {
        put(0, 1);
        if (count > 1) {
            *out++ = '.';
            put(1, count);
        }
        *out++ = 'e';
        *out++ = exponentSign;
        out = std::to_chars(out, form.end(), std::abs(exponent)).ptr;
    } else if (exponent >= 0) {
        const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
        put(0, std::min(whole, count));
        for (std::size_t i = count; i < whole; ++i)
            *out++ = '0';
        if (count > whole) {
            *out++ = '.';
            put(whole, count);
        }
    } else {
        *out++ = '0';
        *out++ = '.';
        for (int zeros = -exponent - 1; zeros > 0; --zeros)
            *out++ = '0';
        put(0, count);
    }
    return QString::fromLatin1(form.data(), out - form.data());
}

} // namespace

namespace {

// offerNumberText of `value`, whose fewDigitsGeneralForm is `few`.
QString numberText(std::optional<QString> few, double value, const QString& decimalSeparator) {
    QString text = few ? std::move(*few) : localeGeneralForm(value);
    text.replace(QLatin1Char('.'), decimalSeparator);
    return text;
}

} // namespace

QString offerNumberText(double value, const QString& decimalSeparator) {
    // Tens of thousands of prices go into one offer.
    return numberText(fewDigitsGeneralForm(value), value, decimalSeparator);
}

std::optional<qsizetype> firstUnwritableCharacter(const QString& text, qsizetype from) {
    const char16_t* const chars = QStringView(text).utf16();
    const qsizetype size = text.size();
    // Below U+0020 or from the surrogates on: a character to look at on its own.
    const auto plain = [](char16_t c) { return char16_t(c - 0x20) < char16_t(0xD800 - 0x20); };
    for (qsizetype i = nextNotPlain(chars, from, size, plain); i < size;
         i = nextNotPlain(chars, i + 1, size, plain)) {
        const char16_t c = chars[i];
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < size && QChar::isLowSurrogate(chars[i + 1])) {
                ++i;
                continue;
            }
            return i;
        }
        const bool control = c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
        if (control || QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF)
            return i;
    }
    return std::nullopt;
}

QString withUnwritableAsSpaces(QString text) {
    for (auto bad = firstUnwritableCharacter(text); bad; bad = firstUnwritableCharacter(text, *bad))
        text[*bad] = QLatin1Char(' ');
    return text;
}

QString unwritableCharacterReason(const QString& text, qsizetype index) {
    return QStringLiteral("съдържа на %1-о място знака U+%2, който не може да се запише в XML "
                          "файл")
        .arg(index + 1)
        .arg(QString::number(text[index].unicode(), 16).toUpper().rightJustified(4, u'0'));
}

QString numberRefusal(double value, const QString& decimalSeparator) {
    if (std::isnan(value))
        return QStringLiteral("не е число (NaN)");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("е безкрайност (+∞)")
                         : QStringLiteral("е минус безкрайност (−∞)");
    const qint64 digits = data::significantDigitsOf(value);
    if (digits <= data::kMaxNumberDigits)
        return {};
    return QStringLiteral("има %1 значещи цифри при най-много %2 (%3)")
        .arg(digits)
        .arg(data::kMaxNumberDigits)
        .arg(QString::number(value, 'g', QLocale::FloatingPointShortest)
                 .replace(QLatin1Char('.'), decimalSeparator));
}

UnwritableText::UnwritableText(const QString& element, const QString& text, qsizetype index)
    : UnwritableValue(QStringLiteral("Текстът на %1 %2.")
                          .arg(element, unwritableCharacterReason(text, index))) {}

UnwritableNumber::UnwritableNumber(const QString& element, const QString& refusal)
    : UnwritableValue(QStringLiteral("Стойността на %1 %2 и не може да се запише в XML файл.")
                          .arg(element, refusal)) {}

namespace {

data::Error notANumber(const QString& element, const QString& text) {
    return data::Error(QStringLiteral("%1 не съдържа число: \"%2\".").arg(element, text));
}

// The reference that stands for character `i` of `chars` in element content, as the offer files
// have always been written: '<' and '&' always, '>' where it would close "]]>", and CR so that a
// reader's line-end handling keeps it. A null view for a character written as it is.
QLatin1StringView reference(const QChar* chars, qsizetype i) {
    switch (chars[i].unicode()) {
    case u'<':
        return QLatin1StringView("&lt;");
    case u'&':
        return QLatin1StringView("&amp;");
    case u'\r':
        return QLatin1StringView("&#xd;");
    case u'>':
        if (i >= 2 && chars[i - 1] == u']' && chars[i - 2] == u']')
            return QLatin1StringView("&gt;");
        return {};
    default:
        return {};
    }
}

// Whether a character is written as it is wherever it stands. A closure rather than a function,
// so that the scans take it in and check many characters at once.
constexpr auto needsNoReference = [](char16_t c) {
    return (c != u'<') & (c != u'&') & (c != u'\r') & (c != u'>');
};

qsizetype escapedSize(QStringView text) {
    qsizetype size = 0;
    for (qsizetype i = 0;;) {
        const qsizetype next = nextNotPlain(text.utf16(), i, text.size(), needsNoReference);
        size += next - i;
        if (next == text.size())
            return size;
        const QLatin1StringView escape = reference(text.constData(), next);
        size += escape.isNull() ? 1 : escape.size();
        i = next + 1;
    }
}

// The markup is written straight into room counted beforehand: an offer of 10,000 positions is
// over a hundred thousand pieces, each of which an append would check and perhaps grow for.
QChar* put(QChar* out, QStringView text) {
    return std::copy(text.begin(), text.end(), out);
}

QChar* put(QChar* out, QLatin1StringView text) {
    for (const char c : text)
        *out++ = QLatin1Char(c);
    return out;
}

QChar* putEscaped(QChar* out, QStringView text) {
    for (qsizetype i = 0;;) {
        const qsizetype next = nextNotPlain(text.utf16(), i, text.size(), needsNoReference);
        out = put(out, text.sliced(i, next - i));
        if (next == text.size())
            return out;
        const QLatin1StringView escape = reference(text.constData(), next);
        if (escape.isNull())
            *out++ = text[next];
        else
            out = put(out, escape);
        i = next + 1;
    }
}

bool isEmpty(const OfferElement& element) {
    return element.text.isEmpty() && element.firstChild == nullptr;
}

// The start tag of an element that is not empty, then its text.
QChar* putOpening(QChar* out, const OfferElement& element) {
    *out++ = u'<';
    out = put(out, element.name);
    *out++ = u'>';
    return putEscaped(out, element.text);
}

qsizetype openingSize(const OfferElement& element) {
    return element.name.size() + 2 + escapedSize(element.text);
}

QChar* putClosing(QChar* out, const OfferElement& element) {
    out = put(out, QLatin1StringView("</"));
    out = put(out, element.name);
    *out++ = u'>';
    return out;
}

qsizetype closingSize(const OfferElement& element) {
    return element.name.size() + 3;
}

QChar* putMarkup(QChar* out, const OfferElement& element) {
    if (isEmpty(element)) {
        *out++ = u'<';
        out = put(out, element.name);
        return put(out, QLatin1StringView("/>"));
    }
    out = putOpening(out, element);
    for (const OfferElement* child = element.firstChild; child != nullptr; child = child->next)
        out = putMarkup(out, *child);
    return putClosing(out, element);
}

// The characters putMarkup writes.
qsizetype markupSize(const OfferElement& element) {
    if (isEmpty(element))
        return element.name.size() + 3;
    qsizetype size = openingSize(element) + closingSize(element);
    for (const OfferElement* child = element.firstChild; child != nullptr; child = child->next)
        size += markupSize(*child);
    return size;
}

// At least the characters putMarkup writes, found without reading the texts: a character of
// text takes at most five ("&amp;", "&#xd;").
qsizetype markupBound(const OfferElement& element) {
    qsizetype size = 2 * element.name.size() + 5 + 5 * element.text.size();
    for (const OfferElement* child = element.firstChild; child != nullptr; child = child->next)
        size += markupBound(*child);
    return size;
}

QString textOf(const OfferElement& element) {
    QString text = element.text.toString();
    for (const OfferElement* child = element.firstChild; child != nullptr; child = child->next)
        text += textOf(*child);
    return text;
}

} // namespace

// ---- the generic element node

TXMLNode::TXMLNode(std::shared_ptr<OfferDocument> document, OfferElement* element)
    : document_(std::move(document)), element_(element) {}

QString TXMLNode::NodeName() const {
    return element_->name.toString();
}

QString TXMLNode::XML() const {
    QString markup(markupSize(*element_), Qt::Uninitialized);
    [[maybe_unused]] const QChar* const end = putMarkup(markup.data(), *element_);
    Q_ASSERT(end == markup.constData() + markup.size());
    return markup;
}

void TXMLNode::WriteXML(const std::function<void(QStringView)>& write) const {
    const OfferElement& element = *element_;
    if (isEmpty(element)) {
        write(XML());
        return;
    }
    // The opening, each child's whole markup and the closing gather in one piece of room, which
    // is handed on whenever the next would not fit.
    constexpr qsizetype kPiece = 16 * 1024;
    QString room(kPiece, Qt::Uninitialized);
    qsizetype used = 0;
    const auto add = [&](qsizetype bound, const auto& putPart) {
        if (used + bound > room.size() && used > 0) {
            write(QStringView(room).first(used));
            used = 0;
        }
        if (bound > room.size())
            room.resize(bound);
        const QChar* const end = putPart(room.data() + used);
        used = end - room.constData();
    };
    add(openingSize(element), [&](QChar* out) { return putOpening(out, element); });
    for (const OfferElement* child = element.firstChild; child != nullptr; child = child->next)
        add(markupBound(*child), [&](QChar* out) { return putMarkup(out, *child); });
    add(closingSize(element), [&](QChar* out) { return putClosing(out, element); });
    write(QStringView(room).first(used));
}

OfferElement& TXMLNode::ChildNode(const QString& name) {
    for (OfferElement* child = element_->firstChild; child != nullptr; child = child->next)
        if (child->name == name)
            return *child;
    OfferElement* const child = newElement(*document_, name);
    appendChild(*element_, child);
    return *child;
}

QString TXMLNode::childText(const QString& name) {
    return textOf(ChildNode(name));
}

qint64 TXMLNode::childInteger(const QString& name) {
    const QString text = childText(name);
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok)
        throw notANumber(name, text);
    return value;
}

double TXMLNode::childFloat(const QString& name) {
    QString text = childText(name);
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const double value =
        text.replace(document_->decimalSeparator, QStringLiteral(".")).toDouble(&ok);
    if (!ok)
        throw notANumber(name, childText(name));
    return value;
}

void TXMLNode::setChildText(const QString& name, const QString& value) {
    if (const auto bad = firstUnwritableCharacter(value))
        throw UnwritableText(name, value, *bad);
    setChild(ChildNode(name), sharedText(*document_, value));
}

void TXMLNode::setChildInteger(const QString& name, qint64 value) {
    setChild(ChildNode(name), keptText(*document_, QString::number(value)));
}

void TXMLNode::setChildFloat(const QString& name, double value) {
    // A value whose shortest form has at most 15 digits is written as it is; another, rounded to
    // the form's digits, could be read back as another value.
    std::optional<QString> few = fewDigitsGeneralForm(value);
    if (!few) {
        if (const QString refusal = numberRefusal(value, document_->decimalSeparator);
            !refusal.isEmpty())
            throw UnwritableNumber(name, refusal);
    }
    setChild(ChildNode(name),
             keptText(*document_, numberText(std::move(few), value, document_->decimalSeparator)));
}

// ---- KONKURS

#define BRX_TEXT(Class, Name)                                                                      \
    QString Class::Get_##Name() {                                                                  \
        return childText(QStringLiteral(#Name));                                                   \
    }                                                                                              \
    void Class::Set_##Name(const QString& value) {                                                 \
        setChildText(QStringLiteral(#Name), value);                                                \
    }
#define BRX_INTEGER(Class, Name)                                                                   \
    qint64 Class::Get_##Name() {                                                                   \
        return childInteger(QStringLiteral(#Name));                                                \
    }                                                                                              \
    void Class::Set_##Name(qint64 value) {                                                         \
        setChildInteger(QStringLiteral(#Name), value);                                             \
    }
#define BRX_FLOAT(Class, Name)                                                                     \
    double Class::Get_##Name() {                                                                   \
        return childFloat(QStringLiteral(#Name));                                                  \
    }                                                                                              \
    void Class::Set_##Name(double value) {                                                         \
        setChildFloat(QStringLiteral(#Name), value);                                               \
    }

BRX_INTEGER(TXMLKONKURS, KONKURS)
BRX_TEXT(TXMLKONKURS, IME_NA_KONKURSA)
BRX_INTEGER(TXMLKONKURS, NO_DDS)
BRX_TEXT(TXMLKONKURS, KP1_TEXT)
BRX_FLOAT(TXMLKONKURS, KP1_NUMBER)
BRX_TEXT(TXMLKONKURS, KP2_TEXT)
BRX_FLOAT(TXMLKONKURS, KP2_NUMBER)
BRX_TEXT(TXMLKONKURS, KP3_TEXT)
BRX_FLOAT(TXMLKONKURS, KP3_NUMBER)
BRX_TEXT(TXMLKONKURS, KP4_TEXT)
BRX_FLOAT(TXMLKONKURS, KP4_NUMBER)
BRX_INTEGER(TXMLKONKURS, TIP_EXPORT)

// ---- POZICII

BRX_INTEGER(TXMLPOZICII, PRODUCT_CODE)
BRX_TEXT(TXMLPOZICII, CUSTOM_CODE)
BRX_FLOAT(TXMLPOZICII, PP1_NUMBER)
BRX_FLOAT(TXMLPOZICII, PP2_NUMBER)
BRX_TEXT(TXMLPOZICII, PP2_TEXT)
BRX_FLOAT(TXMLPOZICII, PP3_NUMBER)
BRX_TEXT(TXMLPOZICII, PP3_TEXT)
BRX_FLOAT(TXMLPOZICII, PP4_NUMBER)
BRX_TEXT(TXMLPOZICII, PP4_TEXT)
BRX_FLOAT(TXMLPOZICII, PP5_NUMBER)
BRX_TEXT(TXMLPOZICII, PP5_TEXT)
BRX_FLOAT(TXMLPOZICII, PP6_NUMBER)
BRX_TEXT(TXMLPOZICII, PP6_TEXT)

#undef BRX_TEXT
#undef BRX_INTEGER
#undef BRX_FLOAT

void IXMLPOZICII::Set_PP_NUMBER(int n, double value) {
    switch (n) {
    case 2:
        return Set_PP2_NUMBER(value);
    case 3:
        return Set_PP3_NUMBER(value);
    case 4:
        return Set_PP4_NUMBER(value);
    case 5:
        return Set_PP5_NUMBER(value);
    case 6:
        return Set_PP6_NUMBER(value);
    default:
        throw std::out_of_range("offer parameter number out of range");
    }
}

void IXMLPOZICII::Set_PP_TEXT(int n, const QString& value) {
    switch (n) {
    case 2:
        return Set_PP2_TEXT(value);
    case 3:
        return Set_PP3_TEXT(value);
    case 4:
        return Set_PP4_TEXT(value);
    case 5:
        return Set_PP5_TEXT(value);
    case 6:
        return Set_PP6_TEXT(value);
    default:
        throw std::out_of_range("offer parameter number out of range");
    }
}

// ---- the list of POZICII

TXMLPOZICIIList::TXMLPOZICIIList(std::shared_ptr<OfferDocument> document, OfferElement* owner,
                                 QString itemTag)
    : document_(std::move(document)), owner_(owner), itemTag_(std::move(itemTag)) {}

int TXMLPOZICIIList::Count() const {
    int count = 0;
    for (const OfferElement* child = owner_->firstChild; child != nullptr; child = child->next)
        count += child->name == itemTag_ ? 1 : 0;
    return count;
}

OfferElement** TXMLPOZICIIList::itemLink(int index) const {
    int seen = 0;
    for (OfferElement** link = &owner_->firstChild; *link != nullptr; link = &(*link)->next)
        if ((*link)->name == itemTag_ && seen++ == index)
            return link;
    throw std::out_of_range("POZICII item index out of range");
}

OfferElement* TXMLPOZICIIList::newItem() const {
    return newElement(*document_, itemTag_);
}

std::shared_ptr<IXMLPOZICII> TXMLPOZICIIList::bind(OfferElement* element) const {
    return std::make_shared<TXMLPOZICII>(document_, element);
}

void TXMLPOZICIIList::Clear() {
    for (OfferElement** link = &owner_->firstChild; *link != nullptr;) {
        if ((*link)->name == itemTag_)
            *link = (*link)->next;
        else
            link = &(*link)->next;
    }
    owner_->lastChild = lastOf(*owner_);
}

void TXMLPOZICIIList::Delete(int index) {
    OfferElement** const link = itemLink(index);
    OfferElement* const removed = *link;
    *link = removed->next;
    removed->next = nullptr;
    owner_->lastChild = lastOf(*owner_);
}

std::shared_ptr<IXMLPOZICII> TXMLPOZICIIList::Add() {
    OfferElement* const item = newItem();
    appendChild(*owner_, item);
    return bind(item);
}

std::shared_ptr<IXMLPOZICII> TXMLPOZICIIList::Insert(int index) {
    if (index == Count())
        return Add();
    OfferElement** const link = itemLink(index);
    OfferElement* const item = newItem();
    item->next = *link;
    *link = item;
    return bind(item);
}

std::shared_ptr<IXMLPOZICII> TXMLPOZICIIList::Get_Item(int index) {
    return bind(*itemLink(index));
}

void TXMLPOZICIIList::AddFilled(const std::function<void(IXMLPOZICII&)>& fill) {
    OfferElement* const item = newItem();
    appendChild(*owner_, item);
    TXMLPOZICII binding(document_, item);
    fill(binding);
}

// ---- PREDL

TXMLPREDL::TXMLPREDL(std::shared_ptr<OfferDocument> document, OfferElement* element)
    : TXMLNode(document, element),
      POZICII_(std::make_shared<TXMLPOZICIIList>(document, element, QStringLiteral("POZICII"))) {}

QString TXMLPREDL::Get_IME_NA_FIRMATA() {
    return childText(QStringLiteral("IME_NA_FIRMATA"));
}

std::shared_ptr<IXMLKONKURS> TXMLPREDL::Get_KONKURS() {
    return std::make_shared<TXMLKONKURS>(document_, &ChildNode(QStringLiteral("KONKURS")));
}

std::shared_ptr<IXMLPOZICIIList> TXMLPREDL::Get_POZICII() {
    return POZICII_;
}

void TXMLPREDL::Set_IME_NA_FIRMATA(const QString& value) {
    setChildText(QStringLiteral("IME_NA_FIRMATA"), value);
}

std::shared_ptr<IXMLPREDL> NewPREDL(const QLocale& regional) {
    auto document = std::make_shared<OfferDocument>(regional.decimalPoint());
    return std::make_shared<TXMLPREDL>(document, newElement(*document, QStringLiteral("PREDL")));
}
