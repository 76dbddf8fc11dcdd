// The keyboard matrix tester's work: a scan of the keyboard connector that
// runs from START SCAN until STOP (or until the JIG falls silent), painting
// the key shape of every pin pair the JIG reports. The window forwards its
// events to the handlers below (named after the window's controls) and shows
// what the session sends through the port.
#pragma once

#include <chrono>
#include <memory>

#include "session/session_core.h"

namespace zjig {

class KeyboardSession : public CoreModeSession {
  public:
    // The watchdog waits `context.env.userTimeout` when one is given, else
    // one second, for each answer of the JIG.
    explicit KeyboardSession(const ModeContext& context);
    ~KeyboardSession() override;  // stops a running scan and joins its worker

    // --- window events, on the window thread ---
    void FormCreate() override;
    // START SCAN, or STOP while a scan runs.
    void START_SCANClick();
    void EXIT_KB_TESTClick();
    void ClearClick();
    void CheckBox_HIDEClick(bool ticked);
    void Buzzer_boxClick(bool ticked);
    // The watchdog's tick: the JIG has not answered in time.
    void Timer_KEYBTimer();

    // --- for the front ends ---
    // True while a scan runs (tag "Keyboard"). A scan has succeeded when it
    // ended through STOP, failed when the JIG stopped answering.
    bool busy() const override;
    // STOP without the risk of START: asks a running scan to end after its
    // next complete answer, and does nothing when no scan runs.
    void stopScan();
    // Different pairs reported since the last Clear was handled.
    int pairsSeen() const;
    // How long the watchdog waits for an answer.
    std::chrono::milliseconds watchdogLimit() const;

    // The rest of the session's state is private to its implementation.
    struct State;

  protected:
    SessionCore& core() const override;

  private:
    std::unique_ptr<State> state_;
};

}  // namespace zjig

namespace zjig::keyboard {
// The mode registry's factory for this mode.
std::unique_ptr<ModeSession> makeSession(const ModeContext& context);
}  // namespace zjig::keyboard
