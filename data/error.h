// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QString>

#include <stdexcept>

namespace data {

// An error of the data layer. The text is meant for the bidder's eyes; what() holds it in UTF-8
// like every other error the program shows.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& text) : std::runtime_error(text.toStdString()) {}
};

// An error of the engine about the file, not about a value: it cannot be reached or written,
// is damaged, or cannot take the change. Unlike a value that does not fit, it stops a batch.
class FileError : public Error {
public:
    using Error::Error;
};

// A field list that does not fit its table: a column missing or of another base type.
class FieldError : public Error {
public:
    using Error::Error;
};

} // namespace data
