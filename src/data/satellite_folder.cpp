#include "data/satellite_folder.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace {

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool EndsInIni(std::string_view name) {
    constexpr std::string_view kExtension = ".ini";
    return name.size() >= kExtension.size() &&
           std::equal(kExtension.begin(), kExtension.end(), name.end() - kExtension.size(),
                      [](char wanted, char c) { return wanted == AsciiLower(c); });
}

}  // namespace

std::vector<std::string> ListSatelliteFiles(const std::string& folder, std::size_t count) {
    std::vector<std::string> names;  // a heap, the last in byte order on top
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code typeError;
        if (!EndsInIni(name) || it->is_directory(typeError)) continue;
        names.push_back(std::move(name));
        std::push_heap(names.begin(), names.end());
        if (names.size() > count) {
            std::pop_heap(names.begin(), names.end());
            names.pop_back();
        }
    }
    std::sort_heap(names.begin(), names.end());
    return names;
}
