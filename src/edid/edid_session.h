// The EDID EEPROM mode window's work: an LCD panel's 256-byte EEPROM read
// into a file with its hex view, and a file written into it. Both handlers
// run to their end on the window thread; there is no worker and no tag.
#pragma once

#include <memory>

#include "session/session_core.h"

namespace zjig {

class EdidSession : public CoreModeSession {
  public:
    explicit EdidSession(const ModeContext& context);
    ~EdidSession() override;

    // --- window events, on the window thread ---
    void FormCreate() override;
    void EDID_READClick();
    void EDID_WRITEClick();
    void EXIT_EDIDClick();

    // --- for the front ends ---
    // True only while a handler runs (it blocks the window thread meanwhile).
    // An operation has succeeded when the JIG answered "OK" (a read: and the
    // file was saved).
    bool busy() const override;

    // The rest of the session's state is private to its implementation.
    struct State;

  protected:
    SessionCore& core() const override;

  private:
    std::unique_ptr<State> state_;
};

}  // namespace zjig

namespace zjig::edid {
// The mode registry's factory for this mode.
std::unique_ptr<ModeSession> makeSession(const ModeContext& context);
}  // namespace zjig::edid
