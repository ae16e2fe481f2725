#pragma once
// DVB-S2 physical-layer scrambling codes (EN 302 307-1 clause 5.5.4): the root code is the state
// of the x register after `gold` steps of x(i+18) = x(i+7) + x(i) from state 1. Drivers take
// either form in CodeRecord; the ones that need the gold code convert here.
#include <cstdint>
#include <optional>

namespace pls_code {

// The largest gold code the drivers accept.
inline constexpr std::uint32_t kMaxGold = 262141;

// Gold codes past the register's cycle (2^18 - 1 states) wrap around it.
std::uint32_t RootFromGold(std::uint32_t gold);
// nullopt for 0 and values of 2^18 and above, which no gold code gives.
std::optional<std::uint32_t> GoldFromRoot(std::uint32_t root);

}  // namespace pls_code
