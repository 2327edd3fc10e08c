// SPDX-License-Identifier: Apache-2.0
#include "jet/header.h"

#include "jet/bytes.h"
#include "jet/page_file.h"

#include <array>
#include <numeric>

namespace jet {

namespace {

constexpr std::size_t kMaskedAt = 0x18;
constexpr std::size_t kMaskedLength = 128;
constexpr std::array<std::uint8_t, 4> kMaskKey = {0xC7, 0xDA, 0x39, 0x6B};
constexpr std::array<std::uint8_t, 13> kSignature = {0x00, 0x01, 0x00, 0x00, 'S', 't', 'a',
                                                     'n',  'd',  'a',  'r',  'd', ' '};

} // namespace

void maskHeader(std::uint8_t* region, std::size_t length) {
    std::array<std::uint8_t, 256> state;
    std::iota(state.begin(), state.end(), std::uint8_t{0});
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < state.size(); ++i) {
        j = static_cast<std::uint8_t>(j + state[i] + kMaskKey[i % kMaskKey.size()]);
        std::swap(state[i], state[j]);
    }
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    for (std::size_t k = 0; k < length; ++k) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + state[a]);
        std::swap(state[a], state[b]);
        region[k] ^= state[static_cast<std::uint8_t>(state[a] + state[b])];
    }
}

Header readHeader(const PageFile& file) {
    std::uint32_t pages = file.pageCount();
    if (pages == 0)
        throw Error(file.where() + ": the file is empty or shorter than one page");
    Page page = file.read(0);
    if (!std::equal(kSignature.begin(), kSignature.end(), page.begin()))
        throw Error(file.where() + ": not an Access database (no signature on page 0)");
    Header header;
    header.version = page[0x14];
    if (header.version == kJet3)
        throw Error(file.where() + ": Jet 3 (Access 97) files are not supported, only Jet 4");
    if (header.version != kJet4)
        throw Error(file.where() + ": unsupported format version " +
                    std::to_string(header.version) + ", only Jet 4 (Access 2000-2003) is read");
    maskHeader(page.data() + kMaskedAt, kMaskedLength);
    ByteView view(page, file.where(0));
    header.codePage = view.u16(0x3C);
    header.databaseKey = view.u32(0x3E);
    header.sortOrder = view.u16(0x6E);
    if (header.databaseKey != 0)
        throw Error(file.where() + ": the database is encrypted, which is not supported");
    return header;
}

} // namespace jet
