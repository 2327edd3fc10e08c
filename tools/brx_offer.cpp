// brx-offer: the offer of one lot without a window, for bidders who prepare many tenders and
// for scripted checks. Each subcommand runs the same workflow as the client's button, with the
// answers to its questions taken from the arguments.

#include "ui/dialogs.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "export/offer_check.h"
#include "export/offer_export.h"
#include "export/price_list.h"
#include "offer/dataset_rules.h"
#include "offer/import_workflow.h"
#include "print/dReports.h"
#include "print/report_source.h"

#include <QGuiApplication>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {

const char* const kUsage = R"(Употреба: brx-offer КОМАНДА ...

Команди:
  xml FILE.mdb LOT_CODE --type price|technical [-o OUT.xml]
        записва XML файла на офертата за обособената позиция с номер LOT_CODE
        (CUSTOM_CODE) от тръжния файл FILE.mdb, който се отваря само за четене:
        --type price      ценова оферта
        --type technical  техническа оферта
        -o OUT.xml        пътят на файла; без него предложеното от програмата име
                          в текущата папка
        Числата се записват с десетичния знак на регионалните настройки.
  pdf FILE.mdb LOT_CODE --type price|technical -o OUT.pdf
        записва печатната оферта за същата обособена позиция в PDF файла OUT.pdf,
        както я печата бутонът „Печат“: по шаблона rep1.fr3 (ценова оферта) или
        rep2.fr3 (техническа оферта) от папката на програмата, със същите проверки
        като xml; тръжният файл се отваря само за четене.
  template FILE.mdb LOT_CODE [-o OUT.xlsx|OUT.csv]
        записва ценовата таблица на обособената позиция LOT_CODE за попълване в
        програма за таблици: по един ред за позиция с номер, наименование, мярка,
        количество и записаните досега предлагани стойности. Файл .csv е CSV
        (UTF-8, ';' между полетата, десетичният знак на регионалните настройки),
        всеки друг е XLSX. Без -o предложеното от програмата име в текущата папка.
  check FILE.mdb
        проверява цялата оферта в FILE.mdb, който се отваря само за четене: данните
        за фирмата и всяка позиция на обособените позиции с участие; извежда всеки
        проблем на отделен ред: обособена позиция, позиция, поле и съобщение,
        разделени с табулация; изход 1, когато има проблеми, 0, когато няма
  import FILE.mdb IN.xlsx|IN.csv [--dry-run]
        внася цените и стойностите на офертата от попълнена ценова листа
        (по номер на обособена позиция и номер на позиция) в обособените
        позиции с участие; извежда прегледа: съвпаднали редове, отказаните с
        причината, непокритите позиции; после записва приетите позиции с
        проверката на въвеждането и извежда какво е записано:
        --dry-run  само прегледът; FILE.mdb се отваря само за четене
        Изход 0, когато всеки ред на таблицата е записан (с --dry-run: би
        бил записан); 1, когато ред е отказан, позиция не е записана или
        файлът не може да се прочете.
  --help                показва този текст
  --version             показва версията

Изход: 0 при успех, 1 при грешка (съобщението е на стандартния изход за грешки),
2 при грешна употреба.
)";

void print(std::FILE* stream, const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!lines.endsWith(QLatin1Char('\n')))
        lines += QLatin1Char('\n');
    std::fputs(lines.toUtf8().constData(), stream);
}

struct UsageError {
    QString message;
};

// What the command line says, for the commands that work on one lot of one tender file.
struct LotArguments {
    QString file;
    QString lotCode;
    int offerType = NoOfferType;
    QString output; // empty: the proposed name in the current folder
};

// `offerTypeNeeded`: the command writes an offer and needs --type; the others refuse it.
LotArguments parseLotArguments(const QStringList& args, bool offerTypeNeeded = true) {
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

// The tender file opened read-only, with the datasets of the main window standing on the lot
// whose code the bidder gave, as the lots page would after the bidder chose it.
class TenderLot {
public:
    TenderLot(const QString& file, const QString& lotCode) {
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
        qryData->setParameter(
            QStringLiteral("MASTER_CODE"),
            qryObosobeniPozicii->fieldByName(QStringLiteral("PRODUCT_CODE")).value());
        qryData->open();
    }

    OfferSources sources() {
        return {*qrySpecs, *qryObosobeniPozicii, *qryData,
                [this] { return offer::PoziciaIsFill(*qryData); }};
    }
    data::Connection& connection() { return connection_; }
    data::Dataset& positions() { return *qryData; }

private:
    bool locateLot(const QString& lotCode) {
        data::Dataset& lots = *qryObosobeniPozicii;
        for (lots.first(); !lots.eof(); lots.next()) {
            const data::Field& code = lots.fieldByName(QStringLiteral("CUSTOM_CODE"));
            if (!code.isNull() && code.asString() == lotCode)
                return true;
        }
        return false;
    }

    data::Connection connection_;
    std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection_);
    std::unique_ptr<data::Dataset> qryObosobeniPozicii = data::makeQryObosobeniPozicii(connection_);
    std::unique_ptr<data::Dataset> qryData = data::makeQryData(connection_);
    // The main window's report datasets, which the printed offers' templates name too.
    DatasetReportSource dsReportSpecs{QStringLiteral("dsReportSpecs"), *qrySpecs};
    DatasetReportSource dsReportData{QStringLiteral("dsReportData"), *qryData};
    DatasetReportSource dsReportOP{QStringLiteral("dsReportOP"), *qryObosobeniPozicii};
};

// The workflow's questions answered from the command line: the offer type and the path come
// from the arguments, messages go to standard error, and nothing is confirmed.
class ArgumentDialogs : public Dialogs {
public:
    ArgumentDialogs(int offerType, QString output, bool storeImport = false)
        : offerType_(offerType), output_(std::move(output)), storeImport_(storeImport) {}

    bool failed() const { return failed_; }

    bool confirm(const QString& text) override {
        print(stderr, text);
        return false;
    }
    // The import's question; the answer is whether --dry-run was left out.
    bool confirmWithDetails(const QString&, const QString&) override { return storeImport_; }
    void warning(const QString& text) override { print(stderr, text); }
    void error(const QString& text) override {
        print(stderr, text);
        failed_ = true;
    }
    int chooseOfferType(const QString&) override { return offerType_; }
    QString saveFileName(const QString& proposedPath, const QString&) override {
        return output_.isEmpty() ? proposedPath : output_;
    }
    QString openFileName(const QString&, const QString&) override { return QString(); }
    void showPreview(QDialog&) override {
        throw data::Error(QStringLiteral("Преглед на печат не е възможен от командния ред."));
    }

private:
    int offerType_;
    QString output_;
    bool storeImport_;
    bool failed_ = false;
};

int xmlCommand(const QStringList& args) {
    const LotArguments arguments = parseLotArguments(args);
    TenderLot lot(arguments.file, arguments.lotCode);
    ArgumentDialogs dialogs(arguments.offerType, arguments.output);
    const QString written = OfferExport(dialogs).ExportXML(lot.sources());
    if (written.isEmpty() || dialogs.failed())
        return 1;
    print(stdout, written);
    return 0;
}

int pdfCommand(const QStringList& args) {
    const LotArguments arguments = parseLotArguments(args);
    if (arguments.output.isEmpty())
        throw UsageError{QStringLiteral("липсва -o OUT.pdf")};
    TenderLot lot(arguments.file, arguments.lotCode);
    ArgumentDialogs dialogs(arguments.offerType, arguments.output);
    TdmReports reports(lot.connection(), lot.positions(), dialogs);
    reports.DataModuleCreate();
    const OfferSources sources = lot.sources();
    checkOffer(sources.qrySpecs, sources.qryObosobeniPozicii);
    bool written = false;
    reports.setOutput([&](const report::Report& offer) {
        offer.exportPdf(arguments.output);
        written = true;
    });
    reports.PrintObshtestvenaPorachka();
    if (!written || dialogs.failed())
        return 1;
    print(stdout, arguments.output);
    return 0;
}

// brx-offer tells its user everything in messages of its own. Qt's warnings about the
// environment it runs in (on a server without a session, XDG_RUNTIME_DIR not set) would only
// blur them and break scripts that read standard error; its errors still show.
void onlyQtErrors(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        print(stderr, text);
}

int templateCommand(const QStringList& args) {
    const LotArguments arguments = parseLotArguments(args, false);
    TenderLot lot(arguments.file, arguments.lotCode);
    ArgumentDialogs dialogs(NoOfferType, arguments.output);
    const OfferSources sources = lot.sources();
    const QString written = pricelist::saveTemplate(dialogs, sources.qrySpecs,
                                                    sources.qryObosobeniPozicii, sources.qryData);
    if (written.isEmpty() || dialogs.failed())
        return 1;
    print(stdout, written);
    return 0;
}

int checkCommand(const QStringList& args) {
    if (args.size() != 1 || args[0].startsWith(QLatin1Char('-')))
        throw UsageError{QStringLiteral("очаква се само FILE.mdb")};
    data::Connection connection;
    connection.openReadOnly(args[0]);
    const std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection);
    qrySpecs->open();
    const std::vector<offercheck::Problem> problems =
        offercheck::offerProblems(*qrySpecs, connection, &offer::PoziciaIsFill);
    for (const offercheck::Problem& problem : problems)
        print(stdout,
              QStringList{problem.lotCode, problem.positionCode, problem.field(), problem.message}
                  .join(QLatin1Char('\t')));
    if (problems.empty())
        print(stderr, QStringLiteral("Няма открити проблеми."));
    return problems.empty() ? 0 : 1;
}

int importCommand(const QStringList& args) {
    bool dryRun = false;
    QStringList positional;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--dry-run"))
            dryRun = true;
        else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1)
            throw UsageError{QStringLiteral("непозната опция: ") + arg};
        else
            positional << arg;
    }
    if (positional.size() != 2)
        throw UsageError{QStringLiteral("очакват се FILE.mdb и IN.xlsx|IN.csv")};
    data::Connection connection;
    if (dryRun)
        connection.openReadOnly(positional[0]);
    else
        connection.open(positional[0]);
    std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection);
    qrySpecs->open();
    ArgumentDialogs dialogs(NoOfferType, QString(), !dryRun);
    const PriceImportWorkflow::Report report =
        PriceImportWorkflow(dialogs, connection, *qrySpecs).run(positional[1]);
    if (report.read)
        print(stdout, report.preview.text());
    if (report.stored)
        print(stdout, QStringLiteral("\n") + report.outcome.text());
    const bool everything =
        report.read && report.preview.refused.empty() && report.outcome.complete();
    return everything ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(onlyQtErrors);
    // The printed offer is laid out and painted with the fonts of a GUI application; without a
    // platform chosen, the offscreen one serves, so that no display is needed. The other
    // commands spare its start and end: reading the font configuration alone costs an export of
    // 10,000 positions a tenth of its time.
    std::unique_ptr<QCoreApplication> application;
    if (argc > 1 && std::strcmp(argv[1], "pdf") == 0) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args == QStringList{QStringLiteral("--version")}) {
        std::fputs("brx-offer " BRX_VERSION "\n", stdout);
        return 0;
    }
    const std::map<QString, std::function<int(const QStringList&)>> commands = {
        {QStringLiteral("xml"), xmlCommand},           {QStringLiteral("pdf"), pdfCommand},
        {QStringLiteral("template"), templateCommand}, {QStringLiteral("check"), checkCommand},
        {QStringLiteral("import"), importCommand},
    };
    try {
        const auto command = args.isEmpty() ? commands.end() : commands.find(args.first());
        if (command == commands.end())
            throw UsageError{args.isEmpty() ? QStringLiteral("липсва команда")
                                            : QStringLiteral("непозната команда: ") + args[0]};
        return command->second(args.mid(1));
    } catch (const UsageError& usage) {
        print(stderr, QStringLiteral("brx-offer: ") + usage.message + QLatin1Char('\n'));
        std::fputs(kUsage, stderr);
        return 2;
    } catch (const std::exception& failure) {
        print(stderr, QString::fromUtf8(failure.what()));
        return 1;
    }
}
