// SPDX-License-Identifier: Apache-2.0
#include "data/connection.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "ui/captions.h"
#include "ui/error_guard.h"
#include "ui/field_edit_binding.h"
#include "ui/frParameter.h"
#include "ui/scripted_dialogs.h"
#include "ui/validating_edit.h"

#include "tender_fixture.h"
#include "typing.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <functional>
#include <memory>

namespace {

using State = data::Dataset::State;
using Format = ValidatingEdit::Format;

// The process runs under the regional settings its ctest entry names in LC_ALL.
TEST(RegionalSettings, AreThoseTheTestRunAskedFor) {
    const QString asked = QString::fromLocal8Bit(qgetenv("LC_ALL"));
    const std::pair<const char*, const char*> separators[] = {
        {"bg_BG", ","}, {"en_US", "."}, {"de_DE", ","}};
    bool known = false;
    for (const auto& [locale, separator] : separators) {
        if (!asked.startsWith(QString::fromLatin1(locale)))
            continue;
        known = true;
        EXPECT_EQ(ValidatingEdit::decimalPoint(), QString::fromLatin1(separator)) << locale;
    }
    if (!known)
        GTEST_SKIP() << "run outside ctest: the system's own settings apply";
}

// One frame over the tender record of a sample tender, in a window of its own, with a second
// input to move the focus to.
class ParameterFrame : public ::testing::Test {
protected:
    void open(const fixture::ColumnValues& specs = {}) {
        file = folder.writeSample(specs);
        connection.open(file);
        qrySpecs = data::makeQrySpecs(connection);
        qrySpecs->open();
        dsSpecs = std::make_unique<data::DataSource>(*qrySpecs);
        window = std::make_unique<QWidget>();
        window->resize(400, 120);
        frame = new TfrmParameter(guard, window.get());
        frame->setGeometry(8, 8, 297, 37);
        elsewhere = new QLineEdit(window.get());
        elsewhere->setGeometry(8, 60, 297, 21);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    void init(int type, int decimals, const char* prefix = "KP1_") {
        frame->InitFrame(*dsSpecs, type, decimals, QString::fromLatin1(prefix),
                         QStringLiteral("Срок на доставка"));
    }

    // Types into the frame's edit, then leaves it as the bidder does.
    void typeAndLeave(const QString& keys) {
        frame->edtParam->setFocus();
        typing::type(frame->edtParam, keys);
        elsewhere->setFocus();
    }

    jet::Value stored(const char* column) const {
        return fixture::readColumn(file, "SPECS", {}, {}, column);
    }

    fixture::TenderFolder folder;
    QString file;
    ScriptedDialogs dialogs;
    ErrorGuard guard{dialogs};
    data::Connection connection;
    std::unique_ptr<data::Dataset> qrySpecs;
    std::unique_ptr<data::DataSource> dsSpecs;
    std::unique_ptr<QWidget> window;
    TfrmParameter* frame = nullptr;
    QLineEdit* elsewhere = nullptr;
};

struct TypeCase {
    int type;
    bool inUse;
    const char* field; // bound field, when in use
    Format format;
};

TEST_F(ParameterFrame, TypeCodesDecideWhetherAndHowTheParameterIsInput) {
    open();
    const TypeCase cases[] = {
        {2, true, "KP1_TEXT", Format::Text}, {3, true, "KP1_NUMBER", Format::Integer},
        {0, false, nullptr, Format::Text},   {1, false, nullptr, Format::Text},
        {4, false, nullptr, Format::Text},   {-1, false, nullptr, Format::Text},
    };
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(c.type);
        init(2, 0); // bound first: a later set-up must detach what an earlier one bound
        init(c.type, 0);
        EXPECT_EQ(!frame->isHidden(), c.inUse);
        EXPECT_EQ(frame->edtParam->isEnabled(), c.inUse);
        EXPECT_EQ(frame->lblParameter->isEnabled(), c.inUse);
        EXPECT_EQ(frame->dataSource() != nullptr, c.inUse);
        ASSERT_EQ(frame->binding() != nullptr, c.inUse);
        if (!c.inUse)
            continue;
        EXPECT_EQ(frame->binding()->field().name(), QString::fromLatin1(c.field));
        EXPECT_EQ(frame->edtParam->format(), c.format);
        EXPECT_EQ(frame->lblParameter->text(), QStringLiteral("Срок на доставка"));
    }

    // What is typed into a frame not in use reaches no field.
    init(4, 0);
    typing::keys(frame->edtParam, QStringLiteral("12"));
    EXPECT_EQ(qrySpecs->state(), State::Browse);
    EXPECT_TRUE(dialogs.asked.empty());
}

// A screen reader names the input by the caption above it, and the name follows the caption when
// the frame is set up for another tender; a caption the tender leaves empty still names it, and a
// "&" in a caption is shown as it stands, not taken for the mark of an underlined letter.
TEST_F(ParameterFrame, TheCaptionNamesTheInputAndTheNameFollowsIt) {
    open();
    EXPECT_EQ(frame->lblParameter->buddy(), frame->edtParam);
    struct NameCase {
        const char* prefix;
        QString caption;
        QString name;
    };
    const NameCase cases[] = {
        {"KP1_", QStringLiteral("Срок на доставка"), QStringLiteral("Срок на доставка")},
        {"KP1_", QStringLiteral("Цена & отстъпка"), QStringLiteral("Цена & отстъпка")},
        {"KP2_", QString(), QStringLiteral("Параметър на поръчката 2")},
        {"PP3_", QString(), QStringLiteral("Предлагана стойност 3")},
        {"PP1_", QString(), QStringLiteral("Цена")},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        frame->InitFrame(*dsSpecs, 2, 0, QString::fromLatin1(c.prefix), c.caption);
        EXPECT_EQ(frame->edtParam->accessibleName(), c.name);
        EXPECT_EQ(captionOf(*frame->lblParameter), c.caption);
        EXPECT_EQ(QKeySequence::mnemonic(frame->lblParameter->text()), QKeySequence());
    }
}

TEST_F(ParameterFrame, TheEditSitsBelowTheCaptionOnAGreenBackground) {
    open();
    init(2, 0);
    EXPECT_EQ(frame->height(), 37);
    EXPECT_EQ(frame->edtParam->geometry(), QRect(0, 16, 297, 21));
    EXPECT_EQ(frame->lblParameter->width(), 297);
    EXPECT_TRUE(frame->edtParam->styleSheet().contains(QStringLiteral("#E9FEE7")));
    EXPECT_TRUE(frame->edtParam->alignment().testFlag(Qt::AlignLeft));
}

TEST_F(ParameterFrame, ATextParameterTakes255CharactersAndRefusesThe256th) {
    open();
    init(2, 0);
    const QString text = QString(254, QChar(u'ж')) + QStringLiteral("яю");
    QStringList told;
    QObject::connect(frame->edtParam, &ValidatingEdit::keystrokeRefused,
                     [&told](const QString& rule) { told << rule; });
    typeAndLeave(text);
    EXPECT_EQ(told, QStringList{QStringLiteral("най-много 255 знака")});
    EXPECT_EQ(frame->edtParam->text(), text.left(255));
    EXPECT_EQ(qrySpecs->fieldByName(QStringLiteral("KP1_TEXT")).asString(), text.left(255));
    EXPECT_TRUE(jet::isNull(stored("KP1_TEXT"))); // the owner of the record posts it
    qrySpecs->post();
    EXPECT_EQ(stored("KP1_TEXT"), jet::Value(text.left(255).toStdString()));
}

// A keystroke refused tells its rule; one taken tells nothing.
struct KeystrokeCase {
    const char* typed; // in the placeholders of typing.h
    const char* shown;
    const char* rule = nullptr; // the one refusal told, {sep} spelled out; none when null
};

void expectKeystrokes(TfrmParameter& frame, const std::vector<KeystrokeCase>& cases) {
    QStringList told;
    const QMetaObject::Connection listening =
        QObject::connect(frame.edtParam, &ValidatingEdit::keystrokeRefused,
                         [&told](const QString& rule) { told << rule; });
    for (const KeystrokeCase& c : cases) {
        frame.edtParam->clear();
        told.clear();
        typing::type(frame.edtParam, QString::fromUtf8(c.typed));
        EXPECT_EQ(frame.edtParam->text(), typing::spelled(QString::fromUtf8(c.shown)))
            << "typed " << c.typed;
        const QStringList expected = c.rule == nullptr
                                         ? QStringList()
                                         : QStringList{typing::spelled(QString::fromUtf8(c.rule))};
        EXPECT_EQ(told, expected) << "typed " << c.typed;
        if (!told.isEmpty()) {
            EXPECT_TRUE(QToolTip::isVisible()) << "typed " << c.typed;
            EXPECT_EQ(QToolTip::text(), told.last()) << "typed " << c.typed;
        }
    }
    QObject::disconnect(listening);
}

const char* const kOnlyIntegers = "само цяло число, без десетичен разделител";
const char* const kOneSeparator = "само един десетичен разделител";

TEST_F(ParameterFrame, AnIntegerParameterRefusesTheDecimalSeparatorAndSaysSo) {
    open();
    init(3, 0);
    expectKeystrokes(*frame, {
                                 {"12{sep}5", "125", kOnlyIntegers},
                                 {"12{keypad}5", "125", kOnlyIntegers},
                                 {"12{keypadcomma}5", "125", kOnlyIntegers},
                                 {"12{other}5", "125", kOnlyIntegers},
                                 {"-7", "-7"},
                                 {"7-", "7", "знакът минус стои само в началото на числото"},
                                 {"+7", "7", "само цифри"},
                                 {"1 000", "1000", "само цифри"},
                                 {"1e5", "15", "само цифри"},
                             });
}

TEST_F(ParameterFrame, ADecimalParameterTakesTheRegionalSeparatorAndItsDecimalsOnly) {
    open();
    init(3, 2);
    const std::string manyNines(400, '9');
    // The input takes no grouping, so the point and the comma of the main keyboard both mean the
    // decimal separator, as the keypad's separator key does: "7,25" typed in a point locale is
    // 7.25, never 725, and "7.25" in a comma locale 7,25.
    expectKeystrokes(*frame,
                     {
                         {"12{sep}5", "12{sep}5"},
                         {"12{other}5", "12{sep}5"},
                         {"7.25", "7{sep}25"},
                         {"7,25", "7{sep}25"},
                         // The keypad's separator key enters the regional separator,
                         // whether the keypad marks it with a point or a comma.
                         {"12{keypad}5", "12{sep}5"},
                         {"12{keypadcomma}5", "12{sep}5"},
                         {"1{sep}2{sep}3", "1{sep}23", kOneSeparator},
                         {"1{sep}2{other}3", "1{sep}23", kOneSeparator},
                         {"1{other}2{keypad}3", "1{sep}23", kOneSeparator},
                         {"1{sep}234", "1{sep}23", "най-много 2 знака след десетичния разделител"},
                         {"{sep}5", "{sep}5"},
                         {"-3{sep}25", "-3{sep}25"},
                         {"3-", "3", "знакът минус стои само в началото на числото"},
                         {"1a", "1", "само цифри и десетичният разделител „{sep}“"},
                     });
    // Each refused keystroke is told, not only the first.
    init(3, 1);
    frame->edtParam->clear();
    QStringList told;
    QObject::connect(frame->edtParam, &ValidatingEdit::keystrokeRefused,
                     [&told](const QString& rule) { told << rule; });
    typing::type(frame->edtParam, QStringLiteral("2{sep}555"));
    EXPECT_EQ(frame->edtParam->text(), typing::spelled("2{sep}5"));
    EXPECT_EQ(told, QStringList(2, QStringLiteral("най-много 1 знак след десетичния разделител")));

    // No more digits than the offer file carries exactly, as the import refuses them: the 16th
    // is refused, decimals counted, leading zeros not.
    init(3, 2);
    frame->edtParam->clear();
    told.clear();
    typing::keys(frame->edtParam, QString::fromStdString(manyNines));
    EXPECT_EQ(frame->edtParam->text().size(), 15);
    EXPECT_EQ(told.size(), 400 - 15);
    EXPECT_EQ(told.value(0), QStringLiteral("най-много 15 цифри"));
    frame->edtParam->clear();
    told.clear();
    typing::type(frame->edtParam, QStringLiteral("0012345678901234{sep}56"));
    EXPECT_EQ(frame->edtParam->text(), typing::spelled("0012345678901234{sep}5"));
    EXPECT_EQ(told, QStringList(QStringLiteral("най-много 15 цифри")));
}

// Text put in at once, whichever way it comes, meets the rules typing does: taken whole, or
// refused whole with the rule of its first refused character told.
TEST_F(ParameterFrame, TextPutInAtOnceMeetsTheRulesOfTyping) {
    open();
    ValidatingEdit& edit = *frame->edtParam;
    QStringList told;
    QObject::connect(&edit, &ValidatingEdit::keystrokeRefused,
                     [&told](const QString& rule) { told << rule; });
    const auto byKey = [&edit](const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    };
    const auto byMenu = [&edit](const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        QContextMenuEvent asked(QContextMenuEvent::Mouse, QPoint(1, 1),
                                edit.mapToGlobal(QPoint(1, 1)));
        QCoreApplication::sendEvent(&edit, &asked);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        const QList<QAction*> actions = menu->actions();
        const auto paste = std::find_if(actions.begin(), actions.end(), [](QAction* action) {
            return action->text().contains(QKeySequence(QKeySequence::Paste).toString());
        });
        ASSERT_NE(paste, actions.end());
        (*paste)->trigger();
        menu->close();
    };
    const auto byInputMethod = [&edit](const QString& text) {
        QInputMethodEvent committed;
        committed.setCommitString(text);
        QCoreApplication::sendEvent(&edit, &committed);
    };
    // Returns whether the drop was taken: a refused one is not, so that a move from another
    // input leaves the text where it was.
    const auto drop = [&edit](const QString& text) {
        QMimeData dragged;
        dragged.setText(text);
        const QPoint at(edit.width() - 2, 5);
        // The drop goes to the widget that took the drag as it entered.
        QDragEnterEvent entered(at, Qt::MoveAction, &dragged, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&edit, &entered);
        QDropEvent dropped(at, Qt::MoveAction, &dragged, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&edit, &dropped);
        return dropped.isAccepted();
    };
    const auto byDrop = [&drop](const QString& text) { drop(text); };
    const std::pair<const char*, std::function<void(const QString&)>> ways[] = {
        {"pasted by key", byKey},
        {"pasted from the menu", byMenu},
        {"committed by an input method", byInputMethod},
        {"dropped", byDrop},
    };
    const auto expectPut = [&](const std::vector<KeystrokeCase>& cases) {
        for (const auto& [way, put] : ways) {
            for (const KeystrokeCase& c : cases) {
                edit.clear();
                told.clear();
                put(typing::spelled(QString::fromUtf8(c.typed)));
                EXPECT_EQ(edit.text(), typing::spelled(QString::fromUtf8(c.shown)))
                    << way << ": " << c.typed;
                EXPECT_EQ(told, c.rule == nullptr
                                    ? QStringList()
                                    : QStringList{typing::spelled(QString::fromUtf8(c.rule))})
                    << way << ": " << c.typed;
            }
        }
    };

    init(3, 2);
    expectPut({
        {"12{sep}5", "12{sep}5"},
        {"7.25", "7{sep}25"},
        {"7,25", "7{sep}25"},
        // Grouped digits, written under any settings, are never taken as another number.
        {"1.23,5", "", kOneSeparator},
        {"1,23.5", "", kOneSeparator},
        {"1 234{sep}50", "", "само цифри и десетичният разделител „{sep}“"},
        {"1{sep}234", "", "най-много 2 знака след десетичния разделител"},
        {"1234567890123456", "", "най-много 15 цифри"},
        {"7-", "", "знакът минус стои само в началото на числото"},
    });
    edit.clear();
    EXPECT_TRUE(drop(typing::spelled("12{sep}5")));
    edit.clear();
    EXPECT_FALSE(drop(typing::spelled("1 234{sep}50")));
    // A copied spreadsheet cell ends with a line end, which is no part of the value.
    byKey(typing::spelled("-3{sep}25\r\n"));
    EXPECT_EQ(edit.text(), typing::spelled("-3{sep}25"));

    init(2, 0);
    const std::string fits(255, 'x');
    const std::string over(256, 'x');
    expectPut({{fits.c_str(), fits.c_str()}, {over.c_str(), "", "най-много 255 знака"}});
}

TEST_F(ParameterFrame, AValueTypedWithThePointOrTheCommaIsStoredAsTyped) {
    open();
    init(3, 2);
    // 725 would be a price a hundred times too high, which nothing refuses.
    const std::pair<const char*, double> cases[] = {{"7.25", 7.25}, {"8,5", 8.5}};
    for (const auto& [typed, value] : cases) {
        frame->edtParam->selectAll();
        typeAndLeave(QString::fromLatin1(typed));
        qrySpecs->post();
        EXPECT_EQ(stored("KP1_NUMBER"), jet::Value(value)) << typed;
    }
}

TEST_F(ParameterFrame, ADecimalParameterShowsExactlyItsDecimals) {
    open({{"KP1_NUMBER", 12.5}, {"KP2_NUMBER", 1234.56}});
    init(3, 2);
    EXPECT_EQ(frame->edtParam->text(), typing::spelled("12{sep}50"));
    frame->InitFrame(*dsSpecs, 3, 3, QStringLiteral("KP2_"), QStringLiteral("Гаранция"));
    EXPECT_EQ(frame->edtParam->text(), typing::spelled("1234{sep}560"));
    // A value holding more decimals than the input takes is shown whole, never rounded into
    // another value.
    frame->InitFrame(*dsSpecs, 3, 0, QStringLiteral("KP2_"), QStringLiteral("Гаранция"));
    EXPECT_EQ(frame->edtParam->text(), typing::spelled("1234{sep}56"));

    // Typed and left: the value goes to the field and comes back with both decimals.
    init(3, 2);
    frame->edtParam->selectAll();
    typeAndLeave(QStringLiteral("7{sep}5"));
    EXPECT_EQ(frame->edtParam->text(), typing::spelled("7{sep}50"));
    EXPECT_EQ(qrySpecs->fieldByName(QStringLiteral("KP1_NUMBER")).value(), QVariant(7.5));
    qrySpecs->post();
    EXPECT_EQ(stored("KP1_NUMBER"), jet::Value(7.5));
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(' ').toStdString();
}

TEST_F(ParameterFrame, AnEmptiedNumberIsStoredAsNull) {
    open({{"KP1_NUMBER", 30.0}});
    init(3, 0);
    frame->edtParam->setFocus();
    frame->edtParam->selectAll();
    QTest::keyClick(frame->edtParam, Qt::Key_Delete);
    qrySpecs->post();
    EXPECT_TRUE(jet::isNull(stored("KP1_NUMBER")));
}

TEST_F(ParameterFrame, ALoneSignIsRefusedOnStoringAndStaysToBeCompleted) {
    open({{"KP1_NUMBER", 30.0}});
    init(3, 0);
    frame->edtParam->selectAll();
    typeAndLeave(QStringLiteral("-"));
    qrySpecs->edit(); // typing did so already; the owner posts now
    EXPECT_FALSE(guard.run([this] { qrySpecs->post(); }));
    EXPECT_EQ(dialogs.errors().last(),
              QStringLiteral("„-“ не е число. Въведете число в полето „Срок на доставка“."));
    EXPECT_EQ(qrySpecs->state(), State::Edit);
    EXPECT_EQ(stored("KP1_NUMBER"), jet::Value(30.0));

    // Still pending: a second attempt does not store the old value under the text shown either.
    EXPECT_FALSE(guard.run([this] { qrySpecs->post(); }));
    EXPECT_EQ(stored("KP1_NUMBER"), jet::Value(30.0));

    frame->edtParam->setFocus();
    frame->edtParam->end(false);
    typing::keys(frame->edtParam, QStringLiteral("5"));
    qrySpecs->post();
    EXPECT_EQ(stored("KP1_NUMBER"), jet::Value(-5.0));
}

TEST_F(ParameterFrame, AColumnTheDatasetLacksLeavesTheEditAttachedButClosedToInput) {
    open();
    frame->InitFrame(*dsSpecs, 2, 0, QStringLiteral("XX1_"), QStringLiteral("Без колона"));
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_FALSE(frame->isHidden());
    EXPECT_EQ(frame->dataSource(), dsSpecs.get());
    EXPECT_EQ(frame->binding(), nullptr);
    typing::keys(frame->edtParam, QStringLiteral("текст"));
    EXPECT_EQ(frame->edtParam->text(), QString());
    EXPECT_EQ(qrySpecs->state(), State::Browse);

    // Set up again for a column that exists, the edit takes input again.
    init(2, 0);
    typing::keys(frame->edtParam, QStringLiteral("текст"));
    EXPECT_EQ(qrySpecs->state(), State::Edit);
}

} // namespace
