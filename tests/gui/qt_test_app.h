// The QApplication every GUI test runs in: offscreen unless the caller chose
// a platform, with the program's own style and settings.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "gui/gui_app.h"

namespace zjig::gui::test {

class QtAppEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "zjig_gui_tests";
        static char* argv[] = {name, nullptr};
        // The program's own application class, so its exception guard is tested too.
        app_ = std::make_unique<GuardedApplication>(argc, argv);
        setUpApplication();
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<GuardedApplication> app_;
};

// Registered once for the whole test program (an inline variable is one
// object however many files include this header).
inline ::testing::Environment* const kQtAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

}  // namespace zjig::gui::test
