// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/error.h"
#include "jet/value.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace jet {

inline constexpr std::size_t kPageSize = 4096;
using Page = std::array<std::uint8_t, kPageSize>;

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
    // Writes a new page at the end of the file and returns its number.
    std::uint32_t append(const Page& data);
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

    // Test seam for crash consistency: after `writes` further page writes (write or append)
    // every write fails as if the process had died there; std::nullopt turns it off.
    void failAfterWrites(std::optional<std::size_t> writes) { writesLeft_ = writes; }

private:
    void countWrite();

    std::string path_;
    Access access_;
    int fd_ = -1;
    std::optional<std::size_t> writesLeft_;
    mutable std::uint64_t pagesRead_ = 0;
};

// Thrown by the fault-injection seam; a subclass so tests can tell it from real failures.
class InjectedFault : public Error {
public:
    using Error::Error;
};

} // namespace jet
