#pragma once
// The load tests' own command-line option: "--name=N" with N a positive whole number.
#include <cstdint>
#include <optional>
#include <string_view>

// N when `argument` is "--<name>=N" with N > 0; nullopt for anything else.
std::optional<std::uint64_t> CountOption(std::string_view argument, std::string_view name);
