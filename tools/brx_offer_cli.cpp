// SPDX-License-Identifier: Apache-2.0
#include "tools/brx_offer_cli.h"

#include "data/tender_datasets.h"
#include "offer/dataset_rules.h"
#include "tools/brx_offer_usage.h"

#include <QCoreApplication>

#include <exception>

namespace brxoffer {

void print(std::FILE* stream, const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!lines.endsWith(QLatin1Char('\n')))
        lines += QLatin1Char('\n');
    std::fputs(lines.toUtf8().constData(), stream);
}

LotArguments parseLotArguments(const QStringList& args, bool offerTypeNeeded) {
    LotArguments result;
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const auto value = [&]() -> QString {
            if (i + 1 >= args.size())
                throw UsageError{arg + QStringLiteral(" иска стойност")};
            return args[++i];
        };
        if (arg == QLatin1String("--type") && offerTypeNeeded) {
            const QString type = value();
            if (type == QLatin1String("price"))
                result.offerType = PriceOffer;
            else if (type == QLatin1String("technical"))
                result.offerType = TechnicalOffer;
            else
                throw UsageError{QStringLiteral("непознат тип оферта: ") + type};
        } else if (arg == QLatin1String("-o")) {
            result.output = value();
            if (result.output.isEmpty())
                throw UsageError{QStringLiteral("-o иска непразен път")};
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            throw UsageError{QStringLiteral("непозната опция: ") + arg};
        } else {
            positional << arg;
        }
    }
    if (positional.size() != 2)
        throw UsageError{QStringLiteral("очакват се FILE.mdb и LOT_CODE")};
    if (offerTypeNeeded && result.offerType == NoOfferType)
        throw UsageError{QStringLiteral("липсва --type price|technical")};
    result.file = positional[0];
    result.lotCode = positional[1];
    return result;
}

DryRunArguments parseDryRunArguments(const QStringList& args, const QString& expected) {
    DryRunArguments result;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--dry-run"))
            result.dryRun = true;
        else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1)
            throw UsageError{QStringLiteral("непозната опция: ") + arg};
        else
            result.files << arg;
    }
    if (result.files.size() != 2)
        throw UsageError{QStringLiteral("очакват се ") + expected};
    return result;
}

TenderLot::TenderLot(const QString& file, const QString& lotCode, const QStringList& positionFields)
    : qrySpecs(data::makeQrySpecs(connection_)),
      qryObosobeniPozicii(data::makeQryObosobeniPozicii(connection_)),
      qryData(data::makeQryData(connection_, positionFields)) {
    connection_.openReadOnly(file);
    // The positions show their numbers with the tender's decimals, as on screen.
    offer::installDatasetRules(*qrySpecs, *qryObosobeniPozicii, *qryData);
    qrySpecs->open();
    qryObosobeniPozicii->open();
    if (!locateLot(lotCode))
        throw data::Error(QStringLiteral("Няма обособена позиция с номер %1.").arg(lotCode));
    // The lots page lists no positions of a lot the bidder does not take part in.
    if (qryObosobeniPozicii->fieldByName(QStringLiteral("PP2_TEXT")).isNull())
        throw data::Error(
            QStringLiteral("Не участвате в обособена позиция №%1: няма оферта за нея.")
                .arg(lotCode));
    qryData->setParameter(QStringLiteral("MASTER_CODE"),
                          qryObosobeniPozicii->fieldByName(QStringLiteral("PRODUCT_CODE")).value());
    qryData->open();
}

OfferSources TenderLot::sources() {
    return {*qrySpecs, *qryObosobeniPozicii, *qryData,
            [this] { return offer::PoziciaIsFill(*qryData); }};
}

bool TenderLot::locateLot(const QString& lotCode) {
    data::Dataset& lots = *qryObosobeniPozicii;
    for (lots.first(); !lots.eof(); lots.next()) {
        const data::Field& code = lots.fieldByName(QStringLiteral("CUSTOM_CODE"));
        if (!code.isNull() && code.asString() == lotCode)
            return true;
    }
    return false;
}

bool ArgumentDialogs::confirm(const QString& text) {
    print(stderr, text);
    return false;
}

void ArgumentDialogs::warning(const QString& text) {
    print(stderr, text);
}

void ArgumentDialogs::error(const QString& text) {
    print(stderr, text);
    failed_ = true;
}

void ArgumentDialogs::showPreview(QDialog&) {
    throw data::Error(QStringLiteral("Преглед на печат не е възможен от командния ред."));
}

// Qt's warnings about the environment it runs in (on a server without a session, XDG_RUNTIME_DIR
// not set) would only blur brx-offer's own messages and break scripts that read standard error;
// its errors still show.
void onlyQtErrors(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        print(stderr, text);
}

int runCommand(const std::map<QString, Command>& commands) {
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    try {
        const auto command = args.isEmpty() ? commands.end() : commands.find(args.first());
        if (command == commands.end())
            throw UsageError{args.isEmpty() ? QStringLiteral("липсва команда")
                                            : QStringLiteral("непозната команда: ") + args[0]};
        return command->second(args.mid(1));
    } catch (const UsageError& usage) {
        print(stderr, QStringLiteral("brx-offer: ") + usage.message + QLatin1Char('\n'));
        std::fputs(kBrxOfferUsage, stderr);
        return 2;
    } catch (const std::exception& failure) {
        print(stderr, QString::fromUtf8(failure.what()));
        return 1;
    }
}

} // namespace brxoffer
