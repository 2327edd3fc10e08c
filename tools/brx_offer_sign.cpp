// SPDX-License-Identifier: Apache-2.0
// brx-offer-sign: brx-offer sign and verify, started by brx-offer. It alone of brx-offer's
// programs loads GnuTLS, whose start costs milliseconds of processor time that no other command
// needs to spend.

#include "sign/signing_key.h"
#include "sign/verification.h"
#include "tools/brx_offer_cli.h"

#include <QCoreApplication>

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

using namespace brxoffer;

namespace {

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
    const QCoreApplication application(argc, argv);
    return runCommand({
        {QStringLiteral("sign"), signCommand},
        {QStringLiteral("verify"), verifyCommand},
    });
}
