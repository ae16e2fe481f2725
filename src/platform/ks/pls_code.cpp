#include "platform/ks/pls_code.h"

namespace pls_code {
namespace {

constexpr std::uint32_t kRegisterStates = (1u << 18) - 1;  // every state but 0

// One step of the x-sequence: the register shifts right, the new bit enters at bit 17.
constexpr std::uint32_t Next(std::uint32_t x) {
    return (((x ^ (x >> 7)) & 1u) << 17) | (x >> 1);
}

}  // namespace

std::uint32_t RootFromGold(std::uint32_t gold) {
    std::uint32_t x = 1;
    for (std::uint32_t i = 0; i < gold % kRegisterStates; ++i) x = Next(x);
    return x;
}

std::optional<std::uint32_t> GoldFromRoot(std::uint32_t root) {
    if (root == 0 || root > kRegisterStates) return std::nullopt;
    std::uint32_t x = 1;
    for (std::uint32_t gold = 0; gold < kRegisterStates; ++gold) {
        if (x == root) return gold;
        x = Next(x);
    }
    return std::nullopt;
}

}  // namespace pls_code
