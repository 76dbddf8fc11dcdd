// The fifteen contact drop-downs as a user may type into them, then a
// reversal and APPLY's items. A reversal done twice gives the contacts back;
// APPLY either sends sixteen items with contacts 0..32 or names a signal and
// sends none.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ite/ite_mapping.h"

using namespace zjig::ite;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte is the connector size; then fifteen texts split at '|'.
    const int pins = data[0] % 40;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    Selection selection;
    size_t from = 0;
    for (size_t i = 0; i < kSignalCount; ++i) {
        const size_t bar = rest.find('|', from);
        const std::string_view text =
            from <= rest.size()
                ? rest.substr(from,
                              bar == std::string_view::npos ? std::string_view::npos : bar - from)
                : std::string_view();
        selection[i] = contactFromText(text);
        if (selection[i] && (*selection[i] < 0 || *selection[i] > 32)) std::abort();
        from = bar == std::string_view::npos ? rest.size() + 1 : bar + 1;
    }

    const ReverseResult once = reverseCable(selection, pins);
    if (once.stop != ReverseStop::None && once.selection != selection) std::abort();
    if (once.stop == ReverseStop::None) {
        for (const auto& c : once.selection)
            if (!c || *c < 0 || *c > pins) std::abort();
        if (reverseCable(once.selection, pins).selection != selection) std::abort();
    }

    const SetupItems setup = setupItems(selection);
    if (setup.noItem) {
        if (!setup.items.empty()) std::abort();
    } else {
        if (setup.items.size() != kSignalCount + 1) std::abort();
        for (size_t i = 0; i < kSignalCount; ++i)
            if (setup.items[i][2] > 32) std::abort();
    }
    return 0;
}
