// SPDX-License-Identifier: Apache-2.0
#include "jet/page_store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace jet {

std::uint32_t PageStore::allocate() {
    pages_.emplace_back();
    pages_.back().fill(0);
    return static_cast<std::uint32_t>(pages_.size() - 1);
}

void PageStore::writeTo(const std::string& path) const {
    std::string temporary = path + ".part";
    try {
        PageFile file(temporary, PageFile::Access::Create);
        for (std::uint32_t page = 0; page < size(); ++page)
            file.write(page, pages_[page]);
        file.sync();
    } catch (...) {
        std::remove(temporary.c_str());
        throw;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        throw Error(path + ": cannot put the new file in place: " + reason);
    }
}

} // namespace jet
