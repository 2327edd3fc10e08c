// SPDX-License-Identifier: Apache-2.0
// brx-offer: the offer of one lot without a window, for bidders who prepare many tenders and
// for scripted checks. Each subcommand runs the same workflow as the client's button, with the
// answers to its questions taken from the arguments.

#include "data/connection.h"
#include "data/dataset.h"
#include "data/output_file.h"
#include "data/tender_datasets.h"
#include "export/offer_check.h"
#include "export/offer_export.h"
#include "export/price_list.h"
#include "offer/carry_workflow.h"
#include "offer/dataset_rules.h"
#include "offer/import_workflow.h"
#include "print/dReports.h"
#include "print/report_source.h"
#include "sign/signing_key.h"
#include "sign/verification.h"
#include "ui/dialogs.h"

#include <QGuiApplication>
#include <QStringList>

#include <termios.h>
#include <unistd.h>

#include <algorithm>
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
        количество, записаните досега предлагани стойности и накрая ключа на
        позицията, който не се променя. Файл .csv е CSV (UTF-8, ';' между
        полетата, десетичният знак на регионалните настройки), всеки друг е XLSX.
        Без -o предложеното от програмата име в текущата папка.
  check FILE.mdb
        проверява цялата оферта в FILE.mdb, който се отваря само за четене: данните
        за фирмата и всяка позиция на обособените позиции с участие, а преди тях
        целостта на самия файл; извежда всеки проблем на отделен ред: обособена
        позиция, позиция, поле и съобщение, разделени с табулация; съобщението на
        предупреждение (цена над максималната на възложителя) започва с
        „Предупреждение: “; изход 1, когато има проблеми, 0, когато няма или има
        само предупреждения
  import FILE.mdb IN.xlsx|IN.csv [--dry-run]
        внася цените и стойностите на офертата от попълнена ценова листа
        (по номер на обособена позиция и ключ или номер на позиция) в
        обособените позиции с участие; от XLSX се чете първият видим лист, а
        числата на CSV се четат с десетичния знак на регионалните настройки;
        извежда прегледа: съвпаднали редове, отказаните с причината,
        непокритите позиции; после записва приетите позиции с проверката на
        въвеждането и извежда какво е записано:
        --dry-run  само прегледът; FILE.mdb се отваря само за четене
        Изход 0, когато всеки ред на таблицата е записан (с --dry-run: би
        бил записан); 1, когато ред е отказан, позиция не е записана или
        файлът не може да се прочете.
  carry OLD.mdb NEW.mdb [--dry-run] [--take-old]
        пренася офертата от по-стария тръжен файл OLD.mdb (отваря се само за
        четене) в изменения файл NEW.mdb на същата поръчка (еднакъв KONKURS):
        данните за фирмата и параметрите, участието в обособените позиции и
        предлаганите стойности на позициите, съпоставени по PRODUCT_CODE;
        извежда прегледа: какво се пренася, позициите с променено описание,
        липсващите и новите позиции, отказаните стойности с причината; после
        записва всяка стойност, която колоната ѝ в NEW.mdb приема, и извежда
        какво е записано и какво остава за проверка:
        --dry-run   само прегледът; NEW.mdb се отваря само за четене
        --take-old  стойностите, които NEW.mdb вече съдържа различно, се
                    заменят с тези от OLD.mdb (без нея остават тези на NEW.mdb)
        Изход 0, когато всичко е пренесено без отказ (с --dry-run: би било);
        1, когато стойност е отказана, не е записана или файл не се чете.
  sign FILE [--token URL | --p12 FILE.p12] [--pin-file F]
        подписва FILE с квалифицирания сертификат на участника и записва
        отделения подпис (CMS, CAdES-BES, SHA-256) във FILE.p7s до него; FILE не
        се променя. Сертификатът е от поставените карти (модулите PKCS #11,
        регистрирани в p11-kit) или от файл .p12/.pfx:
        --token URL     сертификатът или картата с този адрес PKCS #11; без него
                        единственият сертификат за подписване на поставените карти
        --p12 FILE.p12  ключът и сертификатът от файла
        --pin-file F    ПИН кодът (паролата на файла) от първия ред на F; без него
                        се пита на терминала, без да се показва
        Сертификатът се извежда преди подписването; изтекъл, още невалиден или
        непредназначен за подпис сертификат се отказва с причината. Грешен ПИН
        се отказва без нов опит.
  verify FILE FILE.p7s [--ca CA.pem]
        проверява подписа FILE.p7s на FILE: кой и кога е подписал, с кой
        сертификат, дали файлът е непроменен и дали веригата стига до доверен
        издател (от CA.pem; без него от доверените издатели на системата);
        изход 0 само когато всичко е изпълнено.
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
// whose code the bidder gave, as the lots page would after the bidder chose it. Given
// `positionFields`, the positions have only those fields.
class TenderLot {
public:
    TenderLot(const QString& file, const QString& lotCode, const QStringList& positionFields = {})
        : qryData(data::makeQryData(connection_, positionFields)) {
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
    std::unique_ptr<data::Dataset> qryData;
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
    // A choice comes from an option of its own: the box stays unticked.
    std::optional<bool> confirmWithChoice(const QString&, const QString&, const QString&) override {
        return storeImport_ ? std::optional<bool>(false) : std::nullopt;
    }
    void warning(const QString& text) override { print(stderr, text); }
    void error(const QString& text) override {
        print(stderr, text);
        failed_ = true;
    }
    // The details are what the command prints on standard output itself: they are not said
    // twice.
    void warningWithDetails(const QString& text, const QString&) override { warning(text); }
    void errorWithDetails(const QString& text, const QString&) override { error(text); }
    int chooseOfferType(const QString&) override { return offerType_; }
    QString saveFileName(const QString& proposedPath, const QString&) override {
        return output_.isEmpty() ? proposedPath : output_;
    }
    QString openFileName(const QString&, const QString&) override { return QString(); }
    void showPreview(QDialog&) override {
        throw data::Error(QStringLiteral("Преглед на печат не е възможен от командния ред."));
    }
    // brx-offer sign asks for the PIN itself, from --pin-file or the terminal.
    std::optional<QByteArray> askPin(const QString&) override { return std::nullopt; }

private:
    int offerType_;
    QString output_;
    bool storeImport_;
    bool failed_ = false;
};

int xmlCommand(const QStringList& args) {
    const LotArguments arguments = parseLotArguments(args);
    // The export reads a few columns of each position; the others are not even read.
    TenderLot lot(arguments.file, arguments.lotCode, exportedPositionFields());
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
    refuseUntypableValues(sources, QLocale::system().decimalPoint(), OfferOutput::Print);
    bool written = false;
    reports.setOutput([&](const report::Report& offer) {
        if (const QString moved = offer.exportPdf(arguments.output); !moved.isEmpty())
            dialogs.warning(data::staleSignatureNotice(arguments.output, moved));
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
              QStringList{problem.lotCode, problem.positionCode, problem.field(),
                          (problem.warning ? QStringLiteral("Предупреждение: ") : QString()) +
                              problem.message}
                  .join(QLatin1Char('\t')));
    const bool refused =
        std::any_of(problems.begin(), problems.end(),
                    [](const offercheck::Problem& problem) { return !problem.warning; });
    if (problems.empty())
        print(stderr, QStringLiteral("Няма открити проблеми."));
    else if (!refused)
        print(stderr, QStringLiteral("Няма открити проблеми, само предупреждения."));
    return refused ? 1 : 0;
}

// Two files and an optional --dry-run, as import and carry take them.
struct DryRunArguments {
    QStringList files;
    bool dryRun = false;
};

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

int importCommand(const QStringList& args) {
    const auto [positional, dryRun] =
        parseDryRunArguments(args, QStringLiteral("FILE.mdb и IN.xlsx|IN.csv"));
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

int carryCommand(QStringList args) {
    const offercarry::Replacements replacements = args.removeAll(QStringLiteral("--take-old")) > 0
                                                      ? offercarry::Replacements::TakeOld
                                                      : offercarry::Replacements::KeepNew;
    const auto [files, dryRun] = parseDryRunArguments(args, QStringLiteral("OLD.mdb и NEW.mdb"));
    data::Connection connection;
    if (dryRun)
        connection.openReadOnly(files[1]);
    else
        connection.open(files[1]);
    ArgumentDialogs dialogs(NoOfferType, QString(), !dryRun);
    const OfferCarryWorkflow::Report report =
        OfferCarryWorkflow(dialogs, connection).run(files[0], replacements);
    if (report.read)
        print(stdout, report.preview.text());
    if (report.stored) {
        print(stdout, QStringLiteral("\n") + report.outcome.text());
        // What the offer check finds now, with what the carry left to look at.
        const std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection);
        qrySpecs->open();
        std::vector<offercheck::Problem> left =
            offercheck::offerProblems(*qrySpecs, connection, &offer::PoziciaIsFill);
        const std::vector<offercheck::Problem> notes = offercarry::leftToLookAt(report.preview);
        left.insert(left.end(), notes.begin(), notes.end());
        print(stdout, QStringLiteral("\nОстава за проверка: %1").arg(left.size()));
        for (const offercheck::Problem& problem : left)
            print(stdout, QStringList{problem.lotCode, problem.positionCode, problem.field(),
                                      problem.message}
                              .join(QLatin1Char('\t')));
    }
    const bool everything =
        report.read && report.preview.refused.empty() && report.outcome.complete();
    return everything ? 0 : 1;
}

// The PIN or the password, asked once: from the first line of `pinFile`, or typed on the
// terminal without being shown.
sign::PinSource pinFrom(const QString& pinFile) {
    return [pinFile](const QString& prompt) -> std::optional<QByteArray> {
        QByteArray line;
        if (!pinFile.isEmpty()) {
            line = sign::readBounded(pinFile, 4096, QStringLiteral("Файлът с ПИН кода"));
        } else {
            print(stderr, prompt);
            termios saved{};
            const bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
            if (terminal) {
                termios quiet = saved;
                quiet.c_lflag &= ~tcflag_t(ECHO);
                ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
            }
            // Byte by byte, not as a C text: a zero byte stays in the line, to be refused.
            char buffer[4096];
            std::size_t length = 0;
            for (int c = 0; length < sizeof buffer && (c = std::getc(stdin)) != EOF;) {
                buffer[length++] = char(c);
                if (c == '\n')
                    break;
            }
            if (terminal) {
                ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
                std::fputs("\n", stderr);
            }
            if (length == 0)
                return std::nullopt;
            line = QByteArray(buffer, qsizetype(length));
            std::fill(std::begin(buffer), std::end(buffer), '\0');
        }
        const qsizetype end = line.indexOf('\n');
        if (end >= 0)
            line.truncate(end);
        if (line.endsWith('\r'))
            line.chop(1);
        return line;
    };
}

// Takes `option`'s value out of `args`; empty when it is not there.
QString takeOption(QStringList& args, const QString& option) {
    const qsizetype at = args.indexOf(option);
    if (at < 0)
        return QString();
    if (at + 1 >= args.size() || args[at + 1].isEmpty())
        throw UsageError{option + QStringLiteral(" иска стойност")};
    const QString value = args[at + 1];
    args.remove(at, 2);
    return value;
}

void refuseUnknownOptions(const QStringList& positional) {
    for (const QString& arg : positional)
        if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1)
            throw UsageError{QStringLiteral("непозната опция: ") + arg};
}

// The one certificate on the tokens `url` matches (all tokens present without it).
sign::TokenCertificate chosenTokenCertificate(const QString& url) {
    const std::vector<sign::TokenCertificate> found = sign::tokenCertificates(url);
    if (found.empty())
        throw data::Error(QStringLiteral("Няма сертификат за подписване на поставените карти. "
                                         "Поставете картата или посочете файл с --p12."));
    if (found.size() > 1) {
        QString text = QStringLiteral("Сертификатите за подписване са няколко; посочете един "
                                      "с --token URL:");
        for (const sign::TokenCertificate& certificate : found)
            text += QStringLiteral("\n  %1\n    %2")
                        .arg(certificate.url, certificate.certificate.subject);
        throw data::Error(text);
    }
    return found.front();
}

int signCommand(const QStringList& arguments) {
    QStringList args = arguments;
    const QString tokenUrl = takeOption(args, QStringLiteral("--token"));
    const QString keyFile = takeOption(args, QStringLiteral("--p12"));
    const QString pinFile = takeOption(args, QStringLiteral("--pin-file"));
    refuseUnknownOptions(args);
    if (args.size() != 1)
        throw UsageError{QStringLiteral("очаква се един FILE за подписване")};
    if (!tokenUrl.isEmpty() && !keyFile.isEmpty())
        throw UsageError{QStringLiteral("--token и --p12 не вървят заедно")};
    const sign::PinSource pin = pinFrom(pinFile);
    std::unique_ptr<sign::SigningKey> key;
    if (!keyFile.isEmpty()) {
        std::optional<QByteArray> password = pin(QStringLiteral("Парола за „%1“:").arg(keyFile));
        if (!password)
            return 1;
        key = sign::SigningKey::fromKeyFile(keyFile, *password);
        password->fill('\0');
        print(stderr, sign::certificateText(key->certificate()));
    } else {
        const sign::TokenCertificate certificate = chosenTokenCertificate(tokenUrl);
        print(stderr, sign::certificateText(certificate.certificate));
        // Refused before the PIN is asked: a certificate that cannot sign costs no try.
        if (const QString refusal =
                sign::signingRefusal(certificate.certificate, QDateTime::currentDateTimeUtc());
            !refusal.isEmpty())
            throw data::Error(refusal);
        key = sign::SigningKey::onToken(certificate, pin);
    }
    print(stdout, sign::signFile(*key, args[0]));
    return 0;
}

int verifyCommand(const QStringList& arguments) {
    QStringList args = arguments;
    const QString anchors = takeOption(args, QStringLiteral("--ca"));
    refuseUnknownOptions(args);
    if (args.size() != 2)
        throw UsageError{QStringLiteral("очакват се FILE и FILE.p7s")};
    const sign::Verification verification = sign::verifyFile(args[0], args[1], anchors);
    print(stdout, verification.text());
    return verification.allHold() ? 0 : 1;
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
        {QStringLiteral("import"), importCommand},     {QStringLiteral("carry"), carryCommand},
        {QStringLiteral("sign"), signCommand},         {QStringLiteral("verify"), verifyCommand},
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
