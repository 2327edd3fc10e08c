#include "tender_fixture.h"

#include "jet/database.h"
#include "jet/error.h"

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

QString TenderFolder::writeSample(const ColumnValues& specs, const QString& name) const {
    const QString target = file(name);
    QFile::remove(target);
    if (!QFile::copy(QStringLiteral(BRX_SHARED_DIR "/mdb/tender-sample.mdb"), target))
        throw jet::Error("fixture: cannot copy the sample tender");
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ReadGroup | QFileDevice::ReadOther);
    if (!specs.empty())
        updateRow(target, "SPECS", {}, {}, specs);
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
