// SPDX-License-Identifier: Apache-2.0
#include "app/main_window.h"
#include "data/dataset.h"
#include "tools/tender_description.h"
#include "ui/error_guard.h"
#include "ui/scripted_dialogs.h"

#include "tender_fixture.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

// A lot taken part in whose only position has no price yet.
const nlohmann::json kTender = {
    {"SPECS", {{{"IME_NA_FIRMATA", "Медикс ООД"}, {"PP1_IME", "Ед. цена"}, {"PP1_RAZRYAD", 3}}}},
    {"PREDLOGENIA",
     {{{"PRODUCT_CODE", 1}, {"CUSTOM_CODE", "1"}, {"PP2_TEXT", "Да"}},
      {{"PRODUCT_CODE", 2}, {"MASTER_CODE", 1}, {"CUSTOM_CODE", "1"}}}}};

QByteArray contents(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

TEST(MainWindowRules, ClosingWithAnUnpricedPositionShowsTheCheckAndKeepsTheWindowOpen) {
    fixture::TenderFolder folder;
    tender::writeTender(kTender, folder.file().toStdString());
    ScriptedDialogs dialogs;
    ErrorGuard guard(dialogs);
    const QString started = QDir::currentPath();
    QDir::setCurrent(folder.path());
    TfmMain window(guard);
    QDir::setCurrent(started);
    window.show();
    ASSERT_TRUE(dialogs.errors().isEmpty()) << dialogs.errors().join(u'\n').toStdString();

    data::Dataset& positions = *window.qryData;
    positions.close();
    positions.setParameter(QStringLiteral("MASTER_CODE"), 1);
    positions.open();
    EXPECT_EQ(positions.fieldByName(QStringLiteral("PP1_NUMBER")).displayFormat(),
              QStringLiteral("# ### ##0.000"));

    const QByteArray before = contents(folder.file());
    positions.edit();
    positions.fieldByName(QStringLiteral("PP2_TEXT")).setValue(QStringLiteral("Спринцовка"));
    EXPECT_FALSE(window.close());

    EXPECT_EQ(dialogs.errors(),
              QStringList{QStringLiteral("\"Ед. цена\" трябва да е по-голямо от 0.\r\n")});
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(positions.state(), data::Dataset::State::Edit);
    EXPECT_EQ(positions.fieldByName(QStringLiteral("PP2_TEXT")).asString(),
              QStringLiteral("Спринцовка"));
    EXPECT_EQ(contents(folder.file()), before);
    positions.cancel();
}

} // namespace
