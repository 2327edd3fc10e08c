// SPDX-License-Identifier: Apache-2.0
#include "app/main_window.h"
#include "data/program_files.h"
#include "print/fHelp.h"
#include "ui/error_guard.h"
#include "ui/scripted_dialogs.h"

#include "print_test_support.h"
#include "tests/app/start_client.h"
#include "tools/tender_description.h"

#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace {

using Kind = ScriptedDialogs::Kind;

class HelpWindow : public ::testing::Test {
protected:
    void SetUp() override {
        fixture::TenderFolder tender;
        tender::writeTender(printing::offerTender(1, 1), tender.file().toStdString());
        window = apptest::startClientIn(tender.path(), guard);
        window->fmHelp = &help;
    }

    void writeHelp(const QByteArray& content) {
        QFile file(programFolder.filePath(QStringLiteral("Help Text.rtf")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir programFolder;
    ScriptedDialogs dialogs;
    ErrorGuard guard{dialogs};
    TfmHelp help{nullptr, [this](const QString& name) { return programFolder.filePath(name); }};
    std::unique_ptr<TfmMain> window;
};

TEST_F(HelpWindow, ShowingTheHelpTwiceShowsItsTextOnce) {
    writeHelp("{\\rtf1\\ansi\\ansicpg1251 \\b \\'cf\\'ee\\'ec\\'ee\\'f9\\b0  \\'e7\\'e0 "
              "\\'ef\\'e5\\'f7\\'e0\\'f2\\par}");
    window->btn1->click();
    window->btn1->click();

    EXPECT_EQ(dialogs.texts(Kind::Preview),
              (QStringList{QStringLiteral("Помощ"), QStringLiteral("Помощ")}));
    EXPECT_EQ(help.edtHelp->toPlainText().trimmed(), QStringLiteral("Помощ за печат"));
    EXPECT_TRUE(help.edtHelp->isReadOnly());
}

// The window really shown, as the bidder sees it, where the scroll bar finds its range.
class ShownDialogs : public ScriptedDialogs {
public:
    // The scroll positions of the help text, and their maxima, at each showing.
    std::vector<std::pair<int, int>> scrolled;

    void showPreview(QDialog& preview) override {
        ScriptedDialogs::showPreview(preview);
        preview.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&preview));
        const QScrollBar& bar = *preview.findChild<QTextEdit*>()->verticalScrollBar();
        scrolled.emplace_back(bar.value(), bar.maximum());
        preview.hide();
    }
};

TEST_F(HelpWindow, OpensAtTheTopOfItsTextEveryTime) {
    QByteArray rtf = "{\\rtf1\\ansi ";
    for (int line = 1; line <= 200; ++line)
        rtf += "Line " + QByteArray::number(line) + "\\par ";
    writeHelp(rtf + "}");
    ShownDialogs shown;
    help.ShowHelp(shown);
    // The bidder scrolls down and closes; the next showing starts at the top again.
    help.edtHelp->verticalScrollBar()->setValue(help.edtHelp->verticalScrollBar()->maximum());
    help.ShowHelp(shown);
    ASSERT_EQ(shown.scrolled.size(), 2u);
    for (const auto& [position, maximum] : shown.scrolled) {
        EXPECT_GT(maximum, 0); // the text is longer than the window
        EXPECT_EQ(position, 0);
    }
}

TEST_F(HelpWindow, AChangedFileShowsAtTheNextPress) {
    writeHelp("Първи вариант");
    window->btn1->click();
    writeHelp("Втори вариант");
    window->btn1->click();
    EXPECT_EQ(help.edtHelp->toPlainText(), QStringLiteral("Втори вариант"));
}

TEST_F(HelpWindow, AMissingFileIsToldAndTheMainWindowGoesOn) {
    window->btn1->click();

    EXPECT_EQ(dialogs.errors(),
              QStringList{QStringLiteral("Cannot open file \"%1\". No such file or directory")
                              .arg(programFolder.filePath(QStringLiteral("Help Text.rtf")))});
    EXPECT_TRUE(dialogs.texts(Kind::Preview).isEmpty());
    EXPECT_FALSE(help.isVisible());
    window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsObosobeniPozicii);
}

TEST_F(HelpWindow, ContentThatIsNeitherRtfNorTextFailsToLoad) {
    writeHelp(QByteArray("\x00\x01\x02garbage", 10));
    window->btn1->click();
    EXPECT_EQ(dialogs.errors(), QStringList{QStringLiteral("Failed to Load Stream")});
    EXPECT_TRUE(dialogs.texts(Kind::Preview).isEmpty());
}

TEST_F(HelpWindow, BrokenRtfIsShownAsPlainText) {
    writeHelp("{\\rtf1 unbalanced {\\b group");
    window->btn1->click();
    EXPECT_TRUE(dialogs.errors().isEmpty());
    EXPECT_EQ(help.edtHelp->toPlainText(), QStringLiteral("{\\rtf1 unbalanced {\\b group"));
}

// A help text the reader would spend minutes or gigabytes on is refused at once, naming the
// file; the main window goes on.
TEST_F(HelpWindow, RtfBeyondTheReadersBoundsIsToldNamingTheFile) {
    const QByteArray refused[] = {"{\\rtf1 " + QByteArray(5000000, '{'),
                                  "{\\rtf1 " + QByteArray(10 << 20, 'x') + "}"};
    for (const QByteArray& content : refused) {
        writeHelp(content);
        window->btn1->click();
    }
    const QStringList errors = dialogs.errors();
    ASSERT_EQ(errors.size(), 2);
    for (const QString& error : errors)
        EXPECT_TRUE(
            error.startsWith(QStringLiteral("Помощният текст „%1“")
                                 .arg(programFolder.filePath(QStringLiteral("Help Text.rtf")))))
            << error.toStdString();
    EXPECT_TRUE(dialogs.texts(Kind::Preview).isEmpty());
}

TEST(DeliveredHelp, TheUserGuideReadsAsRtfInBulgarian) {
    TfmHelp help;
    help.LoadHelp(data::programFilePath(QStringLiteral("Help Text.rtf")));
    const QString text = help.edtHelp->toPlainText();
    for (const char* expected : {"Данни за фирмата", "Обособени позиции", "Генериране на изх. файл",
                                 "Печат", "трябва да е попълнено"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_FALSE(text.contains(u'\\')) << "no RTF control words left in the text";
}

} // namespace
