// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/value.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace tendertest {

// A fresh folder for one test's files, removed with everything in it at the end.
class Folder {
public:
    Folder();
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A table as mdb-export prints it: the header's column names and each row's fields, null and
// empty text both being an empty unquoted field there.
struct ExportedTable {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};
ExportedTable mdbExport(const std::string& file, const std::string& table);

// Expects the rows of `table` in `file` to equal the description's rows, in order, as read by
// mdb-export and by our reader: columns left out of a row are null, a missing autonumber is
// the row's number.
void expectFileHolds(const std::string& file, const nlohmann::json& description,
                     const std::string& table);

// The same through our reader alone, for files whose rows mdb-export lists in another order
// (it lists a moved row where its data lives).
void expectReaderHolds(const std::string& file, const nlohmann::json& description,
                       const std::string& table);

nlohmann::json readJson(const std::string& path);

} // namespace tendertest
