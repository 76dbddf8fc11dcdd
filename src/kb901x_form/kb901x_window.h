// The ENE KB90XX mode window TKB901X_forms. Its events go to the session's
// handlers; what the session shows arrives through the window port.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <functional>

#include "gui/form_window.h"
#include "gui/widgets.h"
#include "kb901x_form/kb901x_session.h"

namespace zjig::gui {

namespace kb901x {
inline constexpr const char* kCaption = "KB9010/9012/9016/9022  03/03/2017";
inline constexpr const char* kMotherboardList = "ComboBox_KB901X";
inline constexpr const char* kCableList = "ComboBox_KB901X_FFC";
inline constexpr const char* kPin1Box = "CheckBox_KB901X";
inline constexpr const char* kApplyButton = "SpeedButton1";
inline constexpr const char* kResultLabel = "Label_result";
inline constexpr const char* kHelpGroup = "GroupBox1";
inline constexpr const char* kReadButton = "KB901X_READ";
inline constexpr const char* kWriteButton = "KB901X_WRITE";
inline constexpr const char* kExitButton = "EXIT_KB901X";
inline constexpr const char* kMemo = "KB901X_Memo";
inline constexpr const char* kGauge = "CGauge_KB901X";
inline constexpr int kGaugeMax = 32768;
inline constexpr const char* kCableItems[] = {"18 pin", "20 pin", "24 pin", "25 pin",
                                             "26 pin", "28 pin", "30 pin", "32 pin"};
}  // namespace kb901x

class Kb901xWindow : public FormWindow {
    Q_OBJECT
public:
    explicit Kb901xWindow(Kb901xSession& session);

    // Asked when the window is closed from the window manager while a read or
    // write runs; true stops the operation. Default: a Yes/No question.
    std::function<bool()> confirmStop;

    QComboBox* motherboards() const { return motherboards_; }
    QComboBox* cables() const { return cables_; }
    QCheckBox* pin1Box() const { return pin1_; }
    QPushButton* applyButton() const { return apply_; }
    QLabel* resultLabel() const { return result_; }
    QGroupBox* helpGroup() const { return group_; }
    QPushButton* readButton() const { return read_; }
    QPushButton* writeButton() const { return write_; }
    QPushButton* exitButton() const { return exit_; }
    MemoBox* memo() const { return memo_; }
    ColorGauge* gauge() const { return gauge_; }

private:
    void closeRequested();

    Kb901xSession& session_;
    QComboBox* motherboards_;
    QComboBox* cables_;
    QCheckBox* pin1_;
    QPushButton* apply_;
    QLabel* result_;
    QGroupBox* group_;
    QPushButton* read_;
    QPushButton* write_;
    QPushButton* exit_;
    MemoBox* memo_;
    ColorGauge* gauge_;
};

}  // namespace zjig::gui
