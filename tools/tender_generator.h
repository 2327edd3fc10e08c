#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>

namespace tender {

// A realistic tender description of `lots` lots and `positions` positions spread over them:
// Bulgarian names of medical consumables of realistic lengths (some long enough to leave their
// rows for long-value pages), units, yearly quantities, maximum prices, and a third of the lots
// taken part in with their positions priced. The same seed gives the same tender.
nlohmann::json generateTender(int lots, int positions, std::uint32_t seed = 1);

} // namespace tender
