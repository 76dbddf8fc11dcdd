// Text from files (database records, file names) shown in memo lines and
// messages: NUL and the other control bytes become "\x1B"-style escapes, so
// that a record can neither be cut short by a NUL nor drive the terminal.
#pragma once

#include <string>
#include <string_view>

namespace zjig {

std::string displayText(std::string_view text);

}  // namespace zjig
