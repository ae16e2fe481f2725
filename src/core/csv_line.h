#pragma once
// One line of comma-separated values, as the exports write them (RFC 4180): fields joined by
// commas, the line ended by CR LF, a field holding a comma, a quote or a line break quoted with
// its quotes doubled.
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

std::string CsvLine(std::span<const std::string> fields);
std::string CsvLine(std::initializer_list<std::string_view> fields);
