// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>

namespace data {

// The full path of a file delivered with the program (a report template, the help text): the
// folder of the program file first; for an installed program whose folder lacks it, the
// installation's data folder beside its bin folder (share/brx-client). When neither holds the
// file, the path next to the program, so that the error names where it was looked for first.
QString programFilePath(const QString& fileName);

} // namespace data
