// The window thread of the desktop program: tasks posted from any thread run
// on the Qt GUI thread, in the order posted; delayed tasks run once their
// delay has passed. Tasks still pending when the executor goes are dropped.
#pragma once

#include <QObject>
#include <memory>

#include "base/executor.h"

namespace zjig::gui {

class QtExecutor : public Executor {
  public:
    // Must be created on the GUI thread.
    QtExecutor();
    ~QtExecutor() override;
    QtExecutor(const QtExecutor&) = delete;
    QtExecutor& operator=(const QtExecutor&) = delete;

    void post(std::function<void()> task) override;
    void postDelayed(std::chrono::milliseconds delay, std::function<void()> task) override;

    bool onGuiThread() const;

  private:
    // Receiver of the queued tasks: deleting it discards what is still queued.
    std::unique_ptr<QObject> context_;
};

}  // namespace zjig::gui
