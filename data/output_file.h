// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "data/error.h"

#include <QString>

#include <functional>

class QFile;

namespace data {

// An output that could not be written: the path as the user named it and why, in words the
// bidder reads.
class OutputError : public Error {
public:
    OutputError(const QString& path, const QString& reason);

    const QString& path() const { return path_; }
    const QString& reason() const { return reason_; }

private:
    QString path_;
    QString reason_;
};

// The one way the program writes a file the user named (an offer, a printed offer, a price
// list). `write` fills an empty file opened for writing and returns whether it succeeded; it may
// also throw, and its exception passes on.
//
// The new content goes to a temporary file beside the target and replaces it by a rename once it
// is complete and on disk, so that a failure leaves an earlier file of that name as it was. A
// symbolic link is followed to the file it names, which is replaced and keeps its mode; the link
// stays. A new file gets the mode the umask leaves of rw-rw-rw-. A path that names anything but
// a regular file or nothing (a device, a pipe, a folder) is refused and left alone.
//
// A signature beside the file (FILE.p7s) signs the old content: when the new content differs,
// it is moved aside to FILE.p7s.old before the file is replaced, so that no signature stands
// beside a file it does not match. Returns the path it was moved to; empty when there was none
// to move. Moving happens first: when it fails, nothing is replaced.
//
// Throws OutputError when the target is refused or the file cannot be written.
QString writeOutputFile(const QString& path, const std::function<bool(QFile&)>& write);

// What the bidder is told when writing `path` moved its signature aside to `movedTo`.
QString staleSignatureNotice(const QString& path, const QString& movedTo);

// The system's reason for a failed file operation (an errno value) in Bulgarian.
QString systemReason(int error);

// Makes a rename in `folder` durable. Best effort: a folder that cannot be opened or synced
// still holds the complete file, only its name may not have reached the disk yet.
void syncFolder(const QString& folder);

} // namespace data
