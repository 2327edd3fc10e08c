// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>

namespace tender {

// A realistic tender description of `lots` lots and `positions` positions spread over them:
// Bulgarian names of medical consumables of realistic lengths (some long enough to leave their
// rows for long-value pages), units, yearly quantities, maximum prices, and a third of the lots
// taken part in with their positions priced. The same seed gives the same tender.
nlohmann::json generateTender(int lots, int positions, std::uint32_t seed = 1);

// `tender` with an offer in every position: the company named, every lot taken part in, every
// position priced (1.25 above its PRODUCT_CODE) with a trade name and a maker of its own. An
// offer to carry, or to import, as a bidder with a full offer has it.
nlohmann::json everyPositionOffered(nlohmann::json tender);

} // namespace tender
