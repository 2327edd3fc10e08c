// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/error.h"
#include "jet/value.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>

namespace jet {

inline constexpr std::size_t kPageSize = 4096;
using Page = std::array<std::uint8_t, kPageSize>;
// A Jet 4 file holds at most 2 GB: the pages from this number on are past its reach.
inline constexpr std::uint32_t kMaxPages = 0x80000000u / kPageSize;

// The file as a sequence of 4 KB pages, read and written with pread/pwrite. It keeps no page
// in memory, so what it returns is what is on disk now, whatever other processes have written.
class PageFile {
public:
    enum class Access { Read, ReadWrite, Create };

    PageFile(const std::string& path, Access access);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    const std::string& path() const { return path_; }
    bool writable() const { return access_ != Access::Read; }

    // Number of whole pages in the file as it is on disk now.
    std::uint32_t pageCount() const;

    Page read(std::uint32_t page) const;
    // Reads pages.size() consecutive pages from `first` with one system call: scans read a
    // table's pages in runs.
    void readRun(std::uint32_t first, std::span<Page> pages) const;
    // How many pages read() has returned so far: what an operation touched, for tests.
    std::uint64_t pagesRead() const { return pagesRead_; }
    void write(std::uint32_t page, const Page& data);
    // Writes a new page at the end of the file and returns its number; throws Error of kind
    // SizeLimit when the file already has as many pages as Jet allows.
    std::uint32_t append(const Page& data);
    // Throws that same Error when page `page` lies past Jet's limit.
    void refusePastSizeLimit(std::uint32_t page) const;
    // Makes every write so far durable before returning.
    void sync();
    // Throws Error when the path no longer leads to this open file (it was removed, or another
    // file put in its place): what a writer posted there would be lost with it.
    void checkStillAtPath() const;

    // "FILE" or "FILE, page N": the prefix of every message about this file.
    std::string where() const;
    std::string where(std::uint32_t page) const;
    // "FILE, page N, row R".
    std::string where(RowId row) const;

    // Holds an exclusive byte-range lock (one per open file description, so it also excludes
    // other PageFiles of the same process) while writers change pages. Readers never take it.
    class WriteLock {
    public:
        explicit WriteLock(PageFile& file);
        ~WriteLock();
        WriteLock(const WriteLock&) = delete;
        WriteLock& operator=(const WriteLock&) = delete;

    private:
        PageFile& file_;
    };

    // A write that must not reach the disk before the writes made so far are durable: it is
    // held in memory, where reads see it, until flushHeld, which syncs and then writes what it
    // holds; so many row moves of a batch share one sync instead of one each. A write to a page
    // held flushes first, since the image it writes shows what is held.
    void writeAfterSync(std::uint32_t page, const Page& data);
    void flushHeld();

    // Keeps, from now on, the image each page had before its first write, and the number of
    // pages, so that rollBack can put the file back as it was: a batch of posts is stored whole
    // or not at all. Pages appended meanwhile need no image: rollBack cuts them off.
    void keepUndo();
    // Writes back every kept image, cuts the file to its length when keepUndo began, makes that
    // durable and stops keeping. Page 0, which holds the mark for posts in progress, goes back
    // last, so that a rollback that stops part way still has the mark set.
    void rollBack();
    // Stops keeping images, the writes since keepUndo to stay.
    void dropUndo();

    // Test seam for crash consistency: after `writes` further page writes (write or append)
    // every write, and every sync, fails as if the process had died there; std::nullopt turns
    // it off.
    void failAfterWrites(std::optional<std::size_t> writes) { writesLeft_ = writes; }
    // Test seam for a full disk: a write that would make the file longer than `pages` pages
    // fails as the system fails it when the disk is full; std::nullopt turns it off.
    void limitLength(std::optional<std::uint32_t> pages) { pageLimit_ = pages; }
    // Test seam for a machine that stops: from now on the writes since the last sync are
    // recorded, so that loseUnsyncedWrites can drop them as a stop of the machine may, while the
    // disk kept the writes to the pages in `kept` (the disk writes back in any order).
    void recordUnsyncedWrites() { unsynced_ = Undo{pageCount(), {}}; }
    void loseUnsyncedWrites(const std::set<std::uint32_t>& kept);

private:
    void countWrite();
    void keepImageForUndo(std::uint32_t page);
    void writeBytes(std::uint32_t page, const Page& data);
    // The images of `undo` written back but for the pages in `kept`, and the file cut to its
    // length then.
    struct Undo;
    void restore(const Undo& undo, const std::set<std::uint32_t>& kept, bool throughSeams);

    std::string path_;
    Access access_;
    int fd_ = -1;
    std::optional<std::size_t> writesLeft_;
    std::optional<std::uint32_t> pageLimit_;
    mutable std::uint64_t pagesRead_ = 0;
    struct Undo {
        std::uint32_t pageCount = 0;
        std::map<std::uint32_t, Page> images;
    };
    std::optional<Undo> undo_;
    std::optional<Undo> unsynced_;
    std::map<std::uint32_t, Page> held_;
};

// Thrown by the fault-injection seam; a subclass so tests can tell it from real failures.
class InjectedFault : public Error {
public:
    using Error::Error;
};

} // namespace jet
