// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "data/lot_positions.h"
#include "jet/database.h"

#include <QString>

#include <memory>

namespace data {

// The one connection to the tender file. It stays open from the creation of the main window to
// the end of the program; every dataset reads and posts through it.
class Connection {
public:
    // The tender file of the process's working directory.
    static QString databasePath();

    // Gives the owner write permission on `path` and keeps every other permission bit; a file
    // that cannot be changed (or does not exist) is left as it is, without an error.
    static void makeWritable(const QString& path);

    // The settings the connection is made with, as "name=value" pairs joined by ";". Our engine
    // opens the file itself, so this string is the connection's description: Jet 4 format
    // (engine type 5), the default user, no database password or workgroup file, shared access
    // with page-level locking.
    static QString connectionString(const QString& path);

    // Makes the file writable, then opens it shared for reading and writing. A file the user may
    // still not write (another user's, or on a read-only medium) is opened for reading only,
    // and readOnly() tells so. Throws the engine's error when the file is missing, locked or
    // unreadable; the connection then stays closed.
    void open(const QString& path);
    // Opens the file for reading only, changing nothing about it, not even its permissions;
    // a post through such a connection fails with the engine's error.
    void openReadOnly(const QString& path);
    bool connected() const { return database_ != nullptr; }
    // Whether open() found a file the user may not write.
    bool readOnly() const { return readOnly_; }
    // Throws Error saying why nothing can be changed and what the bidder can do, when the file
    // is one the user may not write.
    void checkWritable() const;
    const QString& description() const { return description_; }

    // Throws Error when the connection is not open.
    jet::Database& database() const;

    // Where the positions of each lot live in this connection's file; emptied by open().
    LotPositions& lotPositions() { return lotPositions_; }

private:
    std::unique_ptr<jet::Database> database_;
    LotPositions lotPositions_;
    QString description_;
    bool readOnly_ = false;
};

} // namespace data
