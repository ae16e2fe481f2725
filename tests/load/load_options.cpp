#include "load/load_options.h"

#include <charconv>

std::optional<std::uint64_t> CountOption(std::string_view argument, std::string_view name) {
    if (!argument.starts_with("--") || argument.substr(2, name.size()) != name) return std::nullopt;
    const std::string_view rest = argument.substr(2 + name.size());
    if (!rest.starts_with('=')) return std::nullopt;
    const std::string_view digits = rest.substr(1);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || value == 0)
        return std::nullopt;
    return value;
}
