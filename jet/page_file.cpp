#include "jet/page_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {

namespace {

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
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
        throw Error(systemError(path + ": cannot open the file"));
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd_);
        throw Error(path + ": not a regular file");
    }
    if (::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK) != 0) {
        std::string message = systemError(path + ": cannot open the file");
        ::close(fd_);
        throw Error(message);
    }
}

PageFile::~PageFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::uint32_t PageFile::pageCount() const {
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        throw Error(systemError(where() + ": cannot read the file size"));
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(info.st_size) / kPageSize);
}

Page PageFile::read(std::uint32_t page) const {
    Page data;
    off_t offset = static_cast<off_t>(page) * static_cast<off_t>(kPageSize);
    std::size_t done = 0;
    while (done < kPageSize) {
        ssize_t got =
            ::pread(fd_, data.data() + done, kPageSize - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw Error(systemError(where(page) + ": cannot read the page"));
        if (got == 0)
            throw Error(where(page) + ": the page lies past the end of the file (" +
                        std::to_string(pageCount()) + " pages)");
        done += static_cast<std::size_t>(got);
    }
    return data;
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
        throw Error(where(page) + ": the file is open for reading only");
    countWrite();
    off_t offset = static_cast<off_t>(page) * static_cast<off_t>(kPageSize);
    std::size_t done = 0;
    while (done < kPageSize) {
        ssize_t put =
            ::pwrite(fd_, data.data() + done, kPageSize - done, offset + static_cast<off_t>(done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            throw Error(systemError(where(page) + ": cannot write the page"));
        done += static_cast<std::size_t>(put);
    }
}

std::uint32_t PageFile::append(const Page& data) {
    std::uint32_t page = pageCount();
    write(page, data);
    return page;
}

void PageFile::sync() {
    if (::fdatasync(fd_) != 0)
        throw Error(systemError(where() + ": cannot make the changes durable"));
}

void PageFile::checkStillAtPath() const {
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd_, &opened) != 0)
        throw Error(systemError(where() + ": cannot read the file's status"));
    if (::stat(path_.c_str(), &named) != 0 || named.st_dev != opened.st_dev ||
        named.st_ino != opened.st_ino)
        throw Error(where() + ": the file was removed or replaced since it was opened");
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
            throw Error(systemError(file_.where() + ": cannot lock the file for writing"));
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
