// A mode window whose controls this build does not carry yet: its caption,
// a line saying so, and an EXIT back to the main window.
#pragma once

#include <QPushButton>

#include "base/modes.h"
#include "gui/form_window.h"

namespace zjig::gui {

inline constexpr const char* kNotAvailableText =
    "This mode's controls are not available in this build.";

class PlaceholderWindow : public FormWindow {
    Q_OBJECT
  public:
    explicit PlaceholderWindow(const ModeInfo& mode);
    QPushButton* exitButton() const override { return exit_; }

  private:
    QPushButton* exit_;
};

}  // namespace zjig::gui
