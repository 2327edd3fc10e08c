// SPDX-License-Identifier: Apache-2.0
// Signing offer files with a token's key and with a .p12, and checking the signatures: our own
// verify, and openssl as a reader that shares no code with us.

#include "brx_offer_run.h"
#include "crafted_signature.h"
#include "signing_world.h"

#include "data/error.h"
#include "sign/signing_certificate.h"
#include "sign/signing_key.h"
#include "sign/verification.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

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

// A run that has not ended in this many seconds is taken for hung: signing and checking take
// a fraction of one.
constexpr int kBoundMs = 20000;

Tool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Tool result;
    if (process.waitForFinished(kBoundMs) && process.exitStatus() == QProcess::NormalExit)
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

// The certificate hash that the signing-certificate-v2 attribute of `signature` holds, as
// openssl's own DER reader finds it: the first octet string after the attribute's identifier.
QByteArray signingCertificateHash(const QString& signature) {
    const Tool parsed =
        run(QStringLiteral("openssl"), {QStringLiteral("asn1parse"), QStringLiteral("-inform"),
                                        QStringLiteral("DER"), QStringLiteral("-in"), signature});
    const QStringList lines = parsed.output.split(QLatin1Char('\n'));
    bool inAttribute = false;
    for (const QString& line : lines) {
        inAttribute =
            inAttribute || line.endsWith(QStringLiteral(":id-smime-aa-signingCertificateV2"));
        const qsizetype dump = line.indexOf(QStringLiteral("OCTET STRING      [HEX DUMP]:"));
        if (inAttribute && dump >= 0)
            return QByteArray::fromHex(line.section(QLatin1Char(':'), -1).toLatin1());
    }
    return QByteArray();
}

class SigningTest : public ::testing::Test {
protected:
    QString offerFile() {
        const QString path = folder.filePath(QStringLiteral("CenovaOferta_Medika_OOD_OP_3.xml"));
        writeFile(path, kOffer);
        return path;
    }
    ProgramRun brx(const QStringList& arguments) {
        return brxOffer(arguments, folder.path(), "bg_BG.UTF-8", QStringLiteral(BRX_OFFER_PROGRAM),
                        kBoundMs);
    }
    ProgramRun verify(const QString& file, const QString& signature) {
        return brx({QStringLiteral("verify"), file, signature, QStringLiteral("--ca"),
                    world().path(QStringLiteral("ca.pem"))});
    }
    ProgramRun signWithKeyFile(const QString& file, const QString& keyFile,
                               const QByteArray& password = SigningWorld::kPassword) {
        return brx({QStringLiteral("sign"), file, QStringLiteral("--p12"), keyFile,
                    QStringLiteral("--pin-file"), world().secretFile(password)});
    }

    QTemporaryDir folder;
    // What the test's runs of brx-offer do on a token stays on its own copy.
    signtest::OwnToken token;
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
        // openssl does not check what the attribute names: its hash is checked here against
        // the certificate's DER.
        EXPECT_EQ(signingCertificateHash(signature).toHex(),
                  QCryptographicHash::hash(signtest::certificateDer(readFile(
                                               world().path(QStringLiteral("signer.pem")))),
                                           QCryptographicHash::Sha256)
                      .toHex());

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
        {"critical", "Сертификатът има критично разширение 1.3.6.1.4.1.55555.1"},
        {"weak", "Ключът на сертификата е RSA с 1024 бита: за квалифициран подпис ключ RSA "
                 "трябва да е поне 2048 бита."},
        {"authority", "Сертификатът е на удостоверяващ орган (CA)"},
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
    token.store(QStringLiteral("critical"), QStringLiteral("bidder.key"), QStringLiteral("05"));
    token.store(QStringLiteral("weak"), QStringLiteral("weak.key"), QStringLiteral("06"));
    const Unsuitable onToken[] = {
        {"expired", "Сертификатът е изтекъл на "},
        {"critical", "Сертификатът има критично разширение 1.3.6.1.4.1.55555.1"},
        {"weak", "Ключът на сертификата е RSA с 1024 бита"},
    };
    for (const Unsuitable& unsuitable : onToken) {
        SCOPED_TRACE(std::string("on the token: ") + unsuitable.name);
        const QString file = offerFile();
        const ProgramRun signing = brx({QStringLiteral("sign"), file, QStringLiteral("--token"),
                                        SigningWorld::tokenUrl(QLatin1String(unsuitable.name))});
        EXPECT_EQ(signing.status, 1);
        EXPECT_TRUE(signing.err.contains(QString::fromUtf8(unsuitable.reason)))
            << signing.err.toStdString();
        EXPECT_FALSE(signing.err.contains(QStringLiteral("ПИН"))) << signing.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(file + QStringLiteral(".p7s")));
    }
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
        // Streamed, the structure around the signed attributes has BER's indefinite lengths.
        {"CAdES streamed",
         {QStringLiteral("-cades"), QStringLiteral("-stream")},
         0,
         "Сертификатът: посочен в подписа"},
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

// What openssl signs with certificates unfit for a bidder's signature, or with a hash no longer
// allowed: each fails and names its reason, never a change of the file it did not see.
TEST_F(SigningTest, SignaturesByUnfitCertificatesFailWithTheRealReason) {
    const struct {
        const char* name;
        const char* certificate;
        const char* key;
        const char* hash;
        std::vector<const char*> findings;
    } cases[] = {
        {"key encipherment only",
         "encryption",
         "bidder.key",
         "sha256",
         {"Файлът: непроменен", "Подписващият: сертификатът му НЕ е годен за този подпис: "
                                "Сертификатът не е предназначен за подписване"}},
        {"the authority's own certificate",
         "ca",
         "ca.key",
         "sha256",
         {"Файлът: непроменен", "Сертификатът е на удостоверяващ орган (CA)"}},
        {"another CA:TRUE certificate",
         "authority",
         "bidder.key",
         "sha256",
         {"Файлът: непроменен", "Сертификатът е на удостоверяващ орган (CA)"}},
        {"expired",
         "expired",
         "bidder.key",
         "sha256",
         {"Файлът: НЕ е проверен: сертификатът на подписващия е бил изтекъл към времето на "
          "подписване",
          "е извън валидността на сертификата",
          "Доверие: НЕ стига до доверен издател: сертификат от веригата е изтекъл"}},
        {"not yet valid",
         "future",
         "bidder.key",
         "sha256",
         {"Файлът: НЕ е проверен: сертификатът на подписващия още не е бил валиден",
          "е извън валидността на сертификата",
          "Доверие: НЕ стига до доверен издател: сертификат от веригата още не е валиден"}},
        {"MD5",
         "signer",
         "bidder.key",
         "md5",
         {"Файлът: НЕ е проверен: подписът е по алгоритъм RSA-MD5, който вече не е допустим"}},
        {"unknown critical extension",
         "critical",
         "bidder.key",
         "sha256",
         {"Файлът: непроменен", "Сертификатът има критично разширение 1.3.6.1.4.1.55555.1",
          "Доверие: НЕ стига до доверен издател: сертификат от веригата има критично "
          "разширение, което не е познато"}},
        {"1024-bit RSA",
         "weak",
         "weak.key",
         "sha256",
         {"Файлът: непроменен", "Ключът на сертификата е RSA с 1024 бита"}},
    };
    const QString file = offerFile();
    const QString signature = file + QStringLiteral(".p7s");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList options{QStringLiteral("cms"),
                            QStringLiteral("-sign"),
                            QStringLiteral("-binary"),
                            QStringLiteral("-cades"),
                            QStringLiteral("-outform"),
                            QStringLiteral("DER"),
                            QStringLiteral("-md"),
                            QLatin1String(c.hash),
                            QStringLiteral("-signer"),
                            world().path(QLatin1String(c.certificate) + QStringLiteral(".pem")),
                            QStringLiteral("-inkey"),
                            world().path(QLatin1String(c.key)),
                            QStringLiteral("-in"),
                            file,
                            QStringLiteral("-out"),
                            signature};
        if (QLatin1String(c.certificate) != QLatin1String("ca"))
            options << QStringLiteral("-certfile") << world().path(QStringLiteral("ca.pem"));
        const Tool made = run(QStringLiteral("openssl"), options);
        ASSERT_EQ(made.status, 0) << made.output.toStdString();
        const ProgramRun verified = verify(file, signature);
        EXPECT_EQ(verified.status, 1) << verified.out.toStdString();
        for (const char* finding : c.findings)
            EXPECT_TRUE(verified.out.contains(QString::fromUtf8(finding)))
                << finding << "\n"
                << verified.out.toStdString();
        EXPECT_FALSE(verified.out.contains(QStringLiteral("ПРОМЕНЕН")));
        EXPECT_FALSE(verified.out.contains(QStringLiteral("код "))) << verified.out.toStdString();
    }
}

// Signed attributes as no signing program writes them, signed with the right key so that only
// the fault under test is wrong.
TEST_F(SigningTest, SignedAttributesAreHeldToTheRulesOfCms) {
    using signtest::Attribute;
    using signtest::der;
    using Attributes = QList<Attribute>;
    constexpr char kContentType[] = "1.2.840.113549.1.9.3";
    constexpr char kMessageDigest[] = "1.2.840.113549.1.9.4";
    constexpr char kSigningTime[] = "1.2.840.113549.1.9.5";
    const auto replaced = [](const char* type, const QList<QByteArray>& values) {
        return [=](Attributes& attributes) {
            for (Attribute& attribute : attributes)
                if (attribute.type == type)
                    attribute.values = values;
        };
    };
    const struct {
        const char* name;
        std::function<void(Attributes&)> change;
        const char* finding; // in what verify prints, on either stream
    } cases[] = {
        {"as an honest signer writes them", [](Attributes&) {}, nullptr},
        {"signed at 31.12.2049, after the certificate expired",
         replaced(kSigningTime, {der(0x17, "491231000000Z")}),
         "е извън валидността на сертификата"},
        {"a signing time that is no time", replaced(kSigningTime, {der(0x17, "261341120000Z")}),
         "Подписът е съставен неправилно: времето на подписване „261341120000Z“ не е време"},
        {"a signing time of 2026 as GeneralizedTime",
         replaced(kSigningTime, {der(0x18, "20261211120000Z")}),
         "времето на подписване „20261211120000Z“ не е време"},
        {"no content type",
         [&](Attributes& attributes) {
             attributes.removeIf([&](const Attribute& a) { return a.type == kContentType; });
         },
         "Подписът е съставен неправилно: липсва атрибутът „тип на съдържанието“"},
        {"a content type other than that of the content",
         replaced(kContentType, {signtest::objectIdentifier("1.2.840.113549.1.7.2")}),
         "типът на съдържанието в атрибутите не е типът на подписаното"},
        {"a message digest with two values",
         [&](Attributes& attributes) {
             for (Attribute& attribute : attributes)
                 if (attribute.type == kMessageDigest)
                     attribute.values << der(0x04, QByteArray(32, 'x'));
         },
         "атрибутът „хеш на съдържанието“ има 2 стойности, а трябва да е една"},
        {"the signing time given twice",
         [&](Attributes& attributes) {
             for (const Attribute& attribute : Attributes(attributes))
                 if (attribute.type == kSigningTime)
                     attributes << attribute;
         },
         "атрибутът „време на подписване“ е даден два пъти"},
    };
    const QByteArray certificate = readFile(world().path(QStringLiteral("signer.pem")));
    const QString file = offerFile();
    const QString signature = file + QStringLiteral(".p7s");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Attributes attributes =
            signtest::honestAttributes(kOffer, signtest::certificateDer(certificate));
        c.change(attributes);
        writeFile(signature,
                  signtest::craftSignature(attributes, certificate,
                                           readFile(world().path(QStringLiteral("bidder.key")))));
        const ProgramRun verified = verify(file, signature);
        if (!c.finding) {
            // The crafting itself is sound: we and openssl take the honest signature.
            EXPECT_EQ(verified.status, 0)
                << verified.out.toStdString() << verified.err.toStdString();
            const Tool independent = opensslVerify(file, signature);
            EXPECT_EQ(independent.status, 0) << independent.output.toStdString();
            continue;
        }
        EXPECT_EQ(verified.status, 1) << verified.out.toStdString();
        EXPECT_TRUE((verified.out + verified.err).contains(QString::fromUtf8(c.finding)))
            << verified.out.toStdString() << verified.err.toStdString();
    }
}

TEST_F(SigningTest, ZeroBytesInSecretsAndTokenAddressesAreRefused) {
    const struct {
        const char* name;
        QStringList options;
        const char* reason;
    } cases[] = {
        {"PIN",
         {QStringLiteral("--token"), SigningWorld::tokenUrl(QStringLiteral("signer")),
          QStringLiteral("--pin-file"), world().secretFile(QByteArray("1234\0zz", 7))},
         "ПИН кодът съдържа нулев байт и не се приема"},
        {"password",
         {QStringLiteral("--p12"), world().path(QStringLiteral("signer.p12")),
          QStringLiteral("--pin-file"), world().secretFile(QByteArray("secret\0zz", 9))},
         "Паролата съдържа нулев байт и не се приема"},
        {"token address",
         {QStringLiteral("--token"), QStringLiteral("pkcs11:token=%00Bidder;object=signer"),
          QStringLiteral("--pin-file"), world().secretFile(SigningWorld::kPin)},
         "съдържа нулев байт (%00)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = offerFile();
        const ProgramRun signing = brx(QStringList{QStringLiteral("sign"), file} + c.options);
        EXPECT_EQ(signing.status, 1) << signing.err.toStdString();
        EXPECT_TRUE(signing.err.contains(QString::fromUtf8(c.reason))) << signing.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(file + QStringLiteral(".p7s")));
    }
}

// A FIFO would keep the reader waiting for a writer, a device or a huge file would be read up
// to the limit: each is refused before a byte is read, within the run's bound.
TEST_F(SigningTest, OnlyRegularFilesWithinTheirLimitsAreRead) {
    const QString file = offerFile();
    const QString signature = file + QStringLiteral(".p7s");
    ASSERT_EQ(signWithKeyFile(file, world().path(QStringLiteral("signer.p12"))).status, 0);
    const QString fifo = folder.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = folder.filePath(QStringLiteral("huge.xml"));
    {
        QFile sparse(huge);
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(qint64(600) << 20));
    }
    const QString ca = world().path(QStringLiteral("ca.pem"));
    const QString notRegular = QStringLiteral("не е обикновен файл");
    const struct {
        const char* name;
        QStringList arguments;
        QString reason;
    } cases[] = {
        {"a FIFO as the file", {QStringLiteral("verify"), fifo, signature}, notRegular},
        {"a FIFO as the signature", {QStringLiteral("verify"), file, fifo}, notRegular},
        {"a FIFO as the trust list",
         {QStringLiteral("verify"), file, signature, QStringLiteral("--ca"), fifo},
         notRegular},
        {"a FIFO as the key file",
         {QStringLiteral("sign"), file, QStringLiteral("--p12"), fifo, QStringLiteral("--pin-file"),
          world().secretFile(SigningWorld::kPassword)},
         notRegular},
        {"a FIFO as the PIN file",
         {QStringLiteral("sign"), file, QStringLiteral("--p12"),
          world().path(QStringLiteral("signer.p12")), QStringLiteral("--pin-file"), fifo},
         notRegular},
        {"/dev/zero as the file",
         {QStringLiteral("verify"), QStringLiteral("/dev/zero"), signature},
         notRegular},
        {"a file of 600 MB",
         {QStringLiteral("verify"), huge, signature},
         QStringLiteral("е по-голям от %1 байта").arg(qint64(512) << 20)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramRun refused = brx(c.arguments);
        EXPECT_EQ(refused.status, 1) << "hung or crashed: " << refused.err.toStdString();
        EXPECT_TRUE(refused.err.contains(c.reason)) << refused.err.toStdString();
    }
}

TEST_F(SigningTest, KeyFilesAndTrustListsAreDescribedInAccurateWords) {
    const QString signer = world().path(QStringLiteral("signer.pem"));
    const QString key = world().path(QStringLiteral("bidder.key"));
    const QString ca = world().path(QStringLiteral("ca.pem"));
    const auto exported = [&](const QString& name, const QStringList& options,
                              const QString& certificates) {
        const QString path = folder.filePath(name);
        const Tool made =
            run(QStringLiteral("openssl"),
                QStringList{QStringLiteral("pkcs12"), QStringLiteral("-export"),
                            QStringLiteral("-in"), signer, QStringLiteral("-inkey"), key,
                            QStringLiteral("-certfile"), certificates, QStringLiteral("-passout"),
                            QStringLiteral("pass:secret"), QStringLiteral("-out"), path} +
                    options);
        EXPECT_EQ(made.status, 0) << made.output.toStdString();
        return path;
    };
    QByteArray thousand;
    for (int i = 0; i < 1001; ++i)
        thousand += readFile(ca);
    const QString manyCertificates = folder.filePath(QStringLiteral("many.pem"));
    writeFile(manyCertificates, thousand);
    // The last byte of a .p12 is the MAC's iteration count: changed, the code no longer fits.
    QByteArray changed = readFile(world().path(QStringLiteral("signer.p12")));
    changed[changed.size() - 1] = char(changed[changed.size() - 1] ^ 1);
    const QString damaged = folder.filePath(QStringLiteral("damaged.p12"));
    writeFile(damaged, changed);

    const struct {
        const char* name;
        QString keyFile;
        QByteArray password;
        const char* reason;
    } cases[] = {
        {"no MAC", exported(QStringLiteral("nomac.p12"), {QStringLiteral("-nomac")}, ca), "secret",
         "няма код за цялост (MAC)"},
        {"key not encrypted",
         exported(QStringLiteral("plain.p12"),
                  {QStringLiteral("-keypbe"), QStringLiteral("NONE"), QStringLiteral("-certpbe"),
                   QStringLiteral("NONE")},
                  ca),
         "secret", "не е защитен с парола"},
        {"a changed byte", damaged, "secret", "е повреден: кодът му за цялост (MAC)"},
        {"1,001 certificates", exported(QStringLiteral("many.p12"), {}, manyCertificates), "secret",
         "съдържа повече от 16 сертификата за ключа"},
        {"a wrong password", world().path(QStringLiteral("signer.p12")), "wrong",
         "Грешна парола за"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = offerFile();
        const ProgramRun signing = signWithKeyFile(file, c.keyFile, c.password);
        EXPECT_EQ(signing.status, 1);
        EXPECT_TRUE(signing.err.contains(QString::fromUtf8(c.reason))) << signing.err.toStdString();
        if (c.password == "secret") {
            EXPECT_FALSE(signing.err.contains(QStringLiteral("Грешна парола")));
        }
        EXPECT_FALSE(QFileInfo::exists(file + QStringLiteral(".p7s")));
    }

    // A trust list whose first block is broken names it; the good ones after it are not lost
    // once it is mended.
    const QString file = offerFile();
    ASSERT_EQ(signWithKeyFile(file, world().path(QStringLiteral("signer.p12"))).status, 0);
    const QString bundle = folder.filePath(QStringLiteral("bundle.pem"));
    const QByteArray broken("-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n");
    writeFile(bundle, broken + readFile(ca));
    const ProgramRun refused = brx({QStringLiteral("verify"), file, file + QStringLiteral(".p7s"),
                                    QStringLiteral("--ca"), bundle});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains(
        QStringLiteral("Файлът с доверените издатели е повреден: блок 1 не е сертификат.")))
        << refused.err.toStdString();
    writeFile(bundle, readFile(signer) + readFile(ca));
    const ProgramRun trusted = brx({QStringLiteral("verify"), file, file + QStringLiteral(".p7s"),
                                    QStringLiteral("--ca"), bundle});
    EXPECT_EQ(trusted.status, 0) << trusted.out.toStdString() << trusted.err.toStdString();
}

} // namespace
