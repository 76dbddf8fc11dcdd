// What the JIG sends back for an EEPROM read, and what a file holds, goes
// through the EDID image helpers: the status pair, the image made from the
// bytes, its hex view and its summary. None may read outside the bytes or
// produce a malformed view, whatever the bytes are.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "edid/edid_image.h"

using namespace zjig::edid;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const EepromImage image = imageFromFile(bytes);
    if (size >= kReceiveSize) (void)statusOf(data[kEepromSize], data[kEepromSize + 1]);

    const auto lines = hexViewLines(image);
    if (lines.size() != 17 || !lines[0].empty()) std::abort();
    for (size_t i = 1; i < lines.size(); ++i)
        if (lines[i].size() != 1 + 16 * 3 + 1 + 16 || lines[i][0] != ':') std::abort();

    const EdidSummary summary = summarize(image);
    if (summary.manufacturer && summary.manufacturer->size() != 3) std::abort();
    const std::string text = summaryText(summary);
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80 || (c < 0x20 && c != '\n')) std::abort();
    return 0;
}
