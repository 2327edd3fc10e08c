// SPDX-License-Identifier: Apache-2.0
#include "data/connection.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "tools/tender_generator.h"
#include "ui/opening_progress.h"
#include "ui/wait_progress.h"

#include "tender_fixture.h"

#include <QPointer>
#include <QProgressDialog>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Opening the lots of a tender of 2,000 positions with the progress watching: a delay that has
// passed shows the dialog, counting the pages of the table to the last; one that has not shows
// nothing. The dialog and the dataset's hook go with the progress object.
TEST(OpeningProgress, ShowsOnlyOnceTheOpeningHasTakenLongerThanItsDelay) {
    fixture::TenderFolder folder;
    data::Connection connection;
    connection.open(folder.write(tender::generateTender(20, 2000)));
    struct Case {
        std::chrono::milliseconds delay;
        bool shown;
    };
    for (const Case& c : {Case{0ms, true}, Case{1h, false}}) {
        SCOPED_TRACE(c.shown ? "delay passed" : "delay not passed");
        auto lots = data::makeQryObosobeniPozicii(connection);
        QPointer<QProgressDialog> dialog;
        {
            OpeningProgress progress(*lots, nullptr, c.delay);
            lots->open();
            dialog = progress.dialog();
            ASSERT_EQ(dialog != nullptr, c.shown);
            if (c.shown) {
                EXPECT_TRUE(dialog->isVisible());
                EXPECT_GT(dialog->maximum(), 100);
                EXPECT_EQ(dialog->value(), dialog->maximum());
            }
        }
        EXPECT_TRUE(dialog.isNull());
        EXPECT_FALSE(lots->onProgress);
        EXPECT_EQ(lots->recordCount(), 20);
    }
}

// A wait the bidder may stop: nothing shows before its delay has passed; after it the dialog
// counts the steps, and once Cancel is pressed every later step hears that it is to stop.
TEST(WaitProgress, ShowsAfterItsDelayAndTellsOfCancel) {
    {
        WaitProgress progress(nullptr, QStringLiteral("Чакане"), 1h);
        EXPECT_TRUE(progress.report(1, 10));
        EXPECT_EQ(progress.dialog(), nullptr);
    }
    QPointer<QProgressDialog> dialog;
    {
        WaitProgress progress(nullptr, QStringLiteral("Чакане"), 0ms);
        EXPECT_TRUE(progress.report(3, 10));
        dialog = progress.dialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->value(), 3);
        EXPECT_EQ(dialog->maximum(), 10);
        dialog->cancel();
        EXPECT_FALSE(progress.report(4, 10));
        EXPECT_FALSE(progress.report(5, 10));
    }
    EXPECT_EQ(dialog, nullptr) << "the dialog goes with the progress";
}

} // namespace
