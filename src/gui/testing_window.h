// The connection test window TTESTING: "Test connect" and its result lines.
#pragma once

#include <QPushButton>

#include "gui/form_window.h"
#include "gui/widgets.h"

namespace zjig::gui {

inline constexpr const char* kTestingCaption = "Test vcom port and device";
inline constexpr const char* kTestConnectButton = "BitBtn1";

class TestingWindow : public FormWindow {
    Q_OBJECT
  public:
    TestingWindow();

    MemoBox* memo() const { return memo_; }
    QPushButton* testButton() const { return test_; }

  private:
    MemoBox* memo_;
    QPushButton* test_;
};

}  // namespace zjig::gui
