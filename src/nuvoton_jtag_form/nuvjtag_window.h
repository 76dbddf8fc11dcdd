// The Nuvoton JTAG mode window TForm_NUVOTON_JTAG. Its events go to the
// session's handlers; what the session shows arrives through the window port.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <memory>

#include "gui/mode_window.h"
#include "gui/widgets.h"
#include "nuvoton_jtag_form/nuvjtag_session.h"

namespace zjig::gui {

class NuvotonJtagWindow : public ModeWindow {
    Q_OBJECT
  public:
    explicit NuvotonJtagWindow(NuvotonJtagSession& session);

    QCheckBox* cableBox() const { return cable_; }
    QPushButton* settingsButton() const { return settings_; }
    QPushButton* connectButton() const { return connect_; }
    QPushButton* readButton() const { return read_; }
    QPushButton* writeButton() const { return write_; }
    QPushButton* scriptButton() const { return script_; }
    QPushButton* exitButton() const override { return exit_; }
    QLabel* lineCounter() const { return counter_; }
    MemoBox* memo() const { return memo_; }
    ColorGauge* gauge() const { return gauge_; }

    // A read caught half-way, after the settings, the check and the script.
    bool saveScenes(SceneContext& scenes) override;

  private:
    NuvotonJtagSession& session_;
    QCheckBox* cable_;
    QPushButton* settings_;
    QPushButton* connect_;
    QPushButton* read_;
    QPushButton* write_;
    QPushButton* exit_;
    QPushButton* script_;
    QLabel* counter_;
    MemoBox* memo_;
    ColorGauge* gauge_;
};

}  // namespace zjig::gui

namespace zjig::nuvjtag {
// The mode registry's factory for this mode's window.
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session);
}  // namespace zjig::nuvjtag
