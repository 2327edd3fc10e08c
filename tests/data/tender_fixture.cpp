// SPDX-License-Identifier: Apache-2.0
#include "tender_fixture.h"

#include "jet/database.h"
#include "jet/error.h"
#include "tools/tender_description.h"

#include <QFile>

#include <optional>

namespace fixture {

namespace {

std::optional<jet::RowId> findRow(const jet::Database& database, const jet::TableDef& table,
                                  const std::string& keyColumn, const jet::Value& key,
                                  jet::Row* row = nullptr) {
    std::optional<jet::RowId> found;
    const std::size_t at =
        keyColumn.empty()
            ? 0
            : static_cast<std::size_t>(&table.column(keyColumn) - table.columns.data());
    database.scan(table, [&](jet::RowId id, const jet::Row& values) {
        if (found || (!keyColumn.empty() && !(values[at] == key)))
            return;
        found = id;
        if (row != nullptr)
            *row = values;
    });
    if (!found)
        throw jet::Error("fixture: no row in " + table.name);
    return found;
}

} // namespace

TenderFolder::TenderFolder() {
    if (!dir_.isValid())
        throw jet::Error("fixture: no temporary folder");
}

QString TenderFolder::file(const QString& name) const {
    return dir_.filePath(name);
}

nlohmann::json TenderFolder::sample() {
    QFile file(QStringLiteral(BRX_SHARED_DIR "/mdb/tender-sample.json"));
    if (!file.open(QIODevice::ReadOnly))
        throw jet::Error("fixture: cannot read the sample tender's description");
    return nlohmann::json::parse(file.readAll().toStdString());
}

QString TenderFolder::writeSample(const ColumnValues& specs, const QString& name) const {
    nlohmann::json description = sample();
    nlohmann::json& record = description["SPECS"][0];
    for (const auto& [column, value] : specs) {
        if (jet::isNull(value))
            record[column] = nullptr;
        else if (const auto* number = std::get_if<std::int64_t>(&value))
            record[column] = *number;
        else if (const auto* real = std::get_if<double>(&value))
            record[column] = *real;
        else if (const auto* flag = std::get_if<bool>(&value))
            record[column] = *flag;
        else
            record[column] = std::get<std::string>(value);
    }
    return write(description, {}, name);
}

QString TenderFolder::write(const nlohmann::json& description, const tender::SchemaChanges& changes,
                            const QString& name) const {
    const QString target = file(name);
    QFile::remove(target);
    nlohmann::json fitted = description;
    for (const tender::SchemaChanges::Retype& retype : changes.retyped) {
        const std::size_t dot = retype.column.find('.');
        for (nlohmann::json& row : fitted[retype.column.substr(0, dot)])
            row.erase(retype.column.substr(dot + 1));
    }
    tender::writeTender(fitted, target.toStdString(), changes);
    return target;
}

void updateRow(const QString& file, const std::string& table, const std::string& keyColumn,
               const jet::Value& key, const ColumnValues& values) {
    jet::Database database(file.toStdString(), jet::Database::Mode::ReadWrite);
    const jet::TableDef def = database.table(table);
    std::vector<jet::Database::ColumnChange> changes;
    for (const auto& [column, value] : values)
        changes.push_back({column, value});
    database.update(def, *findRow(database, def, keyColumn, key), changes);
}

jet::Value readColumn(const QString& file, const std::string& table, const std::string& keyColumn,
                      const jet::Value& key, const std::string& column) {
    jet::Database database(file.toStdString(), jet::Database::Mode::ReadOnly);
    const jet::TableDef def = database.table(table);
    jet::Row row;
    findRow(database, def, keyColumn, key, &row);
    return row.at(static_cast<std::size_t>(&def.column(column) - def.columns.data()));
}

} // namespace fixture
