// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "report/model.h"

#include <QByteArray>
#include <QString>

namespace report {

// Reads a template in the XML form of the report definitions the program is delivered with:
// a TfrxReport holding report pages, their bands and the objects in them. Objects and
// attributes it does not know are skipped. Throws Error for text that is not such a template.
ReportModel readTemplate(const QByteArray& xml, const QString& sourceName);

// Reads the template file at `path`. A file that cannot be opened fails with
// "Cannot open file" and the path in double quotes, a full stop and the system's reason.
ReportModel readTemplateFile(const QString& path);

} // namespace report
