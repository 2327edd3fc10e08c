// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/value.h"

#include <filesystem>
#include <string>

namespace jettest {

// A file among the shared reference files, e.g. sharedFile("real/testV2000.mdb").
std::filesystem::path sharedFile(const std::string& name);

jet::Bytes fileBytes(const std::filesystem::path& path);

// A fresh folder for one test's patched copies, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path write(const std::string& name, const jet::Bytes& bytes) const;

private:
    std::filesystem::path path_;
};

} // namespace jettest
