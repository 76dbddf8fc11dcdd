#include "keyboard/keyboard_answer.h"

#include "keyboard/keyboard_commands.h"

namespace zjig::keyboard {

bool hasShape(PinPair pair) { return pair.i >= 1 && pair.i < pair.j && pair.j <= kPins; }

int keyIndex(PinPair pair) { return (pair.i - 1) * kPins + pair.j; }

PinPair pairOfKey(int keyIndex) {
    if (keyIndex < 1) return {};
    return {(keyIndex - 1) / kPins + 1, (keyIndex - 1) % kPins + 1};
}

std::string shapeName(int keyIndex) { return "Shape" + std::to_string(keyIndex); }

std::vector<PinPair> parseAnswer(const uint8_t* data, size_t size) {
    std::vector<PinPair> pairs;
    bool groupStart = true;
    int first = 0;
    for (size_t k = 0; k < size && data[k] != kAnswerEnd; ++k) {
        const uint8_t b = data[k];
        if (b == kGroupStart) {
            groupStart = true;
        } else if (groupStart) {
            first = b;
            groupStart = false;
        } else if (const PinPair pair{first, b}; hasShape(pair)) {
            pairs.push_back(pair);
        }
    }
    return pairs;
}

}  // namespace zjig::keyboard
