// The settings files VLK-TScap.ini and VLK-IPdata.ini through the private-profile reader and
// writer, as the Tuner Setting page and the mode-code dialog use them: every key the pages read
// at start, then the page's save (each value written back as it was read, numbers as the page
// turns them into numbers). Afterwards every written key must read back what was written and
// every other key what it read before: a write keeps the rest of the file as it was.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/ini_file.h"
#include "fuzz_support.h"
#include "platform/win/c_number.h"
#include "platform/win/private_profile.h"

namespace {

constexpr const char* kSection = "Config";

// The Tuner Setting page: its texts are saved as read, its numbers as the page's numbers.
constexpr std::array<const char*, 5> kTextKeys = {"freq", "symbol", "lnblow", "lnbhigh",
                                                  "lnbswitch"};
constexpr std::array<const char*, 4> kNumberKeys = {"goldcode", "goldtype", "diseqc", "polarity"};
constexpr std::size_t kModCodeCount = 28;
// The keys a save writes, the first of AllKeys(): the page's, then the dialog's "ModCodeAll".
constexpr std::size_t kSavedKeys = kTextKeys.size() + kNumberKeys.size() + 1;

std::vector<std::string> AllKeys() {
    std::vector<std::string> keys(kTextKeys.begin(), kTextKeys.end());
    keys.insert(keys.end(), kNumberKeys.begin(), kNumberKeys.end());
    keys.emplace_back("ModCodeAll");
    for (std::size_t i = 0; i < kModCodeCount; ++i)
        keys.push_back("ModCodeCheck_" + std::to_string(i));
    return keys;
}

// What the reader makes of a value written as it is: blanks around it dropped, then one pair of
// enclosing quotes removed. A value read back can differ from the one read first: a quoted value
// loses its quotes, and blanks the quotes kept (or a NUL byte after them) are dropped.
std::string AsRead(const std::string& value) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
    };
    std::size_t begin = 0;
    std::size_t end = value.size();
    while (begin < end && blank(value[begin])) ++begin;
    while (end > begin && blank(value[end - 1])) --end;
    const std::string trimmed = value.substr(begin, end - begin);
    const bool quoted = trimmed.size() >= 2 &&
                        (trimmed.front() == '"' || trimmed.front() == '\'') &&
                        trimmed.back() == trimmed.front();
    return quoted ? trimmed.substr(1, trimmed.size() - 2) : trimmed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::string> keys = AllKeys();
    static const std::string path = fuzz::ScratchFolder() + "/VLK-TScap.ini";
    fuzz::WriteFile(path, {data, size});

    std::vector<std::string> before;
    for (const std::string& key : keys) before.push_back(ReadIniString(path, kSection, key));

    // The page's 260-character buffer holds a prefix of what a larger one gets.
    for (std::size_t i = 0; i < kSavedKeys; ++i) {
        std::string large(1024, '\0');
        const DWORD length =
            GetPrivateProfileStringA(kSection, keys[i].c_str(), "", large.data(),
                                     static_cast<DWORD>(large.size()), path.c_str());
        FUZZ_CHECK(length < large.size());
        large.resize(length);
        FUZZ_CHECK(before[i].size() <= 259);
        FUZZ_CHECK(large.compare(0, before[i].size(), before[i]) == 0);
        FUZZ_CHECK(large.size() == before[i].size() || before[i].size() == 259);
    }

    // The save of the Tuner Setting page, then the mode-code dialog's "ModCodeAll".
    std::vector<std::string> expected = before;
    for (std::size_t i = 0; i < kSavedKeys; ++i) {
        const bool number = i >= kTextKeys.size();
        const std::string value = number ? std::to_string(platform::Atoi(before[i])) : before[i];
        if (WriteIniString(path, kSection, keys[i], value) != 0) {
            // A line end would split the line; a value read from a line can hold only a CR.
            FUZZ_CHECK(value.find('\r') != std::string::npos);
            continue;
        }
        expected[i] = AsRead(value);
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        FUZZ_CHECK(ReadIniString(path, kSection, keys[i]) == expected[i]);
    }
    return 0;
}
