// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>

namespace data {

// The full path of a file delivered with the program (a report template, the help text): the
// folder of the program file first; for an installed program whose folder lacks it, the
// installation's data folder share/brx-client beside its bin folder, or beside the lib folder
// of a program in lib/brx-client. When none holds the file, the path next to the program, so
// that the error names where it was looked for first.
QString programFilePath(const QString& fileName);

} // namespace data
