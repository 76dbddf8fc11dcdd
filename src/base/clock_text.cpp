#include "base/clock_text.h"

#include <ctime>

namespace zjig {

std::string dateTimeText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local);
    return text;
}

}  // namespace zjig
