// SPDX-License-Identifier: Apache-2.0
// The signing window with the test's token and .p12 files, its questions answered by script;
// and the program's own PIN dialog on Qt's offscreen platform.

#include "signing_world.h"

#include "sign/signing_dialog.h"
#include "ui/dialogs.h"
#include "ui/error_guard.h"
#include "ui/scripted_dialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using signtest::SigningWorld;
using Kind = ScriptedDialogs::Kind;

class SigningDialogTest : public ::testing::Test {
protected:
    SigningDialogTest() {
        QFile file(offer);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<PREDL/>\r\n");
    }

    // Stands on the certificate whose serial number is `serial`; false when none has it.
    bool choose(sign::SigningDialog& dialog, const QString& serial) {
        for (int row = 0; row < dialog.lstCertificates->count(); ++row) {
            dialog.lstCertificates->setCurrentRow(row);
            if (dialog.memDetails->toPlainText().contains(QStringLiteral("Сериен номер: ") +
                                                          serial + QLatin1Char('\n')))
                return true;
        }
        return false;
    }

    QTemporaryDir folder;
    const QString offer = folder.filePath(QStringLiteral("CenovaOferta_Medika_OOD_OP_3.xml"));
    const QString signature = offer + QStringLiteral(".p7s");
    ScriptedDialogs dialogs;
    ErrorGuard guard{dialogs};
};

TEST_F(SigningDialogTest, SignsWithTheTokensCertificateAfterOnePinAndChecksTheSignature) {
    sign::SigningDialog dialog(guard, offer);
    EXPECT_EQ(dialog.edtFile->text(), offer);
    ASSERT_EQ(dialog.lstCertificates->count(), 2);
    ASSERT_TRUE(choose(dialog, QStringLiteral("01")));
    for (const char* shown :
         {"Титуляр: CN=Иван Петров,O=Медика ООД", "Издател: CN=Удостоверяващ орган за тестове",
          "Валиден от ", "Носител: Bidder"})
        EXPECT_TRUE(dialog.memDetails->toPlainText().contains(QString::fromUtf8(shown))) << shown;
    ASSERT_TRUE(dialog.btnSign->isEnabled());

    dialogs.pinAnswers = {SigningWorld::kPin};
    QTest::mouseClick(dialog.btnSign, Qt::LeftButton);
    EXPECT_TRUE(dialogs.errors().isEmpty())
        << dialogs.errors().join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(dialogs.texts(Kind::Pin).size(), 1);
    EXPECT_TRUE(dialogs.texts(Kind::Pin).front().contains(QStringLiteral("Bidder")));
    EXPECT_TRUE(QFileInfo::exists(signature));
    EXPECT_TRUE(dialog.lblResult->text().contains(signature));

    QTest::mouseClick(dialog.btnVerify, Qt::LeftButton);
    // The file and its signature are sound; the test authority is no trust anchor of the system.
    EXPECT_TRUE(dialog.memDetails->toPlainText().contains(QStringLiteral("Файлът: непроменен")));
    EXPECT_TRUE(
        dialog.memDetails->toPlainText().contains(QStringLiteral("Подписал: CN=Иван Петров")));
    EXPECT_TRUE(dialog.lblResult->text().contains(QStringLiteral("НЕ е потвърден")));
    // With the test authority chosen as the trust anchor, everything holds.
    dialogs.openFileAnswers = {SigningWorld::get().path(QStringLiteral("ca.pem"))};
    QTest::mouseClick(dialog.btnTrust, Qt::LeftButton);
    QTest::mouseClick(dialog.btnVerify, Qt::LeftButton);
    EXPECT_EQ(dialog.lblResult->text(), QStringLiteral("Подписът е валиден."))
        << dialog.memDetails->toPlainText().toStdString();
}

TEST_F(SigningDialogTest, AnExpiredCertificateIsShownWithTheReasonAndCannotSign) {
    sign::SigningDialog dialog(guard, offer);
    ASSERT_TRUE(choose(dialog, QStringLiteral("02")));
    EXPECT_TRUE(dialog.memDetails->toPlainText().contains(
        QStringLiteral("Не може да се подписва с него: Сертификатът е изтекъл на ")));
    EXPECT_FALSE(dialog.btnSign->isEnabled());
    // Even if the press came through, it is refused with the reason before the PIN is asked.
    guard.run([&] { dialog.btnSignClick(); });
    ASSERT_EQ(dialogs.errors().size(), 1);
    EXPECT_TRUE(dialogs.errors().front().startsWith(QStringLiteral("Сертификатът е изтекъл")));
    EXPECT_TRUE(dialogs.texts(Kind::Pin).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(signature));
}

TEST_F(SigningDialogTest, AWrongOrCancelledPinSignsNothingAndIsAskedOnce) {
    struct Case {
        const char* name;
        QByteArray answer;
        int errors;
    } cases[] = {{"wrong", "0000", 1}, {"cancelled", QByteArray(), 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.asked.clear();
        sign::SigningDialog dialog(guard, offer);
        ASSERT_TRUE(choose(dialog, QStringLiteral("01")));
        dialogs.pinAnswers = {c.answer};
        QTest::mouseClick(dialog.btnSign, Qt::LeftButton);
        EXPECT_EQ(dialogs.texts(Kind::Pin).size(), 1);
        ASSERT_EQ(dialogs.errors().size(), c.errors);
        if (c.errors) {
            EXPECT_TRUE(dialogs.errors().front().startsWith(QStringLiteral("Грешен ПИН")));
        }
        EXPECT_FALSE(QFileInfo::exists(signature));
        EXPECT_TRUE(dialog.lblResult->text().isEmpty());
    }
}

TEST_F(SigningDialogTest, SignsWithAKeyFileAskingItsPasswordForEachSignature) {
    sign::SigningDialog dialog(guard, offer);
    dialogs.openFileAnswers = {SigningWorld::get().path(QStringLiteral("signer.p12"))};
    dialogs.pinAnswers = {SigningWorld::kPassword};
    QTest::mouseClick(dialog.btnKeyFile, Qt::LeftButton);
    ASSERT_EQ(dialog.lstCertificates->count(), 3);
    EXPECT_EQ(dialog.lstCertificates->currentRow(), 2);
    EXPECT_TRUE(dialog.memDetails->toPlainText().contains(QStringLiteral("Носител: signer.p12")));
    ASSERT_EQ(dialogs.texts(Kind::Pin).size(), 1);

    // The password opened the file to show its certificate; each signature asks it again.
    for (int press = 1; press <= 2; ++press) {
        SCOPED_TRACE(press);
        QFile::remove(signature);
        dialogs.pinAnswers = {SigningWorld::kPassword};
        QTest::mouseClick(dialog.btnSign, Qt::LeftButton);
        EXPECT_TRUE(dialogs.errors().isEmpty())
            << dialogs.errors().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(dialogs.texts(Kind::Pin).size(), 1 + press);
        EXPECT_TRUE(QFileInfo::exists(signature));
    }
    // Cancelled, the password signs nothing; wrong, it is refused.
    QFile::remove(signature);
    dialogs.pinAnswers = {QByteArray()};
    QTest::mouseClick(dialog.btnSign, Qt::LeftButton);
    EXPECT_TRUE(dialogs.errors().isEmpty());
    dialogs.pinAnswers = {"wrong"};
    QTest::mouseClick(dialog.btnSign, Qt::LeftButton);
    ASSERT_EQ(dialogs.errors().size(), 1);
    EXPECT_TRUE(dialogs.errors().front().startsWith(QStringLiteral("Грешна парола")));
    EXPECT_EQ(dialogs.texts(Kind::Pin).size(), 5);
    EXPECT_FALSE(QFileInfo::exists(signature));

    // The cards are read again; the file's certificate stays.
    QTest::mouseClick(dialog.btnRefresh, Qt::LeftButton);
    EXPECT_EQ(dialog.lstCertificates->count(), 3);
}

// A file written again after it was signed is marked when the window opens on it; the file as
// signed is not.
TEST_F(SigningDialogTest, MarksAFileWhoseSignatureNoLongerMatchesIt) {
    {
        sign::SigningDialog dialog(guard, offer);
        dialogs.openFileAnswers = {SigningWorld::get().path(QStringLiteral("signer.p12"))};
        // Once to show the file's certificate, once for the signature.
        dialogs.pinAnswers = {SigningWorld::kPassword, SigningWorld::kPassword};
        QTest::mouseClick(dialog.btnKeyFile, Qt::LeftButton);
        QTest::mouseClick(dialog.btnSign, Qt::LeftButton);
        ASSERT_TRUE(QFileInfo::exists(signature));
    }
    EXPECT_EQ(sign::SigningDialog(guard, offer).lblResult->text(), QString());

    QFile file(offer);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<PREDL><IME_NA_FIRMATA>Друга</IME_NA_FIRMATA></PREDL>\r\n");
    file.close();
    sign::SigningDialog dialog(guard, offer);
    EXPECT_EQ(dialog.lblResult->text(),
              QStringLiteral("Подписът „%1“ не отговаря на файла: файлът е променян след "
                             "подписването. Подпишете го отново.")
                  .arg(signature));
    EXPECT_TRUE(dialogs.errors().isEmpty())
        << dialogs.errors().join(QLatin1Char('\n')).toStdString();
}

TEST(PinDialog, ShowsNothingOfWhatIsTypedAndHandsItOver) {
    QtDialogs dialogs;
    QString shown;
    QLineEdit::EchoMode echo = QLineEdit::Normal;
    QTimer::singleShot(0, [&] {
        QWidget* window = QApplication::activeModalWidget();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->objectName(), QStringLiteral("PinDialog"));
        auto* pin = window->findChild<QLineEdit*>(QStringLiteral("pin"));
        ASSERT_NE(pin, nullptr);
        QTest::keyClicks(pin, QStringLiteral("1234"));
        echo = pin->echoMode();
        shown = pin->displayText();
        QTest::keyClick(pin, Qt::Key_Return);
    });
    const std::optional<QByteArray> answer = dialogs.askPin(QStringLiteral("ПИН за „Bidder“:"));
    EXPECT_EQ(echo, QLineEdit::Password);
    EXPECT_FALSE(shown.contains(QStringLiteral("1234")));
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, QByteArray("1234"));

    QTimer::singleShot(0,
                       [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    EXPECT_FALSE(dialogs.askPin(QStringLiteral("ПИН:")).has_value());
}

} // namespace
