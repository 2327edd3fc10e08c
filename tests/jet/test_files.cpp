// SPDX-License-Identifier: Apache-2.0
#include "tests/jet/test_files.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace jettest {

namespace fs = std::filesystem;

fs::path sharedFile(const std::string& name) {
    return fs::path(BRX_SHARED_DIR) / "mdb" / name;
}

jet::Bytes fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    jet::Bytes bytes(fs::file_size(path));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return bytes;
}

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "jet-tests-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    fs::remove_all(path_);
}

fs::path TempFolder::write(const std::string& name, const jet::Bytes& bytes) const {
    fs::path file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
    return file;
}

} // namespace jettest
