// SPDX-License-Identifier: Apache-2.0
// The lots page's import of a filled price list, driven offscreen with scripted answers.
#include "export/offer_export.h"
#include "export/workbook.h"
#include "tests/app/typing.h"
#include "ui/frParameter.h"

#include "offer_pages_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

namespace {

using Kind = ScriptedDialogs::Kind;

class ImportButton : public pages::Client {
protected:
    // A price list in CSV as a script fills it: heads of the small tender, then the rows, their
    // decimal points written as the regional decimal separator.
    QString sheet(QString rows) const {
        const QString path = folder.path() + QStringLiteral("/prices.csv");
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        rows.replace(u'.', sheet::regionalDecimalSeparator());
        out.write((QStringLiteral("Обособена позиция;№;Наименование;Ед. цена\n") + rows).toUtf8());
        return path;
    }
    void importSheet(const QString& path, bool answer) {
        dialogs.openFileAnswers.push_back(path);
        dialogs.confirmAnswers.push_back(answer);
        window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
        window->tsObosobeniPozicii->btnImport->click();
    }
    // The XML price offer of the current lot, written by the export button.
    QByteArray exportedOffer(const QString& name) {
        const QString target = folder.path() + QLatin1Char('/') + name;
        dialogs.offerTypeAnswers.push_back(PriceOffer);
        dialogs.saveFileAnswers.push_back(target);
        EXPECT_TRUE(window->btnExport->isEnabled());
        window->btnExport->click();
        QFile written(target);
        EXPECT_TRUE(written.open(QIODevice::ReadOnly)) << name.toStdString();
        return written.readAll();
    }
};

TEST_F(ImportButton, ShowsThePreviewStoresOnYesAndRereadsTheLots) {
    start();
    chooseLot(QStringLiteral("2"));
    ASSERT_EQ(lotText("_STATUS"), QStringLiteral("Не са оферирани всички позиции!"));
    importSheet(sheet(QStringLiteral("2;8;x;4.5\n2;9;y;1\n")), true);

    const QStringList asked = dialogs.texts(Kind::Confirm);
    ASSERT_EQ(asked.size(), 1) << dialogs.errors().join(u'\n').toStdString();
    EXPECT_TRUE(asked[0].contains(QStringLiteral("ред 3, обособена позиция 2, позиция 9: няма "
                                                 "такава позиция")))
        << asked[0].toStdString();
    EXPECT_EQ(dialogs.texts(Kind::OpenFile), QStringList{folder.path()});
    EXPECT_EQ(onDisk(23, "PP1_NUMBER"), jet::Value(4.5));
    // The lots are read again: every position of lot 2 is priced now.
    EXPECT_EQ(lotText("CUSTOM_CODE"), QStringLiteral("2"));
    EXPECT_TRUE(lotText("_STATUS").startsWith(QStringLiteral("OK; Обща стойност: 8")));
    EXPECT_TRUE(window->btnExport->isEnabled());
    EXPECT_TRUE(dialogs.errors().isEmpty());
}

TEST_F(ImportButton, NoCancelAndAnUnreadableFileChangeNothing) {
    start();
    chooseLot(QStringLiteral("2"));
    importSheet(sheet(QStringLiteral("2;8;x;4.5\n")), false);
    EXPECT_EQ(onDisk(23, "PP1_NUMBER"), jet::Value(std::monostate{}));

    dialogs.openFileAnswers.push_back(QString()); // the file dialog cancelled
    window->tsObosobeniPozicii->btnImport->click();
    EXPECT_EQ(dialogs.texts(Kind::Confirm).size(), 1);

    const QString missing = folder.path() + QStringLiteral("/missing.csv");
    dialogs.openFileAnswers.push_back(missing);
    window->tsObosobeniPozicii->btnImport->click();
    EXPECT_EQ(dialogs.texts(Kind::Confirm).size(), 1);
    EXPECT_EQ(dialogs.errors().size(), 1);
    EXPECT_EQ(onDisk(23, "PP1_NUMBER"), jet::Value(std::monostate{}));
}

// A position being edited is stored first, through its check, as before any lot switch; when
// the check refuses it, the import does not start.
TEST_F(ImportButton, APendingEditIsStoredOrRefusedFirst) {
    start();
    chooseLot(QStringLiteral("2"));
    positions().edit();
    positions().fieldByName(QStringLiteral("PP1_NUMBER")).clear();
    window->tsObosobeniPozicii->btnImport->click();
    EXPECT_EQ(dialogs.errors(),
              QStringList{QStringLiteral("\"Ед. цена\" трябва да е по-голямо от 0.\r\n")});
    EXPECT_TRUE(dialogs.texts(Kind::OpenFile).isEmpty());

    positions().fieldByName(QStringLiteral("PP1_NUMBER")).setValue(9.0);
    importSheet(sheet(QStringLiteral("2;8;x;4.5\n")), true);
    EXPECT_EQ(onDisk(21, "PP1_NUMBER"), jet::Value(9.0));
    EXPECT_EQ(onDisk(23, "PP1_NUMBER"), jet::Value(4.5));
}

// The offer file after an import equals the one after typing the same price on the edit page.
TEST_F(ImportButton, TheOfferAfterAnImportEqualsTheOfferAfterTyping) {
    start();
    chooseLot(QStringLiteral("2"));
    window->pcMain->setCurrentWidget(window->tsEdit);
    window->edtGoTo->setText(QStringLiteral("8"));
    window->btnGoToClick();
    QLineEdit* price = window->frmParameter[0]->edtParam;
    price->setFocus();
    typing::keys(price, typing::spelled(QStringLiteral("4{sep}5")));
    window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
    ASSERT_EQ(onDisk(23, "PP1_NUMBER"), jet::Value(4.5));
    const QByteArray typed = exportedOffer(QStringLiteral("typed.xml"));

    window.reset();
    dialogs.asked.clear();
    start();
    chooseLot(QStringLiteral("2"));
    importSheet(sheet(QStringLiteral("2;8;x;4.5\n")), true);
    ASSERT_EQ(onDisk(23, "PP1_NUMBER"), jet::Value(4.5));
    EXPECT_EQ(exportedOffer(QStringLiteral("imported.xml")), typed);
    EXPECT_TRUE(dialogs.errors().isEmpty()) << dialogs.errors().join(u'\n').toStdString();
}

// A preview or an outcome of thousands of lines is shown in a list that scrolls, in a window
// that fits the screen, so that its OK is always in reach; every line is there.
TEST(DetailsDialog, ALongListScrollsInAWindowThatFitsTheScreen) {
    QStringList lines;
    for (int i = 1; i <= 10'000; ++i)
        lines << QStringLiteral("ред %1, обособена позиция 1, позиция %1: няма такава позиция")
                     .arg(i);
    QtDialogs dialogs;
    for (const bool error : {false, true}) {
        bool checked = false;
        QTimer::singleShot(0, [&] {
            QWidget* window = QApplication::activeModalWidget();
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(window->objectName(), QStringLiteral("DetailsDialog"));
            const QSize room = window->screen()->availableGeometry().size();
            EXPECT_LE(window->frameGeometry().width(), room.width());
            EXPECT_LE(window->frameGeometry().height(), room.height());
            auto* list = window->findChild<QPlainTextEdit*>(QStringLiteral("details"));
            ASSERT_NE(list, nullptr);
            EXPECT_EQ(list->blockCount(), 10'001);
            EXPECT_TRUE(list->verticalScrollBar()->maximum() > 0);
            auto* buttons = window->findChild<QDialogButtonBox*>();
            ASSERT_NE(buttons, nullptr);
            buttons->buttons().front()->click();
            checked = true;
        });
        if (error)
            dialogs.errorWithDetails(QStringLiteral("Не всички приети позиции са записани."),
                                     lines.join(u'\n') + u'\n');
        else
            dialogs.warningWithDetails(QStringLiteral("Няма позиции за запис."),
                                       lines.join(u'\n') + u'\n');
        EXPECT_TRUE(checked);
    }
}

} // namespace
