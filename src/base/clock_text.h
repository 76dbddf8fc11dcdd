// Date and time as the memo time lines and the run log show them: the short
// date, a space, the long time ("11.12.2026 12:10:23").
#pragma once

#include <string>

namespace zjig {
std::string dateTimeText();
}  // namespace zjig
