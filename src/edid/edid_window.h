// The EDID EEPROM mode window TEDID_form. Its events go to the session's
// handlers; what the session shows arrives through the window port.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <memory>

#include "edid/edid_session.h"
#include "gui/form_window.h"
#include "gui/widgets.h"

namespace zjig::gui {

class EdidWindow : public FormWindow {
    Q_OBJECT
  public:
    explicit EdidWindow(EdidSession& session);

    QPushButton* readButton() const { return read_; }
    QPushButton* writeButton() const { return write_; }
    QPushButton* exitButton() const override { return exit_; }
    MemoBox* memo() const { return memo_; }
    QLabel* summaryLabel() const { return summary_; }

    // The window after a read, hex view and summary shown.
    bool saveScenes(SceneContext& scenes) override;

  private:
    EdidSession& session_;
    QPushButton* read_;
    QPushButton* write_;
    QPushButton* exit_;
    MemoBox* memo_;
    QLabel* summary_;
};

}  // namespace zjig::gui

namespace zjig::edid {
// The mode registry's factory for this mode's window.
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session);
}  // namespace zjig::edid
