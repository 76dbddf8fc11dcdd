// The MEC16xx mode window TMEC16_Form. Its events go to the session's
// handlers; what the session shows arrives through the window port.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <memory>

#include "gui/mode_window.h"
#include "gui/widgets.h"
#include "mec16xx/mec16xx_session.h"

namespace zjig::gui {

// A small rounded square filled with the colour the port gives it (the
// protection indicators).
class ShapeBox : public QWidget {
    Q_OBJECT
  public:
    ShapeBox(const char* name, QWidget* parent);
    QColor fill() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

class Mec16Window : public ModeWindow {
    Q_OBJECT
  public:
    explicit Mec16Window(Mec16Session& session);

    QPushButton* checkButton() const { return check_; }
    ShapeBox* bootLockShape() const { return bootLock_; }
    ShapeBox* fwpShape() const { return fwp_; }
    QLabel* bootLockLabel() const { return bootLockLabel_; }
    QLabel* fwpLabel() const { return fwpLabel_; }
    QCheckBox* readInfoBox() const { return readInfo_; }
    QPushButton* readButton() const { return read_; }
    QCheckBox* eraseInfoBox() const { return eraseInfo_; }
    QPushButton* eraseButton() const { return erase_; }
    QCheckBox* writeInfoBox() const { return writeInfo_; }
    QPushButton* writeButton() const { return write_; }
    QPushButton* helpButton() const { return help_; }
    QPushButton* exitButton() const override { return exit_; }
    MemoBox* memo() const { return memo_; }
    ColorGauge* gauge() const { return gauge_; }

    // A read caught half-way, after a connection check.
    bool saveScenes(SceneContext& scenes) override;

  private:
    Mec16Session& session_;
    QPushButton* check_;
    ShapeBox* bootLock_;
    ShapeBox* fwp_;
    QLabel* bootLockLabel_;
    QLabel* fwpLabel_;
    QCheckBox* readInfo_;
    QPushButton* read_;
    QCheckBox* eraseInfo_;
    QPushButton* erase_;
    QCheckBox* writeInfo_;
    QPushButton* write_;
    QPushButton* help_;
    QPushButton* exit_;
    MemoBox* memo_;
    ColorGauge* gauge_;
};

}  // namespace zjig::gui

namespace zjig::mec16 {
// The mode registry's factory for this mode's window.
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session);
}  // namespace zjig::mec16
