// What the JIG's answer to the flash identification says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zjig::npce {

struct FlashIdAnswer {
    bool accepted = false;  // exactly four bytes came and the first three are the expected ID
    std::string shown;      // the ID bytes that came (at most three), as the memo shows them
};

// `bytes` are the `count` bytes that came after 'Z' (any number).
FlashIdAnswer readFlashId(const uint8_t* bytes, size_t count);

}  // namespace zjig::npce
