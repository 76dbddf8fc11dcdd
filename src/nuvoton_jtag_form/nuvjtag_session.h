// The Nuvoton JTAG mode window's work: the cable routing, the controller's
// identification, the replay of the JTAG script, and the flash read and the
// erase and page-by-page write with their worker, ended by the window's
// closing message. The window forwards its events to the handlers below
// (named after the window's controls) and shows what the session sends
// through the port.
#pragma once

#include <memory>
#include <string>

#include "session/session_core.h"

namespace zjig {

inline constexpr const char* kNuvotonScriptName = "NUVOTON.vss";

class NuvotonJtagSession : public CoreModeSession {
  public:
    // The default script is `context.firmwareDir` + kNuvotonScriptName; the
    // closing message runs on `context.windowThread`, which must be given.
    explicit NuvotonJtagSession(const ModeContext& context);
    ~NuvotonJtagSession() override;  // stops a running operation and joins its worker

    // --- window events, on the window thread ---
    void FormCreate() override;
    void CheckBox1Click(bool checked);
    void BitBtn_SETTINGSClick();
    void BitBtn_CONNECTClick();
    void BitBtnFILE_OPENClick();
    void BitBtn_NUV_JTAG_RDClick();
    void BitBtn_NUV_JTAG_WRClick();
    void BitBtn_EXIT_NUVClick();
    void Timer_MSG_ERTimer();

    // --- for the front ends ---
    // True while the script, a read or a write runs, and after a read or a
    // write until the closing message has let the link go. A read or write
    // has succeeded when it ended with its success signal; the settings
    // when they were sent; the check when the script was replayed.
    bool busy() const override;
    // Stops a running operation, lets a link held for the closing message go
    // (with the JIG's closing commands), and joins the worker.
    void shutdown() override;

    struct State;

  protected:
    SessionCore& core() const override;

  private:
    std::unique_ptr<State> state_;
};

}  // namespace zjig

namespace zjig::nuvjtag {
// The mode registry's factory for this mode.
std::unique_ptr<ModeSession> makeSession(const ModeContext& context);
}  // namespace zjig::nuvjtag
