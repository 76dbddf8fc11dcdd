// A mode window whose controls this build does not carry yet: its caption,
// a line saying so, and an EXIT back to the main window.
#pragma once

#include <QPushButton>

#include "gui/form_window.h"

namespace zjig::gui {

inline constexpr const char* kNotAvailableText =
    "This mode's controls are not available in this build.";

struct PlaceholderMode {
    const char* window;  // layout name of the window
    const char* caption;
    const char* exitName;  // layout name of its EXIT button
};

// The mode windows that are placeholders here, in no particular order.
extern const PlaceholderMode kPlaceholderModes[6];
const PlaceholderMode* placeholderMode(const char* window);

class PlaceholderWindow : public FormWindow {
    Q_OBJECT
  public:
    explicit PlaceholderWindow(const PlaceholderMode& mode);
    QPushButton* exitButton() const { return exit_; }

  private:
    QPushButton* exit_;
};

}  // namespace zjig::gui
