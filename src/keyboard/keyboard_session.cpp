#include "keyboard/keyboard_session.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bitset>
#include <mutex>
#include <vector>

#include "base/loop_timer.h"
#include "jiglink/identity.h"
#include "keyboard/keyboard_answer.h"
#include "keyboard/keyboard_commands.h"
#include "keyboard/keyboard_controls.h"

namespace zjig {

using namespace keyboard;

namespace {

// The operation tag of the mode.
enum class Tag { NONE, Keyboard };
// What an answer's pairs do: shown, collected and hidden, or shown unless hidden.
enum class HideMode { NONE, START, END };
// The status codes of Label_keyb_con.
enum class Status { YES, NO, NO_FTDI, OLD_FW };
// How a turn of the scan loop ended it.
enum class End { None, Stop, Error };

// The worker looks at its flags at least this often while the JIG is quiet.
constexpr milliseconds kLookAgain{20};
constexpr Clock::time_point kNever = Clock::time_point::max();

// A shape's colour as the session keeps it.
enum class Shade : uint8_t { Aqua, Red, Yellow, Black };

Rgb rgbOf(Shade s) {
    switch (s) {
        case Shade::Red:
            return kReported;
        case Shade::Yellow:
            return kReportedAgain;
        case Shade::Black:
            return kHidden;
        case Shade::Aqua:
            break;
    }
    return kNotReported;
}

// The link the session opens waits in short looks of its own; the user's
// time-out is the watchdog's (which bounds every wait of a scan).
ModeContext withoutUserTimeout(ModeContext context) {
    context.env.userTimeout.reset();
    return context;
}

}  // namespace

struct KeyboardSession::State {
    explicit State(const ModeContext& context)
        : core(withoutUserTimeout(context), kTransferBufferSize),
          ui(core.ui),
          link(core.link),
          limit(context.env.userTimeout.value_or(kWatchdog)) {
        if (context.windowThread)
            timerKeyb = std::make_unique<LoopTimer>(*context.windowThread, limit,
                                                    [this] { Timer_KEYBTimer(); });
        shades.fill(Shade::Aqua);
        answer.reserve(kAnswerBufferSize);
    }

    SessionCore core;
    UiPort& ui;
    JigLink& link;
    const milliseconds limit;
    std::unique_ptr<LoopTimer> timerKeyb;

    // --- shared between the window thread and the worker ---
    std::atomic<Tag> tag{Tag::NONE};
    std::atomic<bool> linkError{false};  // the link state: "ERROR" when set, else "OK"
    std::atomic<bool> stopFlag{false};
    std::atomic<bool> clearFlag{false};
    std::atomic<bool> buzzerOff{false};  // Buzzer_box ticked
    // The watchdog fires only once this has passed, so that a tick already
    // on its way for an answer handled meanwhile cannot end the next wait.
    std::atomic<Clock::time_point> watchdogDeadline{kNever};
    std::atomic<int> seenCount{0};

    std::mutex hideMutex;  // guards the hide mode and the hidden list
    HideMode hideMode = HideMode::NONE;
    std::vector<int> hidden;

    // --- prepared by the handler, then the worker's alone ---
    std::string identity;
    bool jig3 = false;
    std::array<Shade, kLastKeyIndex + 1> shades{};
    std::bitset<kLastKeyIndex + 1> seen;
    std::vector<uint8_t> answer;

    // ------------------------------------------------------------------
    void send(uint8_t byte) { link.send({byte}); }

    void KEYB_SetStatus(Status code) {
        std::string_view text = kStatusIdle;
        Rgb colour = kStatusProblemColour;
        switch (code) {
            case Status::YES:
                text = kStatusReady;
                colour = kStatusReadyColour;
                break;
            case Status::NO:
                break;
            case Status::NO_FTDI:
                text = kStatusNoJig;
                break;
            case Status::OLD_FW:
                text = kStatusOldFw;
                break;
        }
        ui.setText(kStatusLabel, std::string(text));
        ui.setColor(kStatusLabel, colour);
    }

    void armWatchdog() {
        watchdogDeadline = Clock::now() + limit;
        if (!timerKeyb) return;
        // Off and on again: the interval starts anew.
        timerKeyb->setEnabled(false);
        timerKeyb->setEnabled(true);
    }

    void disarmWatchdog() {
        watchdogDeadline = kNever;
        if (timerKeyb) timerKeyb->setEnabled(false);
    }

    void Timer_KEYBTimer() {
        if (Clock::now() >= watchdogDeadline.load()) linkError = true;
    }

    void FormCreate() {
        tag = Tag::NONE;
        KEYB_SetStatus(Status::NO);
        showPairsSeen();
    }

    // ------------------------------------------------------------------
    // The handlers.

    void START_SCANClick() {
        if (tag.load() == Tag::Keyboard) {
            stopFlag = true;
            return;
        }
        // A worker that has just ended is joined first: its last window
        // updates come before this press's, and its link is closed.
        if (!core.idleForPress(false)) return;
        KEYB_SetStatus(Status::NO);
        tag = Tag::Keyboard;
        {
            std::lock_guard<std::mutex> lock(hideMutex);
            hideMode = HideMode::NONE;
        }
        const bool accepted = core.connect(connectVariantKeyboard(), identity);
        if (!accepted) {
            const auto result = core.lastConnectResult();
            KEYB_SetStatus(result == ConnectResult::NeedsUpdate ? Status::OLD_FW : Status::NO_FTDI);
            core.setOutcome(false);
            tag = Tag::NONE;
            return;
        }
        KEYB_SetStatus(Status::YES);
        jig3 = contains(identity, kIdJig3);
        ui.setEnabled(kExitButton, false);
        ui.setText(kStartButton, std::string(kStopCaption));
        stopFlag = false;
        ui.setEnabled(kHideBox, true);
        core.startWorker([this] { ReadThread_keyboard(); });
    }

    void EXIT_KB_TESTClick() {
        if (tag.load() != Tag::NONE) return;
        ui.showWindow(kMainWindow);
        ui.hideWindow(kWindow);
    }

    void CheckBox_HIDEClick(bool ticked) {
        std::lock_guard<std::mutex> lock(hideMutex);
        if (ticked) {
            hideMode = HideMode::START;
            hidden.clear();
        } else {
            hideMode = HideMode::NONE;
        }
    }

    // ------------------------------------------------------------------
    // The worker.

    void ReadThread_keyboard() {
        send(jig3 ? kCmdScan : kCmdScanJig2);
        linkError = false;
        answer.clear();
        armWatchdog();
        End end = End::None;
        while (end == End::None) end = scanTurn();
        if (end == End::Stop)
            stopEnd();
        else
            errorEnd();
    }

    // One turn of the scan loop: a Clear asked for, then what has come (a
    // complete answer is handled), then the link state. The Clear comes
    // first so that one pressed while idle is handled before the first
    // answer is shown, not over it.
    End scanTurn() {
        // A program that is closing ends the scan as STOP would.
        if (link.cancelled()) return End::Stop;
        if (clearFlag.exchange(false)) clearShapes();
        const End taken = takeBytes();
        if (taken != End::None) return taken;
        if (linkError.load()) return End::Error;
        return End::None;
    }

    // Waits a short look for bytes, never past the watchdog's deadline, and
    // adds them to the answer.
    End takeBytes() {
        const WaitResult r = waitForBytes();
        if (r == WaitResult::Cancelled) return End::Stop;
        if (r == WaitResult::LinkError) linkError = true;
        if (r != WaitResult::Ok) return End::None;

        const uint32_t queued = std::min<uint32_t>(link.rxQueue, kTransferBufferSize);
        if (!ftOk(link.read(queued))) {
            linkError = true;
            return End::None;
        }
        const uint8_t* data = link.data();
        const uint8_t* end = data + link.bytesMoved;
        const uint8_t* mark = std::find(data, end, kAnswerEnd);
        const uint8_t* last = mark == end ? end : mark + 1;
        // An answer longer than its buffer is a broken link, not a long answer.
        if (answer.size() + static_cast<size_t>(last - data) > kAnswerBufferSize) {
            linkError = true;
            return End::None;
        }
        answer.insert(answer.end(), data, last);
        if (mark == end) return End::None;
        // One answer per scan: whatever came after its '&' is dropped.
        dropQueued();
        return handleAnswer();
    }

    // A short wait for at least one byte; TimedOut when none came, and the
    // link state "ERROR" once the watchdog's deadline has passed.
    WaitResult waitForBytes() {
        const auto now = Clock::now();
        const auto deadline = watchdogDeadline.load();
        if (now >= deadline) {
            linkError = true;
            return WaitResult::TimedOut;
        }
        auto look = kLookAgain;
        if (deadline - now < look) look = std::chrono::ceil<milliseconds>(deadline - now);
        return link.waitForInput(1, look);
    }

    void dropQueued() {
        if (!ftOk(link.getStatus())) return;
        uint32_t left = link.rxQueue;
        while (left > 0) {
            const uint32_t n = std::min<uint32_t>(left, kTransferBufferSize);
            if (!ftOk(link.read(n)) || link.bytesMoved == 0) return;
            left -= std::min(left, link.bytesMoved);
        }
    }

    End handleAnswer() {
        disarmWatchdog();
        const bool nothing = answer.size() == 1 && answer[0] == kAnswerEnd;
        if (!nothing && showAnswer() && !buzzerOff.load()) {
            send(kCmdBuzzer);
            if (jig3) {
                armWatchdog();
                const End e = waitBuzzerAnswer();
                if (e != End::None) return e;
            }
        }
        if (stopFlag.load()) return End::Stop;
        answer.clear();
        send(kCmdScan);
        armWatchdog();
        return End::None;
    }

    // Paints the pairs of the answer; true when a shape changed (key seen).
    bool showAnswer() {
        const auto pairs = parseAnswer(answer.data(), answer.size());
        std::vector<int> changed;
        std::vector<int> toHide;
        {
            std::lock_guard<std::mutex> lock(hideMutex);
            for (const PinPair& pair : pairs) {
                const int key = keyIndex(pair);
                if (hideMode == HideMode::START) {
                    if (hidden.size() < kHiddenListSize) hidden.push_back(key);
                    toHide.push_back(key);
                } else if (hideMode == HideMode::END &&
                           std::find(hidden.begin(), hidden.end(), key) != hidden.end()) {
                    continue;
                } else {
                    changed.push_back(key);
                }
            }
            // The pairs of the first answer that reports any are the hidden ones.
            if (hideMode == HideMode::START && !toHide.empty()) hideMode = HideMode::END;
        }
        for (int key : toHide) paint(key, Shade::Black);
        for (int key : changed)
            paint(key, shades[static_cast<size_t>(key)] == Shade::Red ? Shade::Yellow : Shade::Red);
        if (toHide.empty() && changed.empty()) return false;
        showPairsSeen();
        return true;
    }

    void paint(int key, Shade shade) {
        shades[static_cast<size_t>(key)] = shade;
        if (!seen.test(static_cast<size_t>(key))) {
            seen.set(static_cast<size_t>(key));
            ++seenCount;
        }
        ui.setColor(shapeName(key), rgbOf(shade));
    }

    void showPairsSeen() {
        ui.setText(kPairsSeenLabel,
                   std::string(kPairsSeenPrefix) + std::to_string(seenCount.load()));
    }

    // Third generation: the buzzer's one-byte answer, within the watchdog.
    End waitBuzzerAnswer() {
        while (true) {
            if (link.cancelled()) return End::Stop;
            const WaitResult r = waitForBytes();
            if (r == WaitResult::Cancelled) return End::Stop;
            if (r == WaitResult::LinkError) linkError = true;
            if (r == WaitResult::Ok) {
                if (!ftOk(link.read(1))) linkError = true;
                if (link.bytesMoved == 1) return End::None;
            }
            if (linkError.load()) return End::Error;
        }
    }

    // Every shape aqua again, pairs in the order (1,2), (1,3) ... (31,32).
    void clearShapes() {
        for (int i = 1; i < kPins; ++i)
            for (int j = i + 1; j <= kPins; ++j) {
                const int key = keyIndex({i, j});
                shades[static_cast<size_t>(key)] = Shade::Aqua;
                ui.setColor(shapeName(key), kNotReported);
            }
        seen.reset();
        seenCount = 0;
        showPairsSeen();
    }

    // Both ends give the window back in the same order; the tag goes back
    // to "NONE" only after the link is closed, so that a new press cannot
    // reach a link this scan still uses.
    void releaseControls() {
        buzzerOff = false;
        ui.setChecked(kBuzzerBox, false);
        ui.setChecked(kHideBox, false);
        ui.setEnabled(kHideBox, false);
        std::lock_guard<std::mutex> lock(hideMutex);
        hideMode = HideMode::NONE;
    }

    void stopEnd() {
        releaseControls();
        disarmWatchdog();
        ui.setEnabled(kExitButton, true);
        ui.setText(kStartButton, std::string(kStartCaption));
        stopFlag = false;
        if (!jig3) send(kCmdLeave);
        core.closeLink();
        KEYB_SetStatus(Status::NO);
        core.setOutcome(true);
        tag = Tag::NONE;
    }

    void errorEnd() {
        releaseControls();
        KEYB_SetStatus(Status::NO_FTDI);
        ui.setEnabled(kExitButton, true);
        ui.setText(kStartButton, std::string(kStartCaption));
        stopFlag = false;
        core.closeLink();
        disarmWatchdog();
        core.setOutcome(false);
        tag = Tag::NONE;
    }
};

KeyboardSession::KeyboardSession(const ModeContext& context)
    : state_(std::make_unique<State>(context)) {}

KeyboardSession::~KeyboardSession() {
    shutdown();
    // No tick may reach a session that is gone.
    state_->timerKeyb.reset();
}

SessionCore& KeyboardSession::core() const { return state_->core; }

void KeyboardSession::FormCreate() { state_->FormCreate(); }
void KeyboardSession::START_SCANClick() { state_->START_SCANClick(); }
void KeyboardSession::EXIT_KB_TESTClick() { state_->EXIT_KB_TESTClick(); }
void KeyboardSession::ClearClick() { state_->clearFlag = true; }
void KeyboardSession::CheckBox_HIDEClick(bool ticked) { state_->CheckBox_HIDEClick(ticked); }
void KeyboardSession::Buzzer_boxClick(bool ticked) { state_->buzzerOff = ticked; }
void KeyboardSession::Timer_KEYBTimer() { state_->Timer_KEYBTimer(); }

bool KeyboardSession::busy() const { return state_->tag.load() != Tag::NONE; }

void KeyboardSession::stopScan() {
    if (busy()) state_->stopFlag = true;
}

int KeyboardSession::pairsSeen() const { return state_->seenCount.load(); }

std::chrono::milliseconds KeyboardSession::watchdogLimit() const { return state_->limit; }

}  // namespace zjig

namespace zjig::keyboard {
std::unique_ptr<ModeSession> makeSession(const ModeContext& context) {
    return std::make_unique<KeyboardSession>(context);
}
}  // namespace zjig::keyboard
