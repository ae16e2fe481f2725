#pragma once
// Dialog data exchange for integer fields, with the dialog framework's standard prompts. A
// refused field gets its prompt and the keyboard focus, and its member keeps its old value.
#include <QLineEdit>
#include <cstdint>
#include <optional>
#include <string>

namespace DataExchange {

inline constexpr const char* kIntegerPrompt = "请输入一个整数。";
inline constexpr const char* kPositiveIntegerPrompt = "请输入一个正整数。";
inline constexpr const char* kRangePrompt = "请输入一个在 %1 和 %2 之间的整数。";

// A text that begins with a decimal integer (after blanks, with an optional sign); nullopt
// otherwise, the empty text included. Values beyond 32 bits are clamped.
std::optional<std::int32_t> ParseInteger(const std::string& text);
// An unsigned decimal number: digits only, with blanks (spaces, tabs) around them at most; no
// sign, nothing after the digits. Values beyond 32 bits are clamped.
std::optional<std::uint32_t> ParseUnsigned(const std::string& text);

// Reads a field as "%d"; shows the integer prompt when refused.
std::optional<std::int32_t> ReadInteger(QLineEdit* field);
// Reads a field as "%u"; shows the positive-integer prompt when refused.
std::optional<std::uint32_t> ReadUnsigned(QLineEdit* field);
// Checks a value read from `field` against its bounds; shows the range prompt when outside.
bool CheckRange(QLineEdit* field, std::uint32_t value, std::uint32_t minimum,
                std::uint32_t maximum);

// The range prompt with its bounds filled in.
std::string RangePrompt(std::uint32_t minimum, std::uint32_t maximum);

}  // namespace DataExchange
