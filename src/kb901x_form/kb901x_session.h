// The ENE KB90XX mode window's work: the motherboard database and cable
// routing, and the flash read, write and verification with their worker.
// The window forwards its events to the handlers below (named after the
// window's controls) and shows what the session sends through the port.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/ui_port.h"
#include "jiglink/connect_jig.h"
#include "jiglink/jig_link.h"
#include "session/session_core.h"

namespace zjig {

inline constexpr const char* kEneDatabaseName = "MB connection ENE.txt";

class Kb901xSession : public CoreModeSession {
  public:
    // The motherboard database is `context.dataDir` + kEneDatabaseName.
    explicit Kb901xSession(const ModeContext& context);
    ~Kb901xSession() override;  // stops a running operation and joins its worker

    // --- window events, on the window thread ---
    void FormCreate() override;
    void ComboBox_KB901XSelect(const std::string& motherboardText);
    void ComboBox_KB901X_FFCSelect(const std::string& cableText);
    void CheckBox_KB901XClick(bool ticked);
    void SpeedButton1Click();
    void KB901X_READClick();
    void KB901X_WRITEClick();
    void EXIT_KB901XClick();

    // --- for the front ends ---
    // True while a read or write runs (tag not "NONE"). An operation has
    // succeeded when its success byte was sent (for the apply: when the
    // routing was sent completely).
    bool busy() const override;
    // Set by a complete apply, cleared by EXIT and by the next apply.
    bool routingApplied() const;

    // The rest of the session's state is private to its implementation.
    struct State;

  protected:
    SessionCore& core() const override;

  private:
    std::unique_ptr<State> state_;
};

}  // namespace zjig

namespace zjig::kb90 {
// The mode registry's factory for this mode.
std::unique_ptr<ModeSession> makeSession(const ModeContext& context);
}  // namespace zjig::kb90
