// What one scan answer of the JIG says: the pairs of connector pins it found
// joined, and which key shape each pair lights.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zjig::keyboard {

struct PinPair {
    int i = 0;  // the lower pin
    int j = 0;  // the higher pin
    bool operator==(const PinPair&) const = default;
};

// Only pairs 1 <= i < j <= 32 have a shape; any other pair would land on the
// shape of another one once turned into a key index.
bool hasShape(PinPair pair);
// (i - 1) * 32 + j: 2 for pins 1 and 2 up to 992 for pins 31 and 32.
int keyIndex(PinPair pair);
// The pair whose key index this is (a pair without a shape for an index
// that is none).
PinPair pairOfKey(int keyIndex);
// "Shape71".
std::string shapeName(int keyIndex);

// The pairs an answer reports, in the order it reports them. The bytes are
// read up to the first '&' (or their end). '>' starts a group; a group's
// first byte (or the answer's, when it does not begin with '>') is pin i,
// each further byte a pin j joined to it. Pairs without a shape are left out.
std::vector<PinPair> parseAnswer(const uint8_t* data, size_t size);

}  // namespace zjig::keyboard
