// The motherboard databases: plain text files, one record per line, each
// record free text that holds "KEY=value" pairs anywhere in it. The modes
// that fill a motherboard list from such a file share these readers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zjig {

// Contacts of a keyboard connector, as the records number them.
inline constexpr int kFirstConnectorPin = 1;
inline constexpr int kLastConnectorPin = 32;

// The database split into records: a line feed ends a record (empty ones
// included), carriage returns are dropped, and text after the last line feed
// is no record.
std::vector<std::string> splitMbDatabase(std::string_view content);

// The value of `key` ("KSO3=") in a record: the one or two characters after
// the first occurrence of the key, the second one unless the record ends
// there or it is a blank. Nothing when the key is missing.
std::optional<std::string> mbKeyValue(std::string_view record, std::string_view key);

// A key value as a number: one or more decimal digits and nothing else.
std::optional<int> mbDecimal(std::string_view value);

// A key value as a connector pin: one or two decimal digits, 1 to 32.
std::optional<int> pinNumber(std::string_view value);

}  // namespace zjig
