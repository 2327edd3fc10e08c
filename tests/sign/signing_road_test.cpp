// SPDX-License-Identifier: Apache-2.0
// The bidder's road to a signature in the real window on an X server (Xvfb): the lots page's
// "Подписване..." pressed with the mouse, the certificate of the SoftHSM2 token chosen in the
// list, the PIN typed into the program's own PIN dialog on the keyboard, FILE.p7s written.
// Mouse and keyboard come from xdotool, through the X server, as a bidder's would.

#include "signing_world.h"

#include "app/main_window.h"
#include "export/offer_export.h"
#include "offer/lots_page.h"
#include "sign/signing_dialog.h"
#include "sign/verification.h"
#include "ui/dialogs.h"
#include "ui/error_guard.h"

#include "tests/offer/offer_pages_support.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

using signtest::SigningWorld;

// xdotool, started without waiting: the click it makes opens modal windows, whose event loops
// must run while it works.
void xdotool(const QStringList& arguments) {
    ASSERT_TRUE(QProcess::startDetached(QStringLiteral("xdotool"), arguments));
}

void clickOn(const QWidget& widget, QPoint at = QPoint(-1, -1)) {
    if (at == QPoint(-1, -1))
        at = widget.rect().center();
    const QPoint global = widget.mapToGlobal(at);
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(global.x()),
             QString::number(global.y()), QStringLiteral("click"), QStringLiteral("1")});
}

// Steps run one after another from a timer, which keeps firing inside the modal windows'
// event loops; a step returns true when it is done.
class Road {
public:
    void then(std::function<bool()> step) { steps_.push_back(std::move(step)); }
    // Runs the steps; false when they did not all finish within `timeoutMs`.
    bool run(int timeoutMs) {
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (next_ < steps_.size() && steps_[next_]())
                ++next_;
        });
        timer.start(100);
        QElapsedTimer elapsed;
        elapsed.start();
        while (next_ < steps_.size() && elapsed.elapsed() < timeoutMs)
            QTest::qWait(100);
        return next_ == steps_.size();
    }
    std::size_t reached() const { return next_; }

private:
    std::vector<std::function<bool()>> steps_;
    std::size_t next_ = 0;
};

template <typename T> T* modal(const char* objectName) {
    QWidget* window = QApplication::activeModalWidget();
    return window && window->objectName() == QLatin1String(objectName) && window->isVisible()
               ? qobject_cast<T*>(window)
               : nullptr;
}

TEST(SigningRoad, ButtonTokenCertificatePinDialogSignature) {
    fixture::TenderFolder folder;
    folder.write(pages::smallTender());
    // The client works in the tender's folder, as started from it.
    const QString started = QDir::currentPath();
    QDir::setCurrent(folder.path());
    const auto restore = qScopeGuard([&] { QDir::setCurrent(started); });
    const QString offer = folder.path() + QLatin1Char('/') +
                          OfferExport::proposedFileName(PriceOffer, QStringLiteral("Медикс ООД"),
                                                        QStringLiteral("4"));
    {
        QFile file(offer);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<PREDL/>\r\n");
    }

    QtDialogs dialogs;
    ErrorGuard guard(dialogs);
    TfmMain window(guard);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.pcMain->setCurrentWidget(window.tsObosobeniPozicii);
    // Lot 4, taken part in, whose offer file was written.
    data::Dataset& lots = *window.qryObosobeniPozicii;
    for (lots.first(); !lots.eof(); lots.next())
        if (lots.fieldByName(QStringLiteral("CUSTOM_CODE")).asString() == QLatin1String("4"))
            break;
    ASSERT_FALSE(lots.eof());
    QCoreApplication::processEvents();

    sign::SigningDialog* signing = nullptr;
    QLineEdit* pin = nullptr;
    QString pinShown;
    Road road;
    road.then([&] {
        clickOn(*window.tsObosobeniPozicii->btnPodpisvane);
        return true;
    });
    road.then([&] {
        signing = modal<sign::SigningDialog>("SigningDialog");
        return signing && QTest::qWaitForWindowExposed(signing);
    });
    road.then([&] {
        // The file proposed is the lot's offer; the token's certificates are listed.
        EXPECT_EQ(signing->edtFile->text(), offer);
        EXPECT_EQ(signing->lstCertificates->count(), 2);
        for (int row = 0; row < signing->lstCertificates->count(); ++row) {
            QListWidgetItem* item = signing->lstCertificates->item(row);
            EXPECT_TRUE(item->text().contains(QStringLiteral("Bidder"))) << row;
        }
        // Stand on the expired certificate, so that the mouse's choice of the signer's shows.
        QListWidget& list = *signing->lstCertificates;
        int signerRow = -1;
        for (int row = 0; row < list.count(); ++row) {
            list.setCurrentRow(row);
            if (signing->memDetails->toPlainText().contains(QStringLiteral("Сериен номер: 01\n")))
                signerRow = row;
        }
        EXPECT_GE(signerRow, 0);
        if (signerRow < 0)
            return false;
        list.setCurrentRow(1 - signerRow);
        EXPECT_FALSE(signing->btnSign->isEnabled());
        clickOn(*list.viewport(), list.visualItemRect(list.item(signerRow)).center());
        return true;
    });
    road.then([&] {
        // The mouse's choice has arrived: the certificate is shown and signing is possible.
        return signing->memDetails->toPlainText().contains(QStringLiteral("Сериен номер: 01\n")) &&
               signing->btnSign->isEnabled();
    });
    road.then([&] {
        clickOn(*signing->btnSign);
        return true;
    });
    road.then([&] {
        QWidget* dialog = modal<QWidget>("PinDialog");
        if (!dialog || !QTest::qWaitForWindowExposed(dialog))
            return false;
        pin = dialog->findChild<QLineEdit*>(QStringLiteral("pin"));
        EXPECT_NE(pin, nullptr);
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                 QString::number(dialog->winId()), QStringLiteral("type"),
                 QStringLiteral("--delay"), QStringLiteral("50"),
                 QString::fromLatin1(SigningWorld::kPin)});
        return pin != nullptr;
    });
    road.then([&] {
        if (pin->text() != QLatin1String(SigningWorld::kPin))
            return false;
        pinShown = pin->displayText();
        xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        return true;
    });
    road.then([&] { return QFileInfo::exists(offer + QStringLiteral(".p7s")); });
    road.then([&] {
        if (!signing->lblResult->text().contains(QStringLiteral("Подписът е записан")))
            return false;
        clickOn(*signing->btnClose);
        return true;
    });
    road.then([&] { return QApplication::activeModalWidget() == nullptr; });
    EXPECT_TRUE(road.run(60000)) << "stopped before step " << road.reached() + 1;

    EXPECT_FALSE(pinShown.contains(QLatin1String(SigningWorld::kPin)));
    const sign::Verification verification = sign::verifyFile(
        offer, offer + QStringLiteral(".p7s"), SigningWorld::get().path(QStringLiteral("ca.pem")));
    EXPECT_TRUE(verification.allHold()) << verification.text().toStdString();
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    signtest::SigningWorld::get();
    return RUN_ALL_TESTS();
}
