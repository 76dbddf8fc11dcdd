#include "app/modes.h"

#include "app/names.h"

namespace zjig {

const char* modeWindow(std::string_view modeText) {
    if (modeText == kModeEdid) return names::kEdidWindow;
    if (modeText == kModeKeyboard) return names::kKeyboardWindow;
    if (modeText == kModeMec) return names::kMecWindow;
    if (modeText == kModeIte) return names::kIteWindow;
    if (modeText == kModeNpce) return names::kNpceWindow;
    if (modeText == kModeNuvotonJtag) return names::kNuvotonJtagWindow;
    if (modeText == kModeEne) return names::kKb901xWindow;
    return nullptr;
}

}  // namespace zjig
