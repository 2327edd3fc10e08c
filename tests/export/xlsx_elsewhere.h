// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QJsonObject>
#include <QString>

namespace exporttest {

// The first sheet of an XLSX file as a second, independent reader finds it (read_xlsx.py, with
// nothing but Python's zipfile and ElementTree): {"sheet": name, "frozen_rows": n, "widths": [..],
// "rows": [[{"ref", "value", "bold", "format"} or null, ..], ..]}. A file that reader refuses
// fails the running test, with its reason.
QJsonObject readXlsxElsewhere(const QString& path);

} // namespace exporttest
