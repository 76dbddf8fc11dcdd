// The connection test window's work: visit every attached bridge, show the
// driver version and ask each for its JIG identity, keeping nothing open.
#pragma once

#include "base/ui_port.h"
#include "jiglink/jig_link.h"

namespace zjig {

inline constexpr size_t kTestBufferSize = 100;
inline constexpr uint32_t kTestTimeoutMs = 500;

class ConnectionTest {
  public:
    ConnectionTest(LinkEnv env, UiPort& ui) : link_(std::move(env), kTestBufferSize), ui_(ui) {}
    // "Test connect": appends one block of lines to Test_memo. Returns how
    // many devices could be opened.
    uint32_t BitBtn1Click();

  private:
    JigLink link_;
    UiPort& ui_;
};

// The driver version word in upper-case hexadecimal, at least two digits.
std::string driverVersionText(uint32_t version);

}  // namespace zjig
