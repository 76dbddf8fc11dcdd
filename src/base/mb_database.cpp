#include "base/mb_database.h"

namespace zjig {

std::vector<std::string> splitMbDatabase(std::string_view content) {
    std::vector<std::string> records;
    std::string line;
    for (char c : content) {
        if (c == '\r') continue;
        if (c == '\n') {
            records.push_back(std::move(line));
            line.clear();
            continue;
        }
        line.push_back(c);
    }
    return records;
}

std::optional<std::string> mbKeyValue(std::string_view record, std::string_view key) {
    const size_t at = record.find(key);
    if (at == std::string_view::npos) return std::nullopt;
    std::string_view rest = record.substr(at + key.size());
    std::string value;
    if (!rest.empty()) value.push_back(rest[0]);
    if (rest.size() > 1 && rest[1] != ' ') value.push_back(rest[1]);
    return value;
}

std::optional<int> mbDecimal(std::string_view value) {
    // Values are at most two characters; the bound only keeps a caller's
    // longer text from overflowing.
    if (value.empty() || value.size() > 9) return std::nullopt;
    int n = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::optional<int> pinNumber(std::string_view value) {
    if (value.size() > 2) return std::nullopt;
    const auto n = mbDecimal(value);
    if (!n || *n < kFirstConnectorPin || *n > kLastConnectorPin) return std::nullopt;
    return n;
}

}  // namespace zjig
