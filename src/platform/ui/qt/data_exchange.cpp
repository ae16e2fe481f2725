#include "platform/ui/qt/data_exchange.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <string_view>

#include "platform/ui/message_box.h"

namespace DataExchange {

namespace {

// Blanks, an optional sign, then at least one digit: the number scanf("%d") would read.
std::optional<std::int64_t> ScanDecimal(const std::string& text, bool allowSign) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (!allowSign && text[i] == '-') return std::nullopt;
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    std::int64_t value = 0;
    constexpr std::int64_t kCap = std::int64_t{1} << 33;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = std::min(kCap, value * 10 + (text[i] - '0'));
    }
    return negative ? -value : value;
}

void Refuse(QLineEdit* field, const std::string& prompt) {
    AfxMessageBox(prompt, MB_ICONEXCLAMATION);
    if (field != nullptr) {
        field->setFocus();
        field->selectAll();
    }
}

}  // namespace

std::optional<std::int32_t> ParseInteger(const std::string& text) {
    const auto value = ScanDecimal(text, true);
    if (!value) return std::nullopt;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(*value, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}

std::optional<std::uint32_t> ParseUnsigned(const std::string& text) {
    // Digits and nothing else but blanks around them: "2x", "+5" and "5 5" are no unsigned
    // number, whatever a scan of their first characters would make of them.
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const auto last = text.find_last_not_of(" \t");
    const std::string_view digits = std::string_view(text).substr(first, last - first + 1);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const auto value = ScanDecimal(std::string(digits), false);
    if (!value) return std::nullopt;
    return static_cast<std::uint32_t>(
        std::min<std::int64_t>(*value, std::numeric_limits<std::uint32_t>::max()));
}

std::optional<std::int32_t> ReadInteger(QLineEdit* field) {
    const auto value = ParseInteger(field->text().toStdString());
    if (!value) Refuse(field, kIntegerPrompt);
    return value;
}

std::optional<std::uint32_t> ReadUnsigned(QLineEdit* field) {
    const auto value = ParseUnsigned(field->text().toStdString());
    if (!value) Refuse(field, kPositiveIntegerPrompt);
    return value;
}

bool CheckRange(QLineEdit* field, std::uint32_t value, std::uint32_t minimum,
                std::uint32_t maximum) {
    if (value >= minimum && value <= maximum) return true;
    Refuse(field, RangePrompt(minimum, maximum));
    return false;
}

std::string RangePrompt(std::uint32_t minimum, std::uint32_t maximum) {
    std::string prompt = kRangePrompt;
    prompt.replace(prompt.find("%1"), 2, std::to_string(minimum));
    prompt.replace(prompt.find("%2"), 2, std::to_string(maximum));
    return prompt;
}

}  // namespace DataExchange
