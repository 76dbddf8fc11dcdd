// The Nuvoton SPI mode window's work: identification of the controller's
// flash, its read to a file, and its erase, write and verification from a
// file, with the worker that moves the blocks. The window forwards its events
// to the handlers below (named after the window's controls) and shows what
// the session sends through the port.
#pragma once

#include <memory>
#include <string>

#include "session/session_core.h"

namespace zjig {

class NpceSession : public CoreModeSession {
  public:
    explicit NpceSession(const ModeContext& context);
    ~NpceSession() override;  // stops a running operation and joins its worker

    // --- window events, on the window thread ---
    void FormCreate() override;
    void NPCE_READClick();
    void NPCE_WRITEClick();
    void EXIT_NPCEClick();

    // --- zjig only ---
    // The flash read as READ reads it, byte for byte on the wire, and
    // compared with the file the open dialog gives, padded as a write pads
    // it. Succeeds when the read did and the two are equal; the first
    // difference is shown as an error message.
    void verifyFileClick();

    // --- for the front ends ---
    // True while a read or write runs (tag not "NONE"). A read has succeeded
    // when it ended with the success byte; a write when its verification
    // found the flash equal to the image.
    bool busy() const override;

    // The rest of the session's state is private to its implementation.
    struct State;

  protected:
    SessionCore& core() const override;

  private:
    std::unique_ptr<State> state_;
};

}  // namespace zjig

namespace zjig::npce {
// The mode registry's factory for this mode.
std::unique_ptr<ModeSession> makeSession(const ModeContext& context);
}  // namespace zjig::npce
