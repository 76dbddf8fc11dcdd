// ConnectJig: the connect-and-check routine every mode window runs before it
// talks to the JIG. The windows differ only in the table row they pass.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/ui_port.h"
#include "jiglink/jig_link.h"

namespace zjig {

enum class ConnectResult { NoJig = 0, Accepted = 1, NeedsUpdate = 2 };

// One window's copy of the routine.
struct ConnectVariant {
    std::string window;
    // Identity substrings accepted; empty means any answer (the MEC window).
    std::vector<std::string> accepted;
    uint32_t readMs = 300;
    uint32_t writeMs = 300;
    // Memos that get every line (none: the keyboard window writes no lines).
    std::vector<std::string> memos;
    // Version line prefix per memo, in the order of `memos`.
    std::vector<std::string> versionPrefixes;
    bool writesCountLine = true;         // step 3
    bool latencyForEveryDevice = false;  // keyboard: latency set between format and time-outs
    std::string notFoundLine = "The programmer is not found or does not respond";
};

// The table of the seven windows.
const ConnectVariant& connectVariantEdid();
const ConnectVariant& connectVariantKb901x();
const ConnectVariant& connectVariantKeyboard();
const ConnectVariant& connectVariantMec();
const ConnectVariant& connectVariantIte();
const ConnectVariant& connectVariantNpce();
const ConnectVariant& connectVariantNuvotonJtag();

// Runs the search on `link`. `identity` receives the accepted (or refused)
// identity. `showVersionLines` is the Nuvoton JTAG window's flag: when false
// the version and acceptance lines are not written.
ConnectResult ConnectJig(JigLink& link, UiPort& ui, const ConnectVariant& variant,
                         std::string& identity, bool showVersionLines = true);

}  // namespace zjig
