// SPDX-License-Identifier: Apache-2.0
// How `tenderdb dump` prints stored dates, checked through the built program on copies of a
// shared file with one date patched: the dates mdb-export cannot print and so the comparison with
// it does not cover.

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "tests/jet/process.h"
#include "tests/jet/test_files.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>

namespace {

struct DateCase {
    const char* name;
    double days;
    const char* printed;
};

void PrintTo(const DateCase& c, std::ostream* out) {
    *out << c.name;
}

const DateCase kDateCases[] = {
    {"Epoch", 0.0, "\"12/30/99 00:00:00\""},
    {"AfterEpoch", 2.75, "\"01/01/00 18:00:00\""},
    // Before the epoch the fraction still counts forwards from midnight of the whole day.
    {"BeforeEpoch", -1.25, "\"12/29/99 06:00:00\""},
    {"WithinDayBeforeEpoch", -0.25, "\"12/30/99 06:00:00\""},
    {"FirstDayAccessHolds", -657434.0, "\"01/01/00 00:00:00\""},
    {"LastSecondAccessHolds", 2958465.0 + 86399.0 / 86400.0, "\"12/31/99 23:59:59\""},
    // Damage: no calendar date, so the stored day count stands in for it.
    {"BeforeYear100", -657435.5, "\"-657435.5\""},
    {"Huge", 1e300, "\"1e+300\""},
    {"NotANumber", std::numeric_limits<double>::quiet_NaN(), "\"nan\""},
};

class DumpedDate : public testing::TestWithParam<DateCase> {};

TEST_P(DumpedDate, PrintsAsAccessShowsIt) {
    // Row 1 of DateTestDatabase's only table; DateTimeCol is its second column.
    jettest::TempFolder folder;
    std::string source = jettest::sharedFile("real/DateTestDatabase.mdb").string();
    jet::Bytes bytes = jettest::fileBytes(source);
    {
        jet::Database db(source, jet::Database::Mode::ReadOnly);
        jet::TableDef def = db.table("DateTest");
        jet::RowId first{};
        bool found = false;
        db.scan(def, [&](jet::RowId id, const jet::Row&) {
            first = found ? first : id;
            found = true;
        });
        ASSERT_TRUE(found);
        jet::Page page = db.file().read(first.page);
        std::size_t rowStart = jet::DataPage(page, "").offsetWord(first.row) & jet::kRowOffsetMask;
        std::size_t at =
            first.page * jet::kPageSize + rowStart + 2 + def.column("DateTimeCol").fixedOffset;
        jet::putF64(bytes, at, GetParam().days);
    }
    std::string copy = folder.write("dates.mdb", bytes).string();

    jettest::ProcessResult dump = jettest::runProcess({TENDERDB_PATH, "dump", copy, "DateTest"});
    ASSERT_EQ(dump.status, 0) << dump.err;
    std::size_t line = dump.out.find('\n') + 1;
    std::size_t field = dump.out.find(',', line) + 1;
    EXPECT_EQ(dump.out.substr(field, dump.out.find(',', field) - field), GetParam().printed);
}

INSTANTIATE_TEST_SUITE_P(Cases, DumpedDate, testing::ValuesIn(kDateCases),
                         [](const testing::TestParamInfo<DateCase>& date) {
                             return std::string(date.param.name);
                         });

} // namespace
