// The ENE KB90XX mode window TKB901X_forms. Its events go to the session's
// handlers; what the session shows arrives through the window port.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <memory>

#include "gui/mode_window.h"
#include "gui/widgets.h"
#include "kb901x_form/kb901x_commands.h"
#include "kb901x_form/kb901x_controls.h"
#include "kb901x_form/kb901x_session.h"

namespace zjig::gui {

class Kb901xWindow : public ModeWindow {
    Q_OBJECT
  public:
    explicit Kb901xWindow(Kb901xSession& session);

    QComboBox* motherboards() const { return motherboards_; }
    QComboBox* cables() const { return cables_; }
    QCheckBox* pin1Box() const { return pin1_; }
    QPushButton* applyButton() const { return apply_; }
    QLabel* resultLabel() const { return result_; }
    QGroupBox* helpGroup() const { return group_; }
    QPushButton* readButton() const { return read_; }
    QPushButton* writeButton() const { return write_; }
    QPushButton* exitButton() const override { return exit_; }
    MemoBox* memo() const { return memo_; }
    ColorGauge* gauge() const { return gauge_; }

    // A read caught half-way.
    bool saveScenes(SceneContext& scenes) override;

  private:
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

namespace zjig::kb90 {
// The mode registry's factory for this mode's window.
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session);
}  // namespace zjig::kb90
