// Any bytes as one scan answer of the JIG: the parser reads only what it is
// given and reports only pairs that own a shape.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "keyboard/keyboard_answer.h"
#include "keyboard/keyboard_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zjig::keyboard;
    const auto pairs = parseAnswer(data, size);
    if (pairs.size() > size) std::abort();
    for (const PinPair& pair : pairs) {
        if (!hasShape(pair)) std::abort();
        const int key = keyIndex(pair);
        if (key < kFirstKeyIndex || key > kLastKeyIndex || !(pairOfKey(key) == pair)) std::abort();
    }
    return 0;
}
