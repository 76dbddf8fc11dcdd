// The ENE KB90XX mode window's work: the motherboard database and cable
// routing, and the flash read, write and verification with their worker.
// The window forwards its events to the handlers below (named after the
// window's controls) and shows what the session sends through the port.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/ui_port.h"
#include "jiglink/connect_jig.h"
#include "jiglink/jig_link.h"

namespace zjig {

inline constexpr const char* kEneDatabaseName = "MB connection ENE.txt";

class Kb901xSession {
public:
    Kb901xSession(LinkEnv env, UiPort& ui, std::string databasePath = kEneDatabaseName);
    ~Kb901xSession();  // stops a running operation and joins its worker

    // --- window events, on the window thread ---
    void FormCreate();
    void ComboBox_KB901XSelect(const std::string& motherboardText);
    void ComboBox_KB901X_FFCSelect(const std::string& cableText);
    void CheckBox_KB901XClick(bool ticked);
    void SpeedButton1Click();
    void KB901X_READClick();
    void KB901X_WRITEClick();
    void EXIT_KB901XClick();

    // --- for the front ends ---
    // True while a read or write runs (tag not "NONE").
    bool busy() const;
    // Waits for a running operation's worker to end (up to `limit`).
    bool waitIdle(std::chrono::milliseconds limit);
    // Asks a running operation to stop at its next wait, then joins it.
    void shutdown();
    // How the last operation ended: true = its success byte was sent (for
    // the apply: the routing was sent completely). Empty until a press got
    // past the busy check and ended.
    std::optional<bool> lastOperationSucceeded() const;
    // What the last press's ConnectJig found; empty when it ended before.
    std::optional<ConnectResult> lastConnectResult() const;
    // Set by a complete apply, cleared by EXIT and by the next apply.
    bool routingApplied() const;

    // The rest of the session's state is private to its implementation.
    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace zjig
