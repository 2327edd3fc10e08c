// SPDX-License-Identifier: Apache-2.0
// Signing offer files with a token's key and with a .p12, and checking the signatures: our own
// verify, and openssl as a reader that shares no code with us.

#include "brx_offer_run.h"
#include "signing_world.h"

#include "data/error.h"
#include "sign/signing_certificate.h"
#include "sign/signing_key.h"
#include "sign/verification.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using exporttest::brxOffer;
using exporttest::ProgramRun;
using signtest::SigningWorld;

const SigningWorld& world() {
    return SigningWorld::get();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// An offer file as the export writes it: a byte order mark, Cyrillic text, CR LF.
const QByteArray kOffer("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                        "<PREDL><IME_NA_FIRMATA>Медика ООД</IME_NA_FIRMATA></PREDL>\r\n");

struct Tool {
    int status = -1;
    QString output;
};

Tool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Tool result;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        result.status = process.exitCode();
    result.output = QString::fromUtf8(process.readAll());
    return result;
}

Tool opensslVerify(const QString& file, const QString& signature) {
    return run(QStringLiteral("openssl"),
               {QStringLiteral("cms"), QStringLiteral("-verify"), QStringLiteral("-binary"),
                QStringLiteral("-inform"), QStringLiteral("DER"), QStringLiteral("-in"), signature,
                QStringLiteral("-content"), file, QStringLiteral("-CAfile"),
                world().path(QStringLiteral("ca.pem")), QStringLiteral("-out"),
                QStringLiteral("/dev/null")});
}

class SigningTest : public ::testing::Test {
protected:
    QString offerFile() {
        const QString path = folder.filePath(QStringLiteral("CenovaOferta_Medika_OOD_OP_3.xml"));
        writeFile(path, kOffer);
        return path;
    }
    ProgramRun brx(const QStringList& arguments) { return brxOffer(arguments, folder.path()); }

    QTemporaryDir folder;
};

struct KeySource {
    const char* name;
    QStringList arguments;
};

TEST_F(SigningTest, SignaturesOfBothKeySourcesVerifyHereAndWithOpenSsl) {
    const KeySource sources[] = {
        {"token",
         {QStringLiteral("--token"), SigningWorld::tokenUrl(QStringLiteral("signer")),
          QStringLiteral("--pin-file"), world().secretFile(SigningWorld::kPin)}},
        {"p12",
         {QStringLiteral("--p12"), world().path(QStringLiteral("signer.p12")),
          QStringLiteral("--pin-file"), world().secretFile(SigningWorld::kPassword)}},
    };
    for (const KeySource& source : sources) {
        SCOPED_TRACE(source.name);
        const QString file = offerFile();
        const QString signature = file + QStringLiteral(".p7s");
        const ProgramRun signing =
            brx(QStringList{QStringLiteral("sign"), file} + source.arguments);
        ASSERT_EQ(signing.status, 0) << signing.err.toStdString();
        EXPECT_EQ(signing.out.trimmed(), signature);
        // The certificate is shown before signing.
        EXPECT_TRUE(signing.err.contains(QStringLiteral("Титуляр: CN=Иван Петров,O=Медика ООД")))
            << signing.err.toStdString();
        EXPECT_EQ(readFile(file), kOffer) << "signing changed the signed file";

        const ProgramRun verified =
            brx({QStringLiteral("verify"), file, signature, QStringLiteral("--ca"),
                 world().path(QStringLiteral("ca.pem"))});
        EXPECT_EQ(verified.status, 0) << verified.out.toStdString();
        for (const char* line :
             {"Подписал: CN=Иван Петров,O=Медика ООД", "Сериен номер на сертификата: 01",
              "Файлът: непроменен", "Сертификатът: посочен в подписа",
              "Доверие: веригата стига до доверен издател"})
            EXPECT_TRUE(verified.out.contains(QString::fromUtf8(line))) << line;
        EXPECT_FALSE(verified.out.contains(QStringLiteral("Време на подписване: не е посочено")));

        const Tool independent = opensslVerify(file, signature);
        EXPECT_EQ(independent.status, 0) << independent.output.toStdString();
        const Tool printed = run(QStringLiteral("openssl"),
                                 {QStringLiteral("cms"), QStringLiteral("-cmsout"),
                                  QStringLiteral("-print"), QStringLiteral("-inform"),
                                  QStringLiteral("DER"), QStringLiteral("-in"), signature});
        for (const char* part :
             {"signingTime", "id-smime-aa-signingCertificateV2", "sha256", "eContent: <ABSENT>"})
            EXPECT_TRUE(printed.output.contains(QLatin1String(part))) << part;
        // The signer's certificate and the authority's above it.
        EXPECT_EQ(printed.output.count(QStringLiteral("d.certificate:")), 2);

        // Without the test authority among the trust anchors the chain reaches none.
        const ProgramRun untrusted = brx({QStringLiteral("verify"), file, signature});
        EXPECT_EQ(untrusted.status, 1);
        EXPECT_TRUE(untrusted.out.contains(QStringLiteral("НЕ стига до доверен издател")));
    }
}

TEST_F(SigningTest, AChangedByteFailsVerification) {
    const QString file = offerFile();
    ASSERT_EQ(brx({QStringLiteral("sign"), file, QStringLiteral("--p12"),
                   world().path(QStringLiteral("signer.p12")), QStringLiteral("--pin-file"),
                   world().secretFile(SigningWorld::kPassword)})
                  .status,
              0);
    QByteArray changed = kOffer;
    changed[changed.indexOf('<') + 1] = 'Q';
    writeFile(file, changed);
    const QString signature = file + QStringLiteral(".p7s");
    const ProgramRun verified =
        brx({QStringLiteral("verify"), file, signature, QStringLiteral("--ca"),
             world().path(QStringLiteral("ca.pem"))});
    EXPECT_EQ(verified.status, 1);
    EXPECT_TRUE(verified.out.contains(QStringLiteral("Файлът: ПРОМЕНЕН")))
        << verified.out.toStdString();
    EXPECT_NE(opensslVerify(file, signature).status, 0);
}

struct Unsuitable {
    const char* name;
    const char* reason;
};

TEST_F(SigningTest, CertificatesThatCannotSignAreRefusedWithTheReason) {
    const Unsuitable cases[] = {
        {"expired", "Сертификатът е изтекъл на "},
        {"future", "Сертификатът още не е валиден"},
        {"encryption", "Сертификатът не е предназначен за подписване"},
    };
    for (const Unsuitable& unsuitable : cases) {
        SCOPED_TRACE(unsuitable.name);
        const QString file = offerFile();
        const ProgramRun signing =
            brx({QStringLiteral("sign"), file, QStringLiteral("--p12"),
                 world().path(QLatin1String(unsuitable.name) + QStringLiteral(".p12")),
                 QStringLiteral("--pin-file"), world().secretFile(SigningWorld::kPassword)});
        EXPECT_EQ(signing.status, 1);
        EXPECT_TRUE(signing.err.contains(QString::fromUtf8(unsuitable.reason)))
            << signing.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(file + QStringLiteral(".p7s")));
    }
    // On the token the certificate is refused before the PIN is asked: no try is spent on it.
    const QString file = offerFile();
    const ProgramRun signing = brx({QStringLiteral("sign"), file, QStringLiteral("--token"),
                                    SigningWorld::tokenUrl(QStringLiteral("expired"))});
    EXPECT_EQ(signing.status, 1);
    EXPECT_TRUE(signing.err.contains(QStringLiteral("Сертификатът е изтекъл на ")));
    EXPECT_FALSE(signing.err.contains(QStringLiteral("ПИН"))) << signing.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(file + QStringLiteral(".p7s")));
}

TEST_F(SigningTest, TheTokensListTheBiddersCertificatesOnly) {
    std::vector<sign::TokenCertificate> found = sign::tokenCertificates();
    ASSERT_EQ(found.size(), 2u) << "the authority's certificate or the trust store is listed";
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.certificate.serial < b.certificate.serial;
    });
    EXPECT_EQ(found[0].certificate.serial, QStringLiteral("01"));
    EXPECT_EQ(found[1].certificate.serial, QStringLiteral("02"));
    for (const sign::TokenCertificate& certificate : found) {
        EXPECT_EQ(certificate.tokenLabel, QStringLiteral("Bidder"));
        EXPECT_EQ(certificate.certificate.subject, QStringLiteral("CN=Иван Петров,O=Медика ООД"));
        EXPECT_TRUE(certificate.url.startsWith(QStringLiteral("pkcs11:")));
    }
    // With two certificates present, brx-offer signs with neither until told which.
    const QString file = offerFile();
    const ProgramRun signing = brx({QStringLiteral("sign"), file, QStringLiteral("--pin-file"),
                                    world().secretFile(SigningWorld::kPin)});
    EXPECT_EQ(signing.status, 1);
    EXPECT_TRUE(signing.err.contains(QStringLiteral("посочете един с --token URL")));
    EXPECT_TRUE(signing.err.contains(found[0].url)) << signing.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(file + QStringLiteral(".p7s")));
}

TEST_F(SigningTest, AWrongPinIsRefusedAndNeverTriedAgain) {
    // First from the command line, whose run is bounded: a PIN handed to the token again and
    // again would keep it from ending, and the run counts as failed.
    const QString refusedFile = offerFile();
    const ProgramRun refused = brx({QStringLiteral("sign"), refusedFile, QStringLiteral("--token"),
                                    SigningWorld::tokenUrl(QStringLiteral("signer")),
                                    QStringLiteral("--pin-file"), world().secretFile("0000")});
    EXPECT_EQ(refused.status, 1) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(QStringLiteral("Грешен ПИН: нищо не е подписано.")));
    EXPECT_FALSE(QFileInfo::exists(refusedFile + QStringLiteral(".p7s")));

    const std::vector<sign::TokenCertificate> found =
        sign::tokenCertificates(SigningWorld::tokenUrl(QStringLiteral("signer")));
    ASSERT_EQ(found.size(), 1u);
    int asked = 0;
    const auto answering = [&asked](std::optional<QByteArray> answer) {
        return [&asked, answer](const QString& prompt) {
            ++asked;
            EXPECT_TRUE(prompt.contains(QStringLiteral("Bidder"))) << prompt.toStdString();
            return answer;
        };
    };
    try {
        sign::SigningKey::onToken(found.front(), answering(QByteArray("0000")));
        ADD_FAILURE() << "a wrong PIN opened the key";
    } catch (const sign::Cancelled&) {
        ADD_FAILURE() << "a wrong PIN was taken for a cancel";
    } catch (const data::Error& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).startsWith(QStringLiteral("Грешен ПИН")))
            << error.what();
    }
    EXPECT_EQ(asked, 1);

    asked = 0;
    EXPECT_THROW(sign::SigningKey::onToken(found.front(), answering(std::nullopt)),
                 sign::Cancelled);
    EXPECT_EQ(asked, 1);

    // The token still takes the right PIN, and the key signs.
    asked = 0;
    const std::unique_ptr<sign::SigningKey> key =
        sign::SigningKey::onToken(found.front(), answering(QByteArray(SigningWorld::kPin)));
    const QByteArray signature = key->signDetached(kOffer);
    EXPECT_EQ(asked, 1);
    const sign::Verification verification =
        sign::verifyDetached(kOffer, signature, readFile(world().path(QStringLiteral("ca.pem"))));
    EXPECT_TRUE(verification.allHold()) << verification.text().toStdString();

    // A wrong password of a .p12 from the command line: refused, nothing written.
    const QString file = offerFile();
    const ProgramRun signing = brx({QStringLiteral("sign"), file, QStringLiteral("--p12"),
                                    world().path(QStringLiteral("signer.p12")),
                                    QStringLiteral("--pin-file"), world().secretFile("wrong")});
    EXPECT_EQ(signing.status, 1);
    EXPECT_TRUE(signing.err.contains(QStringLiteral("Грешна парола")));
    EXPECT_FALSE(QFileInfo::exists(file + QStringLiteral(".p7s")));
}

TEST_F(SigningTest, SignaturesMadeByOpenSslAreReadAndMustNameTheirCertificate) {
    const struct {
        const char* name;
        QStringList options;
        int status;
        const char* finding;
    } cases[] = {
        // OpenSSL writes the signing-certificate-v2 attribute for CAdES with its own encoder.
        {"CAdES", {QStringLiteral("-cades")}, 0, "Сертификатът: посочен в подписа"},
        {"plain CMS", {}, 1, "Сертификатът: НЕ е потвърден: подписът не посочва сертификата си"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = offerFile();
        const QString signature = file + QStringLiteral(".p7s");
        const Tool made =
            run(QStringLiteral("openssl"),
                QStringList{QStringLiteral("cms"), QStringLiteral("-sign"),
                            QStringLiteral("-binary"), QStringLiteral("-outform"),
                            QStringLiteral("DER"), QStringLiteral("-md"), QStringLiteral("sha256"),
                            QStringLiteral("-signer"), world().path(QStringLiteral("signer.pem")),
                            QStringLiteral("-inkey"), world().path(QStringLiteral("bidder.key")),
                            QStringLiteral("-certfile"), world().path(QStringLiteral("ca.pem")),
                            QStringLiteral("-in"), file, QStringLiteral("-out"), signature} +
                    c.options);
        ASSERT_EQ(made.status, 0) << made.output.toStdString();
        const ProgramRun verified =
            brx({QStringLiteral("verify"), file, signature, QStringLiteral("--ca"),
                 world().path(QStringLiteral("ca.pem"))});
        EXPECT_EQ(verified.status, c.status) << verified.out.toStdString();
        EXPECT_TRUE(verified.out.contains(QStringLiteral("Файлът: непроменен")));
        EXPECT_TRUE(verified.out.contains(QString::fromUtf8(c.finding)))
            << verified.out.toStdString();
    }
}

TEST(SigningCertificateAttribute, NamesItsOwnCertificateAndNoOtherOfTheSameKey) {
    const auto der = [](const char* name) {
        return sign::readCertificate([&] {
                   QProcess convert;
                   convert.start(QStringLiteral("certtool"),
                                 {QStringLiteral("--certificate-info"), QStringLiteral("--outder"),
                                  QStringLiteral("--infile"),
                                  world().path(QLatin1String(name) + QStringLiteral(".pem"))});
                   convert.waitForFinished();
                   return convert.readAllStandardOutput();
               }())
            .der;
    };
    const QByteArray signer = der("signer");
    const QByteArray expired = der("expired"); // same key, same issuer, another serial
    const QByteArray attribute = sign::signingCertificateV2(signer);
    EXPECT_TRUE(sign::namesCertificate(attribute, signer));
    EXPECT_FALSE(sign::namesCertificate(attribute, expired));
    EXPECT_FALSE(sign::namesCertificate(sign::signingCertificateV2(expired), signer));
    EXPECT_THROW(sign::namesCertificate(attribute.left(attribute.size() - 3), signer), data::Error);
}

TEST_F(SigningTest, WhatIsNotASignatureIsRefusedWithAMessage) {
    const QString file = offerFile();
    ASSERT_EQ(brx({QStringLiteral("sign"), file, QStringLiteral("--p12"),
                   world().path(QStringLiteral("signer.p12")), QStringLiteral("--pin-file"),
                   world().secretFile(SigningWorld::kPassword)})
                  .status,
              0);
    const QByteArray real = readFile(file + QStringLiteral(".p7s"));
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"text", QByteArray("не е подпис\n")},
        {"truncated", real.left(real.size() / 2)},
        {"the signed file", kOffer},
        {"larger than a signature can be", real + QByteArray(int(sign::kMaxSignatureBytes), 'x')},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.name);
        const QString signature = folder.filePath(QStringLiteral("bad.p7s"));
        writeFile(signature, bad.bytes);
        const ProgramRun verified =
            brx({QStringLiteral("verify"), file, signature, QStringLiteral("--ca"),
                 world().path(QStringLiteral("ca.pem"))});
        EXPECT_EQ(verified.status, 1);
        EXPECT_TRUE(verified.err.contains(QStringLiteral("Подпис")) ||
                    verified.err.contains(QStringLiteral("подпис")))
            << verified.err.toStdString();
        EXPECT_TRUE(verified.out.isEmpty()) << verified.out.toStdString();
    }
}

} // namespace
