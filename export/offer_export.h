// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QLocale>
#include <QString>
#include <QStringEncoder>
#include <QStringList>

#include <functional>
#include <memory>

class Dialogs;
class QFile;
class IXMLPREDL;
namespace data {
class Dataset;
}

// Offer type codes, as the offer type dialog answers and the tender record stores them in
// PPn_OFERTA.
enum OfferType : int { TechnicalOffer = 1, PriceOffer = 2, NoOfferType = -1 };

// What an export reads: the tender record, the lots standing on the lot to offer, and that
// lot's positions. The main window hands in its own datasets; brx-offer opens its own.
struct OfferSources {
    data::Dataset& qrySpecs;
    data::Dataset& qryObosobeniPozicii;
    data::Dataset& qryData;
    // Whether the current position of qryData goes into the offer.
    std::function<bool()> PoziciaIsFill;
};

// The checks an offer of the current lot passes before it is written or printed: the tender and
// company data in qrySpecs (edits not yet stored included), then a price greater than 0 on every
// position of the lot on which qryObosobeniPozicii stands. Throws data::Error with the text of
// the first that fails.
void checkOffer(const data::Dataset& qrySpecs, const data::Dataset& qryObosobeniPozicii);

// What an offer is made into: the offer file, or the printed offer.
enum class OfferOutput { File, Print };

// Throws data::Error, naming the value and its position and saying that `output` was not made,
// when a value that an offer of either type carries (the tender record's, and those of
// every position PoziciaIsFill accepts) is one typing could never have stored: a text the file
// cannot carry, a number it cannot write as it is, a position its check refuses. The printed
// offer shows the same values as the file, so the print refuses them too.
void refuseUntypableValues(const OfferSources& sources, const QString& separator,
                           OfferOutput output);

// The export of the current lot's offer to an XML file. Every question goes through `dialogs`:
// the client answers with its windows, brx-offer from its arguments, tests from a script.
class OfferExport {
public:
    explicit OfferExport(Dialogs& dialogs, QLocale regional = QLocale::system());

    // Checks the tender record and the lot, asks for the offer type, builds its document,
    // proposes a file name, asks for the path and writes the file. A failed check, a position
    // whose unsaved changes fail their check, and a value that typing could never have stored
    // (in an offer of either type: a text the file cannot carry, a number it cannot write as it
    // is, a position its check refuses) throw data::Error before anything is asked or written.
    // Returns the path written; empty when the bidder cancelled or writing failed (which has been
    // reported as "Error Saving File").
    QString ExportXML(const OfferSources& sources);

    // Writes `content` to `FileName`: the UTF-8 byte order mark, then every line of `content`
    // (split at CR LF, lone CR and lone LF) in UTF-8, each ended by CR LF. The file is replaced
    // only once the new one is completely on disk (data::writeOutputFile): on any failure "Error
    // Saving File" is shown with the path and the reason on a second line, an earlier file of
    // that name is left as it was and false is returned. A signature beside the file, which
    // the new content no longer matches, is moved aside and the bidder warned to sign again.
    bool SaveFile(const QString& FileName, const QString& content);

    // The offer document of the lot: the tender block from qrySpecs and one POZICII for every
    // position of qryData that PoziciaIsFill accepts, walked from the first to the last.
    std::shared_ptr<IXMLPREDL> buildDocument(const OfferSources& sources, int offerType) const;

    // "CenovaOferta_" + name + "_OP_" + lot + ".xml" for a price offer, "TehnDoc" + name + "_OP_"
    // + lot + ".xml" for a technical one (lotFileName).
    static QString proposedFileName(int offerType, const QString& companyName,
                                    const QString& lotCode);

private:
    // SaveFile's writing and its failures, with `write` putting the bytes into the new file.
    bool save(const QString& FileName, const std::function<bool(QFile&)>& write);

    Dialogs& dialogs_;
    QLocale regional_;
};

// `prefix` + the company name spelt in Latin letters + "_OP_" + the lot code + `suffix`: the name
// proposed for the files made for one lot. A path separator in the name or the lot code becomes
// "_", so that the name stays one file name.
QString lotFileName(const QString& prefix, const QString& companyName, const QString& lotCode,
                    const QString& suffix);

// Why the export refuses the lot the lots dataset `lots` stands on, before it asks anything: not
// every position of it has a price greater than 0. Empty when the lot passes.
QString lotRefusal(const data::Dataset& lots);

// The text columns of every position that an offer of `offerType` carries, by the tender record
// `specs`: the position's code and each text offer parameter the offer includes.
QStringList positionTextColumns(const data::Dataset& specs, int offerType);
// The same for an offer of either type, each column once.
QStringList positionTextColumns(const data::Dataset& specs);

// The number columns of every position that an offer of either type carries, by the tender
// record `specs`: the price, which every offer and print of the lot stands on, and each number
// offer parameter an offer includes.
QStringList positionNumberColumns(const data::Dataset& specs);

// The fields of a lot's positions that an export reads, whatever offer parameters the tender
// includes (the price among them, by which a position goes into the offer): a reader that only
// exports may open the positions with these alone.
QStringList exportedPositionFields();

// The texts of the tender record that every offer carries: the company name and the tender
// parameters' texts, which the bidder types, and the tender's name.
QStringList tenderTextColumns();

// The numbers of the tender record that every offer carries: the tender parameters' numbers.
QStringList tenderNumberColumns();

// Whether `column` holds a text of the tender's own, which the bidder cannot edit: the tender's
// name and the positions' codes. The offer file carries such a text with every character XML
// cannot carry replaced by a space (withUnwritableAsSpaces); a text the bidder typed that holds
// one is refused, so that the bidder corrects it.
bool isTendersOwnText(const QString& column);

// The bytes of an offer file holding `content`, as SaveFile writes them.
QByteArray offerFileBytes(const QString& content);

// The bytes of an offer file made from its content handed in pieces: the UTF-8 byte order mark,
// then every line in UTF-8 ended by CR LF, whichever of CR LF, a lone CR or a lone LF ended it, a
// CR LF split between two pieces included. No piece may end inside a pair of surrogates.
class OfferFileEncoder {
public:
    // The bytes of `piece` written to `out`, which has room(piece.size()) bytes; returns their
    // end.
    char* add(char* out, QStringView piece);
    // Ends the last line when it has no line end; `out` needs room(0) bytes.
    char* finish(char* out);
    // The most bytes add and then finish write for `characters` characters.
    static qsizetype room(qsizetype characters);

private:
    QStringEncoder utf8_{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    bool started_ = false;
    bool afterCr_ = false;  // the last character added was a CR
    bool lineOpen_ = false; // characters were added since the last line end
};
