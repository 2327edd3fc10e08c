// SPDX-License-Identifier: Apache-2.0
// brx-offer carry of a 10,000-position offer killed with SIGKILL at random moments: every
// position holds all of its old values or all of its new ones, every lot its old or its new
// participation, and the file stays sound for tenderdb check.

#include "jet/database.h"
#include "tools/tender_generator.h"

#include "tender_fixture.h"
#include "tests/jet/process.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

constexpr int kPositions = 10000;

// The carried columns of every row by PRODUCT_CODE, read through our reader.
using Values = std::map<std::int64_t, std::vector<jet::Value>>;
Values carriedColumns(const QString& file) {
    const jet::Database database(file.toStdString(), jet::Database::Mode::ReadOnly);
    const jet::TableDef table = database.table("PREDLOGENIA");
    const auto at = [&](const char* name) {
        return static_cast<std::size_t>(&table.column(name) - table.columns.data());
    };
    const std::vector<std::size_t> columns = {at("PP1_NUMBER"), at("PP2_TEXT"), at("PP3_TEXT")};
    const std::size_t code = at("PRODUCT_CODE");
    Values values;
    database.scan(table, [&](jet::RowId, const jet::Row& row) {
        std::vector<jet::Value> carried;
        for (const std::size_t column : columns)
            carried.push_back(row[column]);
        values[std::get<std::int64_t>(row[code])] = carried;
    });
    return values;
}

TEST(CarryKilled, LeavesEveryPositionOldOrNewAndTheFileSound) {
    fixture::TenderFolder folder;
    // The new file as the authority hands it out, a third of its lots offered otherwise; the old
    // one with every position offered.
    const nlohmann::json fresh = tender::generateTender(20, kPositions);
    const QString oldFile =
        folder.write(tender::everyPositionOffered(fresh), {}, QStringLiteral("old.mdb"));
    const QString pristine = folder.write(fresh, {}, QStringLiteral("pristine.mdb"));
    const Values before = carriedColumns(pristine);
    const Values after = carriedColumns(oldFile);
    const QString file = folder.file();

    const auto start = [&](QProcess& process) {
        QFile::remove(file);
        ASSERT_TRUE(QFile::copy(pristine, file));
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        // The lots offered otherwise are the old file's values to take.
        process.start(QStringLiteral(BRX_OFFER_PROGRAM), {"carry", oldFile, file, "--take-old"});
        ASSERT_TRUE(process.waitForStarted());
    };

    // Once whole, to know how long a carry takes and that it carries everything.
    QElapsedTimer clock;
    clock.start();
    {
        QProcess process;
        start(process);
        ASSERT_TRUE(process.waitForFinished(600000));
        EXPECT_EQ(process.exitCode(), 0);
    }
    const qint64 whole = clock.elapsed();
    EXPECT_EQ(carriedColumns(file), after);

    std::mt19937 dice(std::random_device{}());
    std::uniform_int_distribution<qint64> moment(0, whole);
    for (int round = 0; round < 6; ++round) {
        const qint64 killAfter = moment(dice);
        SCOPED_TRACE("killed after " + std::to_string(killAfter) + " ms of " +
                     std::to_string(whole));
        QProcess process;
        start(process);
        QThread::msleep(static_cast<unsigned long>(killAfter));
        process.kill();
        process.waitForFinished();

        const Values now = carriedColumns(file);
        ASSERT_EQ(now.size(), before.size());
        std::size_t carried = 0;
        for (const auto& [code, values] : now) {
            const bool isNew = values == after.at(code);
            EXPECT_TRUE(isNew || values == before.at(code)) << code;
            carried += isNew && values != before.at(code) ? 1 : 0;
        }
        std::printf("killed after %lld of %lld ms: %zu rows carried\n",
                    static_cast<long long>(killAfter), static_cast<long long>(whole), carried);
        EXPECT_EQ(jettest::runProcess({TENDERDB_PATH, "check", file.toStdString()}).status, 0);
    }
}

} // namespace
