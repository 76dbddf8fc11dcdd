// The ITE mode window TITE_FORM. Its events go to the session's handlers;
// what the session shows arrives through the window port.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <array>
#include <memory>

#include "gui/mode_window.h"
#include "gui/widgets.h"
#include "ite/ite_mapping.h"
#include "ite/ite_session.h"

namespace zjig::gui {

class IteWindow : public ModeWindow {
    Q_OBJECT
  public:
    explicit IteWindow(IteSession& session);

    QComboBox* motherboards() const { return motherboards_; }
    QCheckBox* cableBox() const { return cable_; }
    QGroupBox* pinFrame() const { return frame_; }
    QLabel* label(ite::IteSignal s) const { return labels_[static_cast<size_t>(s)]; }
    QComboBox* dropDown(ite::IteSignal s) const { return dropDowns_[static_cast<size_t>(s)]; }
    QPushButton* applyButton() const { return apply_; }
    QPushButton* checkButton() const { return check_; }
    QPushButton* readButton() const { return read_; }
    QPushButton* writeButton() const { return write_; }
    QPushButton* exitButton() const override { return exit_; }
    QCheckBox* languageBox() const { return language_; }
    MemoBox* memoRu() const { return memoRu_; }
    MemoBox* memoEng() const { return memoEng_; }
    ColorGauge* readGauge() const { return readGauge_; }
    ColorGauge* speedGauge() const { return speedGauge_; }

    // A read caught half-way, with each memo shown.
    bool saveScenes(SceneContext& scenes) override;

  private:
    IteSession& session_;
    QComboBox* motherboards_;
    QCheckBox* cable_;
    QGroupBox* frame_;
    std::array<QLabel*, ite::kSignalCount> labels_{};
    std::array<QComboBox*, ite::kSignalCount> dropDowns_{};
    QPushButton* apply_;
    QPushButton* check_;
    QPushButton* read_;
    QPushButton* write_;
    QPushButton* exit_;
    QCheckBox* language_;
    MemoBox* memoRu_;
    MemoBox* memoEng_;
    ColorGauge* readGauge_;
    ColorGauge* speedGauge_;
};

}  // namespace zjig::gui

namespace zjig::ite {
// The mode registry's factory for this mode's window.
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session);
}  // namespace zjig::ite
