#include "core/csv_line.h"

namespace {

void AppendField(std::string& line, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += field;
        return;
    }
    line += '"';
    for (const char c : field) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

template <typename Fields>
std::string Join(const Fields& fields) {
    std::string line;
    bool first = true;
    for (const auto& field : fields) {
        if (!first) line += ',';
        first = false;
        AppendField(line, field);
    }
    return line + "\r\n";
}

}  // namespace

std::string CsvLine(std::span<const std::string> fields) {
    return Join(fields);
}

std::string CsvLine(std::initializer_list<std::string_view> fields) {
    return Join(fields);
}
