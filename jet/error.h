// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace jet {

// The one error type of the engine. Its message names the file and, where one is involved,
// the page, so that a bidder's support request carries enough to find the damage. Its kind, and
// what goes with it, let a caller tell a user what happened in words of its own.
class Error : public std::runtime_error {
public:
    enum class Kind {
        Damage,       // the file's content is not what it must be
        System,       // the system refused an operation on the file; systemError() says why
        NotAFile,     // the path names no regular file
        ReadOnly,     // a change to a file opened for reading only
        Replaced,     // the file was removed or replaced since it was opened
        TooLong,      // a value longer than its column; limit() is the column's width
        OutOfRange,   // a number outside its column's range
        WrongType,    // a value of a kind its column does not hold
        Unchangeable, // a column the engine does not change (indexed, autonumber, long value)
        SizeLimit,    // the file would grow past the 2 GB a Jet 4 file may have
        Unsupported,  // sound content in a form this program does not change; the message says
                      // which
    };

    // Damage.
    explicit Error(const std::string& what) : std::runtime_error(what) {}

    // An error about the file `file` as a whole: System (with the errno value `systemError`),
    // NotAFile, ReadOnly or Replaced.
    static Error ofFile(Kind kind, std::string file, const std::string& what, int systemError = 0) {
        Error error(what);
        error.kind_ = kind;
        error.file_ = std::move(file);
        error.systemError_ = systemError;
        return error;
    }

    // A value that does not fit the column `column` (TooLong, OutOfRange, WrongType) or a
    // column that is not changed (Unchangeable). A row too long for the file is TooLong with no
    // column.
    static Error misfit(Kind kind, std::string column, const std::string& what,
                        std::int64_t limit = 0) {
        Error error(what);
        error.kind_ = kind;
        error.column_ = std::move(column);
        error.limit_ = limit;
        return error;
    }

    Kind kind() const { return kind_; }
    const std::string& file() const { return file_; }
    int systemError() const { return systemError_; }
    const std::string& column() const { return column_; }
    std::int64_t limit() const { return limit_; }

private:
    Kind kind_ = Kind::Damage;
    std::string file_;
    int systemError_ = 0;
    std::string column_;
    std::int64_t limit_ = 0;
};

} // namespace jet
