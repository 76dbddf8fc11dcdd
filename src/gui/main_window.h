// The main window TForm1: the mode list, "Start" and "Exit", and a small
// button that opens the connection test window.
#pragma once

#include <QComboBox>
#include <QPushButton>

#include "gui/form_window.h"

namespace zjig::gui {

inline constexpr const char* kMainCaption =
    "Zentravox_JIG  VER 4.A   24/03/2017   for PCB2 and PCB3";
inline constexpr const char* kExitButton = "Exit";
inline constexpr const char* kTestConnectionButton = "TestConnection";

class MainWindow : public FormWindow {
    Q_OBJECT
  public:
    MainWindow();

    QComboBox* selector() const { return selector_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* exitButton() const { return exit_; }
    QPushButton* testConnectionButton() const { return testConnection_; }

  private:
    QComboBox* selector_;
    QPushButton* start_;
    QPushButton* exit_;
    QPushButton* testConnection_;
};

}  // namespace zjig::gui
