// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>

#include <stdexcept>

namespace report {

// An error of the report engine: a template that cannot be read, an expression that names what
// does not exist. The text is meant for the user; what() holds it in UTF-8.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& text) : std::runtime_error(text.toStdString()) {}
};

// The error of a file that cannot be opened: "Cannot open file", the full path in double
// quotes, a full stop and the system's reason.
inline Error cannotOpenFile(const QString& fullPath, const QString& reason) {
    return Error(QStringLiteral("Cannot open file \"%1\". %2").arg(fullPath, reason));
}

} // namespace report
