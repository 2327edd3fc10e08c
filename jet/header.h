// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>

namespace jet {

class PageFile;

// What the engine needs from page 0: the file is Jet 4 and not encrypted.
struct Header {
    std::uint8_t version = 0;
    std::uint16_t codePage = 0;
    std::uint32_t databaseKey = 0;
    std::uint16_t sortOrder = 0;
};

inline constexpr std::uint8_t kJet3 = 0x00;
inline constexpr std::uint8_t kJet4 = 0x01;

// Reads and checks the header; throws with the reason for a file that is not a Jet 4 database.
Header readHeader(const PageFile& file);

// The header region from 0x18 is masked with a fixed RC4 keystream; applying it again unmasks.
void maskHeader(std::uint8_t* region, std::size_t length);

} // namespace jet
