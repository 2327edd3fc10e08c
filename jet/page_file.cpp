// SPDX-License-Identifier: Apache-2.0
#include "jet/page_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {

namespace {

// The system's refusal of an operation on `file`, described by `what`, with errno's reason.
Error systemError(const std::string& file, const std::string& what) {
    const int error = errno;
    return Error::ofFile(Error::Kind::System, file, what + ": " + std::strerror(error), error);
}

// Far past any real file, so the lock never covers bytes that are read or written.
constexpr off_t kLockOffset = 0x7FFFFF00;

} // namespace

PageFile::PageFile(const std::string& path, Access access) : path_(path), access_(access) {
    // Without O_NONBLOCK, opening a FIFO for reading waits for a writer, and the test for a
    // regular file below would never be reached.
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (access) {
    case Access::Read:
        flags |= O_RDONLY;
        break;
    case Access::ReadWrite:
        flags |= O_RDWR;
        break;
    case Access::Create:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    }
    fd_ = ::open(path.c_str(), flags, 0644);
    if (fd_ < 0)
        throw systemError(path, path + ": cannot open the file");
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd_);
        throw Error::ofFile(Error::Kind::NotAFile, path, path + ": not a regular file");
    }
    if (::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK) != 0) {
        const Error error = systemError(path, path + ": cannot open the file");
        ::close(fd_);
        throw error;
    }
}

PageFile::~PageFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::uint32_t PageFile::pageCount() const {
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        throw systemError(path_, where() + ": cannot read the file size");
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(info.st_size) / kPageSize);
}

Page PageFile::read(std::uint32_t page) const {
    Page data;
    readRun(page, std::span<Page>(&data, 1));
    return data;
}

void PageFile::readRun(std::uint32_t first, std::span<Page> pages) const {
    auto* bytes = reinterpret_cast<std::uint8_t*>(pages.data());
    const std::size_t size = pages.size_bytes();
    off_t offset = static_cast<off_t>(first) * static_cast<off_t>(kPageSize);
    std::size_t done = 0;
    while (done < size) {
        ssize_t got = ::pread(fd_, bytes + done, size - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        std::uint32_t page = first + static_cast<std::uint32_t>(done / kPageSize);
        if (got < 0)
            throw systemError(path_, where(page) + ": cannot read the page");
        if (got == 0)
            throw Error(where(page) + ": the page lies past the end of the file (" +
                        std::to_string(pageCount()) + " pages)");
        done += static_cast<std::size_t>(got);
    }
    for (auto held = held_.lower_bound(first);
         held != held_.end() && held->first - first < pages.size(); ++held)
        pages[held->first - first] = held->second;
    pagesRead_ += pages.size();
}

void PageFile::countWrite() {
    if (!writesLeft_)
        return;
    if (*writesLeft_ == 0)
        throw InjectedFault(where() + ": injected fault, write refused");
    --*writesLeft_;
}

void PageFile::write(std::uint32_t page, const Page& data) {
    if (!writable())
        throw Error::ofFile(Error::Kind::ReadOnly, path_,
                            where(page) + ": the file is open for reading only");
    if (held_.contains(page))
        flushHeld();
    countWrite();
    if (pageLimit_ && page >= *pageLimit_) {
        errno = ENOSPC;
        throw systemError(path_, where(page) + ": cannot write the page");
    }
    keepImageForUndo(page);
    if (unsynced_ && page < unsynced_->pageCount && !unsynced_->images.contains(page))
        unsynced_->images.emplace(page, read(page));
    writeBytes(page, data);
}

void PageFile::keepImageForUndo(std::uint32_t page) {
    if (undo_ && page < undo_->pageCount && !undo_->images.contains(page))
        undo_->images.emplace(page, read(page));
}

void PageFile::writeAfterSync(std::uint32_t page, const Page& data) {
    // Enough for a sync or two over a lot of tens of thousands of positions, little enough (32 MB)
    // to keep in memory.
    constexpr std::size_t kMostHeld = 8192;
    if (!writable())
        throw Error::ofFile(Error::Kind::ReadOnly, path_,
                            where(page) + ": the file is open for reading only");
    keepImageForUndo(page);
    held_[page] = data;
    if (held_.size() >= kMostHeld)
        flushHeld();
}

void PageFile::flushHeld() {
    if (held_.empty())
        return;
    sync();
    std::map<std::uint32_t, Page> held = std::move(held_);
    held_.clear();
    for (const auto& [page, image] : held)
        write(page, image);
}

void PageFile::writeBytes(std::uint32_t page, const Page& data) {
    off_t offset = static_cast<off_t>(page) * static_cast<off_t>(kPageSize);
    std::size_t done = 0;
    while (done < kPageSize) {
        ssize_t put =
            ::pwrite(fd_, data.data() + done, kPageSize - done, offset + static_cast<off_t>(done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            throw systemError(path_, where(page) + ": cannot write the page");
        done += static_cast<std::size_t>(put);
    }
}

void PageFile::restore(const Undo& undo, const std::set<std::uint32_t>& kept, bool throughSeams) {
    const auto put = [&](std::uint32_t page, const Page& image) {
        if (throughSeams)
            write(page, image);
        else
            writeBytes(page, image);
    };
    for (const auto& [page, image] : undo.images)
        if (!kept.contains(page))
            put(page, image);
    if (throughSeams)
        countWrite();
    if (::ftruncate(fd_, static_cast<off_t>(undo.pageCount) * static_cast<off_t>(kPageSize)) != 0)
        throw systemError(path_, where() + ": cannot cut the file back to its length");
}

void PageFile::keepUndo() {
    undo_ = Undo{pageCount(), {}};
}

void PageFile::dropUndo() {
    undo_.reset();
}

void PageFile::rollBack() {
    if (!undo_)
        return;
    Undo undo = std::move(*undo_);
    undo_.reset();
    held_.clear();
    std::set<std::uint32_t> header;
    if (undo.images.contains(0))
        header.insert(0);
    restore(undo, header, true);
    sync();
    if (!header.empty()) {
        write(0, undo.images.at(0));
        sync();
    }
}

void PageFile::loseUnsyncedWrites(const std::set<std::uint32_t>& kept) {
    if (!unsynced_)
        return;
    Undo lost = std::move(*unsynced_);
    unsynced_.reset();
    restore(lost, kept, false);
}

void PageFile::refusePastSizeLimit(std::uint32_t page) const {
    if (page >= kMaxPages)
        throw Error::ofFile(Error::Kind::SizeLimit, path_,
                            where(page) + ": the file has reached Jet's size limit of " +
                                std::to_string(kMaxPages) + " pages (2 GB)");
}

std::uint32_t PageFile::append(const Page& data) {
    std::uint32_t page = pageCount();
    refusePastSizeLimit(page);
    write(page, data);
    return page;
}

void PageFile::sync() {
    if (writesLeft_ == std::size_t{0})
        throw InjectedFault(where() + ": injected fault, sync refused");
    if (::fdatasync(fd_) != 0)
        throw systemError(path_, where() + ": cannot make the changes durable");
    if (unsynced_)
        unsynced_ = Undo{pageCount(), {}};
}

void PageFile::checkStillAtPath() const {
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd_, &opened) != 0)
        throw systemError(path_, where() + ": cannot read the file's status");
    if (::stat(path_.c_str(), &named) != 0 || named.st_dev != opened.st_dev ||
        named.st_ino != opened.st_ino)
        throw Error::ofFile(Error::Kind::Replaced, path_,
                            where() + ": the file was removed or replaced since it was opened");
}

std::string PageFile::where() const {
    return path_;
}

std::string PageFile::where(RowId row) const {
    return where(row.page) + ", row " + std::to_string(row.row);
}

std::string PageFile::where(std::uint32_t page) const {
    return path_ + ", page " + std::to_string(page);
}

PageFile::WriteLock::WriteLock(PageFile& file) : file_(file) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kLockOffset;
    lock.l_len = 1;
    while (::fcntl(file_.fd_, F_OFD_SETLKW, &lock) != 0) {
        if (errno != EINTR)
            throw systemError(file_.path_, file_.where() + ": cannot lock the file for writing");
    }
}

PageFile::WriteLock::~WriteLock() {
    struct flock lock {};
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kLockOffset;
    lock.l_len = 1;
    ::fcntl(file_.fd_, F_OFD_SETLK, &lock);
}

} // namespace jet
