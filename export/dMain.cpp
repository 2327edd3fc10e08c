// SPDX-License-Identifier: Apache-2.0
#include "export/dMain.h"

#include "data/dataset.h"

#include <array>

namespace {

const QString kGreaterThanZero = QStringLiteral(" трябва да е по-голямо от 0.");
const QString kNotNegative = QStringLiteral(" трябва да е по-голямо или равно на 0.");
const QString kFilledIn = QStringLiteral(" трябва да е попълнено.");
const QString kPrice = QStringLiteral("PP1_NUMBER");

// The limit codes of the tender's parameters; any other code puts no limit on the value.
enum Limit : qint64 { GreaterThanZero = 2, NotNegative = 3, FilledIn = 5 };

QString resultText(const std::vector<RuleBreach>& breaches) {
    QString result;
    for (const RuleBreach& breach : breaches)
        result += breach.message() + QStringLiteral("\r\n");
    return result;
}

bool isBlank(const QVariant& text) {
    return text.isNull() || trimControls(text.toString()).isEmpty();
}

// The tender's parameters: KP1 ... KP4 of the tender record, PP1 ... PP6 of each position.
enum class Parameter { Tender, Position };

// The columns of parameter `kind` n: its value as a number and as a text, its limit code and its
// caption. Made once: the checks run for every position of a lot.
struct ParameterColumns {
    QString number;
    QString text;
    QString limit;
    QString caption;
};

const ParameterColumns& parameterColumns(Parameter kind, int n) {
    static const auto table = [] {
        std::array<std::array<ParameterColumns, 7>, 2> made;
        for (const Parameter each : {Parameter::Tender, Parameter::Position}) {
            for (int i = 1; i <= 6; ++i) {
                const QString prefix =
                    (each == Parameter::Tender ? QStringLiteral("KP%1_") : QStringLiteral("PP%1_"))
                        .arg(i);
                made[static_cast<std::size_t>(each)][static_cast<std::size_t>(i)] = {
                    prefix + QStringLiteral("NUMBER"), prefix + QStringLiteral("TEXT"),
                    prefix + QStringLiteral("OGRANICHENIE"), prefix + QStringLiteral("IME")};
            }
        }
        return made;
    }();
    return table[static_cast<std::size_t>(kind)][static_cast<std::size_t>(n)];
}

bool greaterThanZero(const QVariant& number) {
    return !number.isNull() && number.toDouble() > 0;
}

bool notNegative(const QVariant& number) {
    return !number.isNull() && number.toDouble() >= 0;
}

} // namespace

// The limit that parameter `kind` n carries in `descriptors` (its limit code and caption), bound
// to the field of `values` it reads.
struct LimitRule {
    LimitRule(const data::Dataset& values, const data::Dataset& descriptors, Parameter kind, int n)
        : descriptors_(descriptors), columns_(parameterColumns(kind, n)) {
        switch (descriptors.fieldByName(columns_.limit).asInteger()) {
        case GreaterThanZero:
            bind(values, columns_.number, kGreaterThanZero, &greaterThanZero);
            break;
        case NotNegative:
            bind(values, columns_.number, kNotNegative, &notNegative);
            break;
        case FilledIn:
            bind(values, columns_.text, kFilledIn,
                 [](const QVariant& text) { return !isBlank(text); });
            break;
        default:
            break;
        }
    }

    // Adds to `breaches` the limit when the current value breaks it.
    void check(std::vector<RuleBreach>& breaches) const {
        if (value_ != nullptr && !holds_(value_->value()))
            breaches.push_back(
                {*column_, descriptors_.fieldByName(columns_.caption).asString(), *suffix_});
    }

private:
    void bind(const data::Dataset& values, const QString& column, const QString& suffix,
              bool (*holds)(const QVariant&)) {
        value_ = &values.fieldByName(column);
        column_ = &column;
        suffix_ = &suffix;
        holds_ = holds;
    }

    const data::Dataset& descriptors_;
    const ParameterColumns& columns_;
    const data::Field* value_ = nullptr; // none: the limit code asks nothing
    const QString* column_ = nullptr;
    const QString* suffix_ = nullptr;
    bool (*holds_)(const QVariant&) = nullptr;
};

namespace {

// The Latin spelling of each Bulgarian letter, lower case first; a blank second letter means
// there is none. The halves differ on purpose: ж gives zh but Ж gives Jh, ц gives c but Ц Ts.
struct Spelling {
    char16_t letter;
    char first;
    char second;
};
constexpr Spelling kSpellings[60] = {
    {u'а', 'a', ' '}, {u'б', 'b', ' '}, {u'в', 'v', ' '}, {u'г', 'g', ' '}, {u'д', 'd', ' '},
    {u'е', 'e', ' '}, {u'ж', 'z', 'h'}, {u'з', 'z', ' '}, {u'и', 'i', ' '}, {u'й', 'j', ' '},
    {u'к', 'k', ' '}, {u'л', 'l', ' '}, {u'м', 'm', ' '}, {u'н', 'n', ' '}, {u'о', 'o', ' '},
    {u'п', 'p', ' '}, {u'р', 'r', ' '}, {u'с', 's', ' '}, {u'т', 't', ' '}, {u'у', 'u', ' '},
    {u'ф', 'f', ' '}, {u'х', 'h', ' '}, {u'ц', 'c', ' '}, {u'ч', 'c', 'h'}, {u'ш', 's', 'h'},
    {u'щ', 's', 't'}, {u'ъ', 'a', ' '}, {u'ь', 'y', ' '}, {u'ю', 'i', 'u'}, {u'я', 'i', 'a'},
    {u'А', 'A', ' '}, {u'Б', 'B', ' '}, {u'В', 'V', ' '}, {u'Г', 'G', ' '}, {u'Д', 'D', ' '},
    {u'Е', 'E', ' '}, {u'Ж', 'J', 'h'}, {u'З', 'Z', ' '}, {u'И', 'I', ' '}, {u'Й', 'J', ' '},
    {u'К', 'K', ' '}, {u'Л', 'L', ' '}, {u'М', 'M', ' '}, {u'Н', 'N', ' '}, {u'О', 'O', ' '},
    {u'П', 'P', ' '}, {u'Р', 'R', ' '}, {u'С', 'S', ' '}, {u'Т', 'T', ' '}, {u'У', 'U', ' '},
    {u'Ф', 'F', ' '}, {u'Х', 'H', ' '}, {u'Ц', 'T', 's'}, {u'Ч', 'C', 'h'}, {u'Ш', 'S', 'h'},
    {u'Щ', 'S', 't'}, {u'Ъ', 'A', ' '}, {u'Ь', 'Y', ' '}, {u'Ю', 'I', 'u'}, {u'Я', 'I', 'a'},
};

} // namespace

TdmMain::TdmMain(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("dmMain"));
}

QString RuleBreach::message() const {
    return QLatin1Char('"') + caption + QLatin1Char('"') + suffix;
}

std::vector<RuleBreach> TdmMain::konkBreaches(const data::Dataset& qry) {
    std::vector<RuleBreach> breaches;
    const QString company = QStringLiteral("IME_NA_FIRMATA");
    if (isBlank(qry.fieldByName(company).value()))
        breaches.push_back({company, QStringLiteral("Наименование на фирмата"), kFilledIn});
    for (int n = 1; n <= 4; ++n)
        LimitRule(qry, qry, Parameter::Tender, n).check(breaches);
    return breaches;
}

std::vector<RuleBreach> TdmMain::posBreaches(const data::Dataset& qry,
                                             const data::Dataset& qryKonk) {
    return PositionRules(qry, qryKonk).breaches();
}

PositionRules::PositionRules(const data::Dataset& qry, const data::Dataset& qryKonk)
    : qryKonk_(qryKonk), price_(qry.fieldByName(kPrice)) {
    for (int n = 2; n <= 6; ++n)
        limits_.emplace_back(qry, qryKonk, Parameter::Position, n);
}

PositionRules::~PositionRules() = default;

std::vector<RuleBreach> PositionRules::breaches() const {
    std::vector<RuleBreach> breaches;
    if (!greaterThanZero(price_.value()))
        breaches.push_back(
            {kPrice, qryKonk_.fieldByName(QStringLiteral("PP1_IME")).asString(), kGreaterThanZero});
    for (const LimitRule& limit : limits_)
        limit.check(breaches);
    return breaches;
}

QString TdmMain::IsKonkOK(const data::Dataset& qry) {
    return resultText(konkBreaches(qry));
}

QString TdmMain::IsPosOk(const data::Dataset& qry, const data::Dataset& qryKonk) {
    return resultText(posBreaches(qry, qryKonk));
}

QString TdmMain::StrBGToEn(const QString& S) {
    QString result;
    result.reserve(S.size());
    for (const QChar c : S) {
        bool spelt = false;
        for (const Spelling& spelling : kSpellings) {
            if (c.unicode() != spelling.letter)
                continue;
            spelt = true;
            result += QLatin1Char(spelling.first);
            if (spelling.second != ' ')
                result += QLatin1Char(spelling.second);
        }
        if (!spelt)
            result += c;
    }
    return result;
}

QString trimControls(const QString& text) {
    const auto isTrimmed = [](QChar c) { return c.unicode() <= 32; };
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && isTrimmed(text[first]))
        ++first;
    while (end > first && isTrimmed(text[end - 1]))
        --end;
    return text.mid(first, end - first);
}
