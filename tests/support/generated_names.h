#pragma once
// A fixed-seed list of place names shaped to trouble a sorted list: exact duplicates, the same
// name in other cases, names that extend earlier ones ("Nieder", "Niederau"), digits ("10"
// before "2") and a few letters outside ASCII whose case folds ("Öhringen", "öhringen").
// Shared by the sorted combo tests, the positioner page test and the fill benchmark.
#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace generated_names {

inline std::vector<std::string> Generate(std::size_t count, std::uint32_t seed = 20250314) {
    static constexpr std::array<const char*, 24> kSyllables{
        "ber",  "lin", "nie", "der", "au",  "ham", "burg", "kas", "sel", "wien", "graz", "ö",
        "hrin", "gen", "ü",   "Ö",   "lin", "gen", "st",   "ad",  "t",   "é",    "co",   "le"};
    static constexpr std::array<const char*, 6> kSuffixes{"au", "la", " 2", " 10", "-Süd", "e"};
    // mt19937's sequence is fixed by the standard; the distributions are not, so only the
    // engine's raw output is used.
    std::mt19937 engine(seed);
    const auto pick = [&engine](std::size_t n) { return static_cast<std::size_t>(engine() % n); };
    const auto recase = [&engine](std::string text) {
        for (char& c : text) {
            // ASCII letters only: the UTF-8 bytes of the other letters stay intact.
            if (c >= 'a' && c <= 'z' && engine() % 3 == 0) c = static_cast<char>(c - 'a' + 'A');
        }
        return text;
    };

    std::vector<std::string> names;
    names.reserve(count);
    while (names.size() < count) {
        const std::size_t kind = names.empty() ? 0 : pick(10);
        if (kind == 7) {
            names.push_back(names[pick(names.size())]);  // an exact duplicate
        } else if (kind == 8) {
            names.push_back(recase(names[pick(names.size())]));  // another case of an earlier name
        } else if (kind == 9) {
            names.push_back(names[pick(names.size())] + kSuffixes[pick(kSuffixes.size())]);
        } else {
            std::string name;
            const std::size_t syllables = 1 + pick(4);
            for (std::size_t i = 0; i < syllables; ++i) name += kSyllables[pick(kSyllables.size())];
            name[0] =
                static_cast<char>(name[0] >= 'a' && name[0] <= 'z' ? name[0] - 'a' + 'A' : name[0]);
            if (pick(20) == 0) name += " " + std::to_string(pick(30));
            names.push_back(name);
        }
    }
    return names;
}

}  // namespace generated_names
