// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QObject>
#include <QString>

#include <vector>

namespace data {
class Dataset;
class Field;
} // namespace data

// One rule of the offer checks that a record breaks.
struct RuleBreach {
    QString column;  // the column the rule reads, such as "IME_NA_FIRMATA" or "PP3_NUMBER"
    QString caption; // the caption the message names the value by, as the tender stores it
    QString suffix; // what the value has to be, such as " трябва да е попълнено."

    // The caption between straight double quotes, then the suffix; no line end.
    QString message() const;
};

// The module of the offer checks and of the Latin spelling of company names for file names.
class TdmMain : public QObject {
    Q_OBJECT
public:
    explicit TdmMain(QObject* parent = nullptr);

    // The checks of the data that leaves the program. Each collects one message per broken rule
    // instead of stopping at the first, each message ended by CR LF, in the order the rules are
    // applied; an empty text means all is in order. They read the current record of a dataset,
    // the edit buffer when it is being edited, and never move, open or change a dataset. A
    // column the dataset lacks ends the check with data::FieldError.

    // The tender record: the company name and the limits of the tender parameters KP1 ... KP4.
    static QString IsKonkOK(const data::Dataset& qry);
    // One position `qry` against the tender record `qryKonk`: the price, which must be greater
    // than 0 whatever the tender says of it, and the limits of the offer parameters PP2 ... PP6.
    static QString IsPosOk(const data::Dataset& qry, const data::Dataset& qryKonk);

    // The broken rules behind IsKonkOK and IsPosOk, in the same order, for callers that point
    // the bidder at each value rather than show the text.
    static std::vector<RuleBreach> konkBreaches(const data::Dataset& qry);
    static std::vector<RuleBreach> posBreaches(const data::Dataset& qry,
                                               const data::Dataset& qryKonk);

    // `S` with every Bulgarian letter spelt in Latin letters by the program's own table, one or
    // two letters each; every other character is kept as it is. For the names of offer files.
    static QString StrBGToEn(const QString& S);
};

struct LimitRule;

// posBreaches for the positions of `qry` against the tender record `qryKonk`, each column the
// rules read looked up once, by the limit codes of the record as it stands: for a walk over the
// positions of a lot while the tender record stays where it is.
class PositionRules {
public:
    PositionRules(const data::Dataset& qry, const data::Dataset& qryKonk);
    ~PositionRules();
    // The rules the current position breaks.
    std::vector<RuleBreach> breaches() const;

private:
    const data::Dataset& qryKonk_;
    const data::Field& price_;
    std::vector<LimitRule> limits_;
};

// `text` without its leading and trailing spaces and control characters (codes up to 32).
QString trimControls(const QString& text);
