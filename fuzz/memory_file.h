// SPDX-License-Identifier: Apache-2.0
#pragma once

// The fuzz input as a file: an anonymous in-memory file, so the engine reads it through its
// normal PageFile path (open, fstat, pread) without touching the disk.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace fuzz {

inline const std::string& inputPath() {
    static const std::string path = [] {
        int fd = ::memfd_create("jet-fuzz-input", 0);
        if (fd < 0)
            std::abort();
        return "/proc/self/fd/" + std::to_string(fd);
    }();
    return path;
}

inline void setInput(const std::uint8_t* data, std::size_t size) {
    int fd = std::stoi(inputPath().substr(inputPath().rfind('/') + 1));
    if (::ftruncate(fd, 0) != 0)
        std::abort();
    for (std::size_t done = 0; done < size;) {
        ssize_t put = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (put <= 0)
            std::abort();
        done += static_cast<std::size_t>(put);
    }
}

} // namespace fuzz
