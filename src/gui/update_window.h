// The firmware update window TUPDATE_FORM: messages of the update, its
// progress and EXIT (enabled when an update has ended without success).
#pragma once

#include <QPushButton>

#include "gui/form_window.h"
#include "gui/widgets.h"

namespace zjig::gui {

inline constexpr const char* kUpdateCaption = "Update FW for PCB2 and PCB3";

class UpdateWindow : public FormWindow {
    Q_OBJECT
  public:
    UpdateWindow();

    MemoBox* memo() const { return memo_; }
    ColorGauge* gauge() const { return gauge_; }
    QPushButton* exitButton() const { return exit_; }

  private:
    MemoBox* memo_;
    ColorGauge* gauge_;
    QPushButton* exit_;
};

}  // namespace zjig::gui
