// The Nuvoton SPI mode window TNPCE_FORM. Its events go to the session's
// handlers; what the session shows arrives through the window port.
#pragma once

#include <QPushButton>
#include <memory>

#include "gui/mode_window.h"
#include "gui/widgets.h"
#include "npce/npce_session.h"

namespace zjig::gui {

class NpceWindow : public ModeWindow {
    Q_OBJECT
  public:
    explicit NpceWindow(NpceSession& session);

    QPushButton* readButton() const { return read_; }
    QPushButton* writeButton() const { return write_; }
    QPushButton* exitButton() const override { return exit_; }
    MemoBox* memo() const { return memo_; }
    ColorGauge* gauge() const { return gauge_; }

    // A read caught half-way.
    bool saveScenes(SceneContext& scenes) override;

  private:
    // Identification, erase and blank check run inside the press and may
    // take seconds: the window shows a wait cursor meanwhile.
    void pressWithWaitCursor(void (NpceSession::*handler)());

    NpceSession& session_;
    QPushButton* read_;
    QPushButton* write_;
    QPushButton* exit_;
    MemoBox* memo_;
    ColorGauge* gauge_;
};

}  // namespace zjig::gui

namespace zjig::npce {
// The mode registry's factory for this mode's window.
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session);
}  // namespace zjig::npce
