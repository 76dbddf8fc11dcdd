// The Nuvoton JTAG script parser on any bytes: it must end, refuse or give
// shifts whose lines lie inside the file, and never read outside its input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "nuvoton_jtag_form/nuvjtag_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zjig::nuvjtag;
    const ScriptParse parsed = parseScript(data, size);
    if (parsed.refusal) {
        if (parsed.refusal->line == 0 || parsed.refusal->reason.empty()) std::abort();
        if (!parsed.script.commands.empty()) std::abort();
        return 0;
    }
    uint32_t previous = 0;
    for (const ScriptCommand& c : parsed.script.commands) {
        // In file order, each on a line the file has.
        if (c.line < previous || c.line >= parsed.script.lineCount) std::abort();
        previous = c.line;
        const size_t sent = commandBytes(c).size();
        if (sent != 3 && sent != 6 && sent != 8) std::abort();
    }
    return 0;
}
