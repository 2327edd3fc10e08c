// SPDX-License-Identifier: Apache-2.0
#include "export/offer_export.h"

#include "data/dataset.h"
#include "data/output_file.h"
#include "export/BRX_XSD.h"
#include "export/dMain.h"
#include "export/plain_blocks.h"
#include "ui/dialogs.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <utility>

namespace {

const QString kLotNotOffered =
    QStringLiteral("Не сте оферирали всички продукти за текущата обособена позиция!");
const QString kErrorSavingFile = QStringLiteral("Error Saving File");

const QString kNotWritten = QStringLiteral(" Файлът на офертата не е записан.");

// Runs `write`, prefixing the message of a refused value with what `where` names and ending it
// with `outcome`, what was not done, so that the bidder knows which value to correct.
template <typename Where, typename Write>
void naming(Where where, Write write, const QString& outcome = kNotWritten) {
    try {
        write();
    } catch (const UnwritableValue& refused) {
        throw data::Error(where() + QString::fromUtf8(refused.what()) + outcome);
    }
}

// How a refusal names the position whose code is `customCode`.
QString positionName(const data::Field& customCode) {
    return QStringLiteral("Позиция №%1: ").arg(customCode.asString());
}

// A text as the offer file carries it.
QString carried(const data::Field& field) {
    const QString text = field.asString();
    return isTendersOwnText(field.name()) ? withUnwritableAsSpaces(text) : text;
}

void writeTenderBlock(IXMLPREDL& predl, const data::Dataset& specs, int offerType) {
    const auto text = [&specs](const QString& name) { return carried(specs.fieldByName(name)); };
    const auto number = [&specs](const QString& name) { return specs.fieldByName(name).asFloat(); };
    predl.Set_IME_NA_FIRMATA(text(QStringLiteral("IME_NA_FIRMATA")));
    const std::shared_ptr<IXMLKONKURS> konkurs = predl.Get_KONKURS();
    konkurs->Set_KONKURS(specs.fieldByName(QStringLiteral("KONKURS")).asInteger());
    konkurs->Set_IME_NA_KONKURSA(text(QStringLiteral("IME_NA_KONKURSA")));
    konkurs->Set_NO_DDS(specs.fieldByName(QStringLiteral("NO_DDS")).asBoolean() ? 1 : 0);
    konkurs->Set_KP1_TEXT(text(QStringLiteral("KP1_TEXT")));
    konkurs->Set_KP1_NUMBER(number(QStringLiteral("KP1_NUMBER")));
    konkurs->Set_KP2_TEXT(text(QStringLiteral("KP2_TEXT")));
    konkurs->Set_KP2_NUMBER(number(QStringLiteral("KP2_NUMBER")));
    konkurs->Set_KP3_TEXT(text(QStringLiteral("KP3_TEXT")));
    konkurs->Set_KP3_NUMBER(number(QStringLiteral("KP3_NUMBER")));
    konkurs->Set_KP4_TEXT(text(QStringLiteral("KP4_TEXT")));
    konkurs->Set_KP4_NUMBER(number(QStringLiteral("KP4_NUMBER")));
    konkurs->Set_TIP_EXPORT(offerType);
}

// Which offer parameters go into every POZICII of an offer of one type, read once from the
// tender record.
struct Inclusion {
    bool price = false;                // PP1_NUMBER, when the position has a price
    std::array<int, 7> parameterTip{}; // PPn_TIP for n = 2 ... 6 when included, else 0
};

Inclusion inclusion(const data::Dataset& specs, int offerType) {
    Inclusion result;
    result.price = specs.fieldByName(QStringLiteral("PP1_OFERTA")).asInteger() == offerType;
    for (int n = 2; n <= 6; ++n) {
        const qint64 tip = specs.fieldByName(QStringLiteral("PP%1_TIP").arg(n)).asInteger();
        const qint64 oferta = specs.fieldByName(QStringLiteral("PP%1_OFERTA").arg(n)).asInteger();
        if (tip != 1 && oferta == offerType)
            result.parameterTip[static_cast<std::size_t>(n)] = tip == 3 ? 3 : 2;
    }
    return result;
}

QString parameterNumber(int n) {
    return QStringLiteral("PP%1_NUMBER").arg(n);
}
QString parameterText(int n) {
    return QStringLiteral("PP%1_TEXT").arg(n);
}

// The fields of a position that go into its POZICII, looked up once for the whole lot: the
// fields stay, the record under them moves.
struct PositionFields {
    PositionFields(const data::Dataset& position, const Inclusion& inclusion)
        : productCode(position.fieldByName(QStringLiteral("PRODUCT_CODE"))),
          customCode(position.fieldByName(QStringLiteral("CUSTOM_CODE"))),
          price(position.fieldByName(QStringLiteral("PP1_NUMBER"))), included(inclusion) {
        for (int n = 2; n <= 6; ++n) {
            const int tip = included.parameterTip[static_cast<std::size_t>(n)];
            if (tip != 0)
                parameters[static_cast<std::size_t>(n)] =
                    &position.fieldByName(tip == 3 ? parameterNumber(n) : parameterText(n));
        }
    }
    const data::Field& productCode;
    const data::Field& customCode;
    const data::Field& price;
    const Inclusion& included;
    std::array<const data::Field*, 7> parameters{}; // n = 2 ... 6, when included
};

void writePosition(IXMLPOZICII& pozicia, const PositionFields& position) {
    pozicia.Set_PRODUCT_CODE(position.productCode.asInteger());
    pozicia.Set_CUSTOM_CODE(carried(position.customCode));
    if (position.included.price && !position.price.isNull())
        pozicia.Set_PP1_NUMBER(position.price.asFloat());
    for (int n = 2; n <= 6; ++n) {
        const data::Field* parameter = position.parameters[static_cast<std::size_t>(n)];
        if (parameter == nullptr)
            continue;
        if (position.included.parameterTip[static_cast<std::size_t>(n)] == 3)
            pozicia.Set_PP_NUMBER(n, parameter->asFloat());
        else
            pozicia.Set_PP_TEXT(n, parameter->asString());
    }
}

bool sameCount(const data::Dataset& lots, const char* a, const char* b) {
    return lots.fieldByName(QLatin1String(a)).asInteger() ==
           lots.fieldByName(QLatin1String(b)).asInteger();
}

// Throws UnwritableValue for the first of `fields` whose value the offer file cannot carry: a
// text with a character XML cannot hold, a number no bidder can type.
void refuseUnwritable(const std::vector<const data::Field*>& fields, const QString& separator) {
    for (const data::Field* field : fields) {
        if (field->isNull())
            continue;
        if (field->type() != data::FieldType::Double) {
            const QString text = field->asString();
            if (const auto bad = firstUnwritableCharacter(text))
                throw UnwritableText(field->name(), text, *bad);
        } else if (const QString refusal = numberRefusal(field->asFloat(), separator);
                   !refusal.isEmpty()) {
            throw UnwritableNumber(field->name(), refusal);
        }
    }
}

// The fields of `record` named by `columns`, without the texts of the tender's own, which go out
// with a space for each character the file cannot carry.
std::vector<const data::Field*> typedFields(const data::Dataset& record, QStringList columns) {
    columns.removeIf(isTendersOwnText);
    std::vector<const data::Field*> fields;
    for (const QString& column : columns)
        fields.push_back(&record.fieldByName(column));
    return fields;
}

} // namespace

void refuseUntypableValues(const OfferSources& sources, const QString& separator,
                           OfferOutput output) {
    const QString outcome =
        output == OfferOutput::File ? kNotWritten : QStringLiteral(" Офертата не е отпечатана.");
    const data::Dataset& specs = sources.qrySpecs;
    naming([] { return QString(); },
           [&] {
               refuseUnwritable(typedFields(specs, tenderTextColumns() + tenderNumberColumns()),
                                separator);
           },
           outcome);

    data::Dataset& positions = sources.qryData;
    const std::vector<const data::Field*> values =
        typedFields(positions, positionTextColumns(specs) + positionNumberColumns(specs));
    const data::Field& code = positions.fieldByName(QStringLiteral("CUSTOM_CODE"));
    const PositionRules rules(positions, specs);
    // Moving stores a position being edited, through its check; a refusal ends the export.
    for (positions.first(); !positions.eof(); positions.next()) {
        if (!sources.PoziciaIsFill())
            continue;
        naming([&] { return positionName(code); }, [&] { refuseUnwritable(values, separator); },
               outcome);
        const std::vector<RuleBreach> breaches = rules.breaches();
        if (!breaches.empty()) {
            QStringList messages;
            for (const RuleBreach& breach : breaches)
                messages << breach.message();
            throw data::Error(positionName(code) + messages.join(QLatin1Char(' ')) + outcome);
        }
    }
}

void checkOffer(const data::Dataset& qrySpecs, const data::Dataset& qryObosobeniPozicii) {
    const QString tenderProblems = TdmMain::IsKonkOK(qrySpecs);
    if (!tenderProblems.isEmpty())
        throw data::Error(tenderProblems);
    if (const QString refusal = lotRefusal(qryObosobeniPozicii); !refusal.isEmpty())
        throw data::Error(refusal);
}

OfferExport::OfferExport(Dialogs& dialogs, QLocale regional)
    : dialogs_(dialogs), regional_(std::move(regional)) {}

QString OfferExport::ExportXML(const OfferSources& sources) {
    checkOffer(sources.qrySpecs, sources.qryObosobeniPozicii);
    // Whatever would refuse the offer does so before the bidder is asked anything, and only the
    // chosen document is built.
    refuseUntypableValues(sources, regional_.decimalPoint(), OfferOutput::File);

    const int offerType = dialogs_.chooseOfferType(QStringLiteral("Избор на тип оферта"));
    if (offerType != TechnicalOffer && offerType != PriceOffer)
        return {};
    std::shared_ptr<IXMLPREDL> document = buildDocument(sources, offerType);

    const QString proposed = proposedFileName(
        offerType, sources.qrySpecs.fieldByName(QStringLiteral("IME_NA_FIRMATA")).asString(),
        sources.qryObosobeniPozicii.fieldByName(QStringLiteral("CUSTOM_CODE")).asString());
    const QString path = dialogs_.saveFileName(proposed, QStringLiteral("XML файлове (*.xml)"));
    if (path.isEmpty())
        return {};
    // The markup goes to the file piece by piece, so that neither it nor its bytes are ever held
    // whole: an offer of 10,000 positions is megabytes of each.
    return save(path,
                [&](QFile& file) {
                    OfferFileEncoder encoder;
                    QByteArray bytes;
                    bool written = true;
                    const auto writeBytes = [&](QStringView piece, bool last) {
                        bytes.resize(OfferFileEncoder::room(piece.size()));
                        char* out = encoder.add(bytes.data(), piece);
                        if (last)
                            out = encoder.finish(out);
                        const qint64 size = out - bytes.constData();
                        written = written && file.write(bytes.constData(), size) == size;
                    };
                    document->WriteXML([&](QStringView piece) { writeBytes(piece, false); });
                    writeBytes({}, true);
                    return written;
                })
               ? path
               : QString();
}

std::shared_ptr<IXMLPREDL> OfferExport::buildDocument(const OfferSources& sources,
                                                      int offerType) const {
    const std::shared_ptr<IXMLPREDL> document = NewPREDL(regional_);
    naming([] { return QString(); },
           [&] { writeTenderBlock(*document, sources.qrySpecs, offerType); });

    const Inclusion included = inclusion(sources.qrySpecs, offerType);
    data::Dataset& positions = sources.qryData;
    const PositionFields fields(positions, included);
    const std::shared_ptr<IXMLPOZICIIList> list = document->Get_POZICII();
    // Moving stores a position being edited, through its check; a refusal ends the export.
    for (positions.first(); !positions.eof(); positions.next()) {
        if (!sources.PoziciaIsFill())
            continue;
        naming([&] { return positionName(fields.customCode); },
               [&] {
                   list->AddFilled([&](IXMLPOZICII& pozicia) { writePosition(pozicia, fields); });
               });
    }
    return document;
}

QString OfferExport::proposedFileName(int offerType, const QString& companyName,
                                      const QString& lotCode) {
    return lotFileName(offerType == PriceOffer ? QStringLiteral("CenovaOferta_")
                                               : QStringLiteral("TehnDoc"),
                       companyName, lotCode, QStringLiteral(".xml"));
}

QString lotFileName(const QString& prefix, const QString& companyName, const QString& lotCode,
                    const QString& suffix) {
    const auto oneName = [](QString part) {
        part.replace(QLatin1Char('/'), QLatin1Char('_'));
        part.replace(QLatin1Char('\\'), QLatin1Char('_'));
        return part;
    };
    return prefix + oneName(TdmMain::StrBGToEn(companyName)) + QStringLiteral("_OP_") +
           oneName(lotCode) + suffix;
}

QString lotRefusal(const data::Dataset& lots) {
    return sameCount(lots, "_OBSHT_BROI_POZICII", "_OFERIRANI_POZICII") ? QString()
                                                                        : kLotNotOffered;
}

QStringList positionTextColumns(const data::Dataset& specs, int offerType) {
    const Inclusion included = inclusion(specs, offerType);
    QStringList columns{QStringLiteral("CUSTOM_CODE")};
    for (int n = 2; n <= 6; ++n)
        if (included.parameterTip[static_cast<std::size_t>(n)] == 2)
            columns << parameterText(n);
    return columns;
}

QStringList positionTextColumns(const data::Dataset& specs) {
    QStringList columns = positionTextColumns(specs, TechnicalOffer);
    columns << positionTextColumns(specs, PriceOffer);
    columns.removeDuplicates();
    return columns;
}

QStringList positionNumberColumns(const data::Dataset& specs) {
    QStringList columns{QStringLiteral("PP1_NUMBER")};
    for (const int offerType : {TechnicalOffer, PriceOffer}) {
        const Inclusion included = inclusion(specs, offerType);
        for (int n = 2; n <= 6; ++n)
            if (included.parameterTip[static_cast<std::size_t>(n)] == 3)
                columns << parameterNumber(n);
    }
    columns.removeDuplicates();
    return columns;
}

QStringList exportedPositionFields() {
    QStringList fields{QStringLiteral("PRODUCT_CODE"), QStringLiteral("CUSTOM_CODE"),
                       QStringLiteral("PP1_NUMBER")};
    for (int n = 2; n <= 6; ++n)
        fields << parameterNumber(n) << parameterText(n);
    return fields;
}

QStringList tenderTextColumns() {
    return {QStringLiteral("IME_NA_FIRMATA"), QStringLiteral("IME_NA_KONKURSA"),
            QStringLiteral("KP1_TEXT"),       QStringLiteral("KP2_TEXT"),
            QStringLiteral("KP3_TEXT"),       QStringLiteral("KP4_TEXT")};
}

QStringList tenderNumberColumns() {
    return {QStringLiteral("KP1_NUMBER"), QStringLiteral("KP2_NUMBER"),
            QStringLiteral("KP3_NUMBER"), QStringLiteral("KP4_NUMBER")};
}

bool isTendersOwnText(const QString& column) {
    return column == QLatin1String("IME_NA_KONKURSA") || column == QLatin1String("CUSTOM_CODE");
}

namespace {

// The index of the first CR or LF of `chars` from `from` on; `size` when there is none.
qsizetype nextLineEnd(const char16_t* chars, qsizetype from, qsizetype size) {
    return nextNotPlain(chars, from, size, [](char16_t c) { return (c != u'\r') & (c != u'\n'); });
}

} // namespace

char* OfferFileEncoder::add(char* out, QStringView piece) {
    if (!started_) {
        out = std::copy_n("\xEF\xBB\xBF", 3, out); // the byte order mark
        started_ = true;
    }
    qsizetype lineStart = 0;
    for (qsizetype i = nextLineEnd(piece.utf16(), 0, piece.size()); i < piece.size();
         i = nextLineEnd(piece.utf16(), i + 1, piece.size())) {
        if (i > lineStart) {
            afterCr_ = false;
            lineOpen_ = true;
        }
        const char16_t c = piece[i].unicode();
        out = utf8_.appendToBuffer(out, piece.sliced(lineStart, i - lineStart));
        lineStart = i + 1;
        // The LF of a CR LF, in this piece or across two, ends no second line.
        if (c == u'\n' && afterCr_) {
            afterCr_ = false;
            continue;
        }
        *out++ = '\r';
        *out++ = '\n';
        afterCr_ = c == u'\r';
        lineOpen_ = false;
    }
    if (lineStart < piece.size()) {
        afterCr_ = false;
        lineOpen_ = true;
    }
    return utf8_.appendToBuffer(out, piece.sliced(lineStart));
}

char* OfferFileEncoder::finish(char* out) {
    if (!started_)
        out = add(out, {});
    if (lineOpen_) {
        *out++ = '\r';
        *out++ = '\n';
    }
    lineOpen_ = false;
    return out;
}

qsizetype OfferFileEncoder::room(qsizetype characters) {
    // The byte order mark, at most three bytes a character (a line end becomes two), and the
    // last line's end.
    return 3 + 3 * characters + 2;
}

QByteArray offerFileBytes(const QString& content) {
    // Encoded in one piece into room made once: an offer of 10,000 positions is megabytes, and
    // each copy of it costs.
    OfferFileEncoder encoder;
    QByteArray bytes(OfferFileEncoder::room(content.size()), Qt::Uninitialized);
    const char* const end = encoder.finish(encoder.add(bytes.data(), content));
    bytes.truncate(end - bytes.constData());
    return bytes;
}

bool OfferExport::SaveFile(const QString& FileName, const QString& content) {
    const QByteArray bytes = offerFileBytes(content);
    return save(FileName, [&](QFile& file) { return file.write(bytes) == bytes.size(); });
}

bool OfferExport::save(const QString& FileName, const std::function<bool(QFile&)>& write) {
    try {
        const QString moved = data::writeOutputFile(FileName, write);
        if (!moved.isEmpty())
            dialogs_.warning(data::staleSignatureNotice(FileName, moved));
    } catch (const data::OutputError& error) {
        // The fixed first line is what the bidder knows this failure by; the second says where
        // and why, which the bidder needs to choose another place.
        dialogs_.error(kErrorSavingFile + QLatin1Char('\n') + QString::fromUtf8(error.what()));
        return false;
    }
    return true;
}
