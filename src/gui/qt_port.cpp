#include "gui/qt_port.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include "gui/widgets.h"

namespace zjig::gui {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// The window a dialog belongs to: the active one, else any visible one.
QWidget* dialogParent(const std::vector<QPointer<QWidget>>& windows) {
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (const auto& w : windows)
        if (w && w->isVisible()) return w;
    return nullptr;
}

}  // namespace

QStringList qtNameFilters(const std::string& filter) {
    QStringList out;
    const QStringList parts = q(filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i].trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (auto& p : patterns) {
            p = p.trimmed();
            // "*.*" means every file; on this system names need not have a dot.
            if (p == QLatin1String("*.*")) p = QStringLiteral("*");
        }
        patterns.removeAll(QString());
        if (patterns.isEmpty()) continue;
        const QString joined = patterns.join(QLatin1Char(' '));
        const QString bracketed = QLatin1Char('(') + joined + QLatin1Char(')');
        if (desc.endsWith(bracketed))
            out << desc;
        else if (desc.isEmpty())
            out << bracketed;
        else
            out << desc + QLatin1Char(' ') + bracketed;
    }
    return out;
}

QtPort::QtPort() : context_(std::make_unique<QObject>()) {}

QtPort::~QtPort() { close(); }

void QtPort::addWindow(QWidget* window) { windows_.emplace_back(window); }

bool QtPort::onGuiThread() const { return QThread::currentThread() == context_->thread(); }

void QtPort::call(std::function<void()> action) {
    const bool gui = onGuiThread();
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return;
        queue_.push_back(std::move(action));
        if (!gui && !drainPosted_) post = drainPosted_ = true;
    }
    if (gui)
        drain();
    else if (post)
        QMetaObject::invokeMethod(
            context_.get(), [this] { drain(); }, Qt::QueuedConnection);
}

void QtPort::drain() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        drainPosted_ = false;
    }
    // One call at a time: a call that opens a dialog runs a nested event loop,
    // in which later calls go on in order.
    for (;;) {
        std::function<void()> next;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_ || queue_.empty()) return;
            next = std::move(queue_.front());
            queue_.pop_front();
        }
        next();
    }
}

void QtPort::flush() {
    if (onGuiThread()) drain();
}

void QtPort::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        queue_.clear();
    }
    answered_.notify_all();
}

bool QtPort::closed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

size_t QtPort::queuedCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

std::set<std::string> QtPort::unknownNames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return unknown_;
}

void QtPort::missing(const std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (unknown_.insert(name).second)
        qWarning("window port: no control or window named %s", name.c_str());
}

QWidget* QtPort::findWindow(const std::string& name) const {
    const QString wanted = q(name);
    for (const auto& w : windows_)
        if (w && w->objectName() == wanted) return w;
    return nullptr;
}

QWidget* QtPort::findControl(const std::string& name) const {
    if (const size_t slash = name.find('/'); slash != std::string::npos) {
        QWidget* window = findWindow(name.substr(0, slash));
        return window ? window->findChild<QWidget*>(q(name.substr(slash + 1))) : nullptr;
    }
    const QString wanted = q(name);
    for (const auto& w : windows_) {
        if (!w) continue;
        if (w->objectName() == wanted) return w;
        if (auto* c = w->findChild<QWidget*>(wanted)) return c;
    }
    return nullptr;
}

QObject* QtPort::findItem(const std::string& name) const {
    const QString wanted = q(name);
    for (const auto& w : windows_) {
        if (!w) continue;
        QObject* item = w->findChild<QObject*>(wanted);
        if (item && item->metaObject()->indexOfProperty(kColourProperty) >= 0) return item;
    }
    return nullptr;
}

void QtPort::appendLine(const std::string& memo, const std::string& line) {
    call([this, memo, line] {
        QWidget* w = findControl(memo);
        if (auto* m = qobject_cast<MemoBox*>(w))
            m->appendLine(q(line));
        else if (auto* e = qobject_cast<QPlainTextEdit*>(w))
            e->appendPlainText(q(line));
        else
            missing(memo);
    });
}

void QtPort::clearMemo(const std::string& memo) {
    call([this, memo] {
        QWidget* w = findControl(memo);
        if (auto* m = qobject_cast<MemoBox*>(w))
            m->clearLines();
        else if (auto* e = qobject_cast<QPlainTextEdit*>(w))
            e->clear();
        else
            missing(memo);
    });
}

void QtPort::setText(const std::string& control, const std::string& text) {
    call([this, control, text] {
        QWidget* w = findControl(control);
        const QString t = q(text);
        if (!w) {
            missing(control);
        } else if (w->isWindow()) {
            w->setWindowTitle(t);
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            // A selection-only list shows either one of its items or, with no
            // item chosen, a prompt such as "Select MB".
            const int index = combo->findText(t, Qt::MatchExactly);
            if (index < 0) combo->setPlaceholderText(t);
            combo->setCurrentIndex(index);
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            button->setText(t);
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            label->setText(t);
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            group->setTitle(t);
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            edit->setText(t);
        } else if (auto* memo = qobject_cast<MemoBox*>(w)) {
            memo->clearLines();
            for (const QString& line : t.split(QLatin1Char('\n'))) memo->appendLine(line);
        } else {
            missing(control);
        }
    });
}

void QtPort::setItems(const std::string& list, const std::vector<std::string>& items) {
    call([this, list, items] {
        auto* combo = qobject_cast<QComboBox*>(findControl(list));
        if (!combo) return missing(list);
        QStringList texts;
        texts.reserve(static_cast<qsizetype>(items.size()));
        for (const auto& item : items) texts << q(item);
        combo->clear();
        combo->addItems(texts);
        // New items leave the list without a choice, showing its prompt.
        combo->setCurrentIndex(-1);
    });
}

void QtPort::setEnabled(const std::string& control, bool enabled) {
    call([this, control, enabled] {
        if (QWidget* w = findControl(control))
            w->setEnabled(enabled);
        else
            missing(control);
    });
}

void QtPort::setChecked(const std::string& control, bool checked) {
    call([this, control, checked] {
        if (auto* box = qobject_cast<QAbstractButton*>(findControl(control)))
            box->setChecked(checked);
        else
            missing(control);
    });
}

void QtPort::setVisible(const std::string& control, bool visible) {
    call([this, control, visible] {
        if (QWidget* w = findControl(control))
            w->setVisible(visible);
        else
            missing(control);
    });
}

void QtPort::setColor(const std::string& control, Rgb colour) {
    call([this, control, colour] {
        QWidget* w = findControl(control);
        if (auto* gauge = qobject_cast<ColorGauge*>(w))
            gauge->setBarColor(toQColor(colour));
        else if (w)
            setBackground(w, toQColor(colour));
        else if (QObject* item = findItem(control))
            item->setProperty(kColourProperty, toQColor(colour));
        else
            missing(control);
    });
}

void QtPort::setGaugeMax(const std::string& gauge, int maximum) {
    call([this, gauge, maximum] {
        QWidget* w = findControl(gauge);
        if (auto* g = qobject_cast<ColorGauge*>(w))
            g->setGaugeMax(maximum);
        else if (auto* bar = qobject_cast<QProgressBar*>(w))
            bar->setMaximum(maximum);
        else
            missing(gauge);
    });
}

void QtPort::setGaugeProgress(const std::string& gauge, int progress) {
    call([this, gauge, progress] {
        QWidget* w = findControl(gauge);
        if (auto* g = qobject_cast<ColorGauge*>(w))
            g->setProgress(progress);
        else if (auto* bar = qobject_cast<QProgressBar*>(w))
            bar->setValue(progress);
        else
            missing(gauge);
    });
}

void QtPort::showWindow(const std::string& window) {
    call([this, window] {
        QWidget* w = findWindow(window);
        if (!w) return missing(window);
        w->show();
        w->raise();
        w->activateWindow();
    });
}

void QtPort::hideWindow(const std::string& window) {
    call([this, window] {
        if (QWidget* w = findWindow(window))
            w->hide();
        else
            missing(window);
    });
}

template <typename Result>
Result QtPort::callAndWait(std::function<Result()> action, Result whenClosed) {
    if (onGuiThread()) {
        if (closed()) return whenClosed;
        drain();  // what was asked before the dialog shows before it
        return action();
    }
    struct Answer {
        bool done = false;
        Result result{};
    };
    auto answer = std::make_shared<Answer>();
    call([this, answer, action = std::move(action)] {
        Result r = action();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            answer->result = std::move(r);
            answer->done = true;
        }
        answered_.notify_all();
    });
    // The user answers in their own time; closing the program ends the wait.
    std::unique_lock<std::mutex> lock(mutex_);
    answered_.wait(lock, [&] { return answer->done || closed_; });
    return answer->done ? answer->result : whenClosed;
}

void QtPort::messageBox(MessageKind kind, const std::string& text) {
    callAndWait<bool>(
        [this, kind, text] {
            runMessageBox(kind, text);
            return true;
        },
        false);
}

std::optional<std::string> QtPort::fileDialog(const FileDialogSpec& spec) {
    return callAndWait<std::optional<std::string>>([this, spec] { return runFileDialog(spec); },
                                                   std::nullopt);
}

void QtPort::runMessageBox(MessageKind kind, const std::string& text) {
    if (messageBoxHandler_) return messageBoxHandler_(kind, text);
    const bool error = kind == MessageKind::Error;
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Warning,
                    error ? QStringLiteral("Error") : QStringLiteral("Warning"), q(text),
                    QMessageBox::Ok, dialogParent(windows_));
    box.exec();
}

std::optional<std::string> QtPort::runFileDialog(const FileDialogSpec& spec) {
    if (fileDialogHandler_) return fileDialogHandler_(spec);
    QFileDialog dialog(dialogParent(windows_), q(spec.title));
    dialog.setObjectName(q(spec.dialog));
    dialog.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(spec.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = qtNameFilters(spec.filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    QString suffix = q(spec.defaultExt);
    while (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
    if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
    if (!spec.initialName.empty()) dialog.selectFile(q(spec.initialName));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(spec.save && spec.confirmOverwrite));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first().toStdString();
}

}  // namespace zjig::gui
