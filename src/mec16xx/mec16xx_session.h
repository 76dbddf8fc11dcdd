// The MEC16xx mode window's work: the connection check with the protection
// status, the flash read (main area, and INFO on request), the erase and the
// write, with the worker that streams the flash. The window forwards its
// events to the handlers below (named after the window's controls) and shows
// what the session sends through the port.
#pragma once

#include <memory>
#include <string>

#include "session/session_core.h"

namespace zjig {

class Mec16Session : public CoreModeSession {
  public:
    explicit Mec16Session(const ModeContext& context);
    ~Mec16Session() override;  // stops a running operation and joins its worker

    // --- window events, on the window thread ---
    void FormCreate() override;
    void BitBtn_MEC16Click();        // "Check connect to MEC"
    void BitBtn_RD_MEC16Click();     // "Read FLASH MEC "
    void BitBtn_MEC16_ERASEClick();  // "Erase FLASH MEC16"
    void BitBtn_MEC16_WRITEClick();  // "Write FLASH MEC16"
    void EXIT_MEC16Click();          // "STOP and EXIT"
    void BitBtn_MEC16_HELPClick();   // "HELP"
    // The check boxes were ticked or cleared by the user.
    void CheckBox_MEC16_RDClick(bool ticked);
    void CheckBox_erase_mec16Click(bool ticked);

    // --- for the front ends ---
    // True while an operation runs (tag not "NONE"). An operation has
    // succeeded when it ended with its success byte and no loss line.
    bool busy() const override;
    // Set by EXIT during an operation; a read stops after its current block.
    bool userBreak() const;

    // The rest of the session's state is private to its implementation.
    struct State;

  protected:
    SessionCore& core() const override;

  private:
    std::unique_ptr<State> state_;
};

}  // namespace zjig

namespace zjig::mec16 {
// The mode registry's factory for this mode.
std::unique_ptr<ModeSession> makeSession(const ModeContext& context);
}  // namespace zjig::mec16
