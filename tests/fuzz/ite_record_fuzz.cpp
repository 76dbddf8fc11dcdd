// A motherboard database of the ITE mode as it may come from disk: split into
// records, each record read into contacts and its connector size. Whatever
// the bytes, contacts stay 1..32 where set, the connector 24..32 when read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/mb_database.h"
#include "ite/ite_mapping.h"

using namespace zjig;
using namespace zjig::ite;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Selection none;
    none.fill(0);
    for (const std::string& record : splitMbDatabase(text)) {
        const RecordResult r = applyRecord(record, none);
        for (size_t i = 0; i < kSignalCount; ++i) {
            const auto& contact = r.selection[i];
            if (!contact || *contact < 0 || *contact > 32) std::abort();
            // Signals past the stop keep what they had.
            if (r.stop != RecordStop::None && i >= static_cast<size_t>(r.at) && *contact != 0)
                std::abort();
        }
        const KeyboardPins pins = keyboardPins(record);
        if (pins.stop == RecordStop::None && (pins.count < 24 || pins.count > 32)) std::abort();
        if (r.stop == RecordStop::None && pins.stop == RecordStop::None) {
            const ReverseResult turned = reverseCable(r.selection, pins.count);
            if (turned.stop == ReverseStop::None &&
                reverseCable(turned.selection, pins.count).selection != r.selection)
                std::abort();
        }
    }
    return 0;
}
