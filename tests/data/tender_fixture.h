// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/value.h"
#include "tools/tender_schema.h"

#include <nlohmann/json.hpp>

#include <QString>
#include <QTemporaryDir>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

// Readable QStrings in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace fixture {

using ColumnValues = std::vector<std::pair<std::string, jet::Value>>;

// A temporary folder for the tender files of one test.
class TenderFolder {
public:
    TenderFolder();

    QString path() const { return dir_.path(); }
    QString file(const QString& name = QStringLiteral("DB.mdb")) const;

    // Writes the sample tender under `name`, its tender record changed as given.
    QString writeSample(const ColumnValues& specs = {},
                        const QString& name = QStringLiteral("DB.mdb")) const;
    // Writes a tender described as {"SPECS": [...], "PREDLOGENIA": [...]}, its schema changed
    // as given (columns left out, or retyped and then left empty).
    QString write(const nlohmann::json& description, const tender::SchemaChanges& changes = {},
                  const QString& name = QStringLiteral("DB.mdb")) const;

    // The description of the shared sample tender: six lots, among them one without positions,
    // codes that sort as text, and a position whose lot does not exist.
    static nlohmann::json sample();

private:
    QTemporaryDir dir_;
};

// Changes columns of the row of `table` whose `keyColumn` holds `key` (the first row when
// `keyColumn` is empty), through the engine.
void updateRow(const QString& file, const std::string& table, const std::string& keyColumn,
               const jet::Value& key, const ColumnValues& values);

// A column of that row as it is on disk now, read through our reader.
jet::Value readColumn(const QString& file, const std::string& table, const std::string& keyColumn,
                      const jet::Value& key, const std::string& column);

} // namespace fixture
