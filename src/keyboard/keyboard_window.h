// The keyboard matrix tester's window TKeyboard_testing. Its events go to
// the session's handlers; what the session shows arrives through the port.
//
// The 496 key shapes are drawn by one widget, KeyMatrix. Each shape is a
// small object of its own, named by its layout name ("Shape71") and holding
// its colour, so the port finds and colours it like any control while the
// window stays one widget to lay out and paint instead of 496.
#pragma once

#include <QCheckBox>
#include <QColor>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QRect>
#include <QWidget>
#include <array>
#include <memory>

#include "gui/form_window.h"
#include "keyboard/keyboard_commands.h"
#include "keyboard/keyboard_session.h"

namespace zjig::gui {

class KeyMatrix;

// One key shape: its name, place and colour. Setting the colour repaints
// only its own place.
class KeyShape : public QObject {
    Q_OBJECT
    Q_PROPERTY(QColor colour READ colour WRITE setColour)
  public:
    KeyShape(int keyIndex, const QRect& place, KeyMatrix* matrix);
    QColor colour() const { return colour_; }
    void setColour(const QColor& colour);
    const QRect& place() const { return place_; }

  private:
    KeyMatrix* matrix_;
    QRect place_;
    QColor colour_;
};

// The upper triangle of key shapes, in the window's own coordinates.
class KeyMatrix : public QWidget {
    Q_OBJECT
  public:
    explicit KeyMatrix(QWidget* parent);
    // The shape of a key index (2 ... 992), or nullptr for an index that has none.
    KeyShape* shape(int keyIndex) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::array<KeyShape*, keyboard::kLastKeyIndex + 1> shapes_{};
};

class KeyboardWindow : public FormWindow {
    Q_OBJECT
  public:
    explicit KeyboardWindow(KeyboardSession& session);

    QPushButton* startButton() const { return start_; }
    QPushButton* exitButton() const override { return exit_; }
    QPushButton* clearButton() const { return clear_; }
    QCheckBox* buzzerBox() const { return buzzer_; }
    QCheckBox* hideBox() const { return hide_; }
    QLabel* statusLabel() const { return status_; }
    QLabel* columnLabel() const { return columns_; }
    QLabel* pairsSeenLabel() const { return pairs_; }
    KeyMatrix* matrix() const { return matrix_; }

    // A scan with keys reported, one pair reported twice and pairs hidden.
    bool saveScenes(SceneContext& scenes) override;

  private:
    void closeRequested();

    KeyboardSession& session_;
    KeyMatrix* matrix_;
    QLabel* columns_;
    QPushButton* start_;
    QPushButton* exit_;
    QPushButton* clear_;
    QCheckBox* buzzer_;
    QCheckBox* hide_;
    QLabel* status_;
    QLabel* pairs_;
};

}  // namespace zjig::gui

namespace zjig::keyboard {
// The mode registry's factory for this mode's window.
std::unique_ptr<gui::FormWindow> makeWindow(ModeSession& session);
}  // namespace zjig::keyboard
