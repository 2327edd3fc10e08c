#pragma once

#include <QObject>
#include <QString>

namespace data {
class Dataset;
}

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

    // `S` with every Bulgarian letter spelt in Latin letters by the program's own table, one or
    // two letters each; every other character is kept as it is. For the names of offer files.
    static QString StrBGToEn(const QString& S);
};

// `text` without its leading and trailing spaces and control characters (codes up to 32).
QString trimControls(const QString& text);
