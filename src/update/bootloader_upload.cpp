#include "update/bootloader_upload.h"

#include <thread>
#include <vector>

#include "base/hex_text.h"
#include "base/names.h"
#include "base/ui_port.h"
#include "jiglink/identity.h"
#include "update/update_jig3.h"

namespace zjig {

namespace {

constexpr const char* kNoBootLine =
    "You did not press the reset button or error response BOOT_loader";
constexpr const char* kPushResetLine = "*** PLEASE PUSH RESET BUTTON ! ***";
constexpr const char* kStoppedByUserLine = "Update stopped by the user.";
constexpr const char* kLinkLostLine = "ERROR: the connection to the JIG is lost.";

// The '?' answer is looked for in this many reads of the link's read time-out.
constexpr int kGoToBootReads = 5;
// Each greeting byte is looked for in this many reads.
constexpr int kGreetingByteReads = 3;
constexpr int kSyncAttempts = 3;
// The bootloader needs one 'U' after its reset to find the baud rate; a
// thousand a second is plenty and keeps the five-second wait for the reset
// button far below a core (sending at the line's full pace cost nearly one
// second of CPU time per wait).
constexpr auto kSyncPace = std::chrono::milliseconds(1);

struct ModeFamily {
    std::string_view mode;
    std::string_view family;
};

constexpr ModeFamily kModeFamilies[] = {
    {"EDID lcd", kIdCommon},
    {"Keyboard testing", kIdCommon},
    {"ENE KB90XX", kIdCommon},
    {"MEC jtag", kIdMecJtag},
    {"ITE", kIdIte},
    {"NUVOTON spi", kIdNuvoton},
    {"NUVOTON jtag", kIdNuvoton},
};

void memoLine(UiPort& ui, const std::string& line) { ui.appendLine(names::kMemoUpdate, line); }

// Waits for at least `count` answer bytes and reads all that are queued.
WaitResult takeAnswer(JigLink& link, uint32_t count) {
    const WaitResult r = link.waitForInput(count, kAnswerWait);
    if (r != WaitResult::Ok) return r;
    if (!ftOk(link.read(link.rxQueue))) return WaitResult::LinkError;
    return WaitResult::Ok;
}

std::string noAnswerLine(const std::string& step, WaitResult r) {
    return "No answer from BOOT_loader after " + step + " (" + waitResultText(r) + ")";
}

// Collects one line's answer up to its XON. Ok with the bytes before the XON,
// or the reason the answer did not come; Overflow when more bytes came before
// the XON than the answer buffer holds.
WaitResult collectLineAnswer(JigLink& link, std::vector<uint8_t>& answer) {
    answer.clear();
    while (true) {
        const WaitResult r = link.waitForInput(1, kAnswerWait);
        if (r != WaitResult::Ok) return r;
        if (!ftOk(link.read(link.rxQueue))) return WaitResult::LinkError;
        answer.insert(answer.end(), link.data(), link.data() + link.bytesMoved);
        if (!answer.empty() && answer.back() == kXon) {
            answer.pop_back();
            return answer.size() > kLineAnswerSize ? WaitResult::Overflow : WaitResult::Ok;
        }
        if (answer.size() > kLineAnswerSize) return WaitResult::Overflow;
    }
}

}  // namespace

std::string_view firmwareFamilyFor(std::string_view modeText) {
    for (const auto& entry : kModeFamilies)
        if (entry.mode == modeText) return entry.family;
    return {};
}

std::array<uint8_t, kHexLineSize> HexLineFor(const FirmwareImage& image, unsigned address) {
    std::array<uint8_t, kHexLineSize> line{};
    size_t at = 0;
    auto put = [&](uint8_t byte) {
        line[at++] = static_cast<uint8_t>(NibbleToHex(static_cast<uint8_t>(byte >> 4)));
        line[at++] = static_cast<uint8_t>(NibbleToHex(byte));
    };
    const auto high = static_cast<uint8_t>(address >> 8);
    const auto low = static_cast<uint8_t>(address);
    uint8_t sum = static_cast<uint8_t>(0x10 + high + low);
    line[at++] = ':';
    put(0x10);
    put(high);
    put(low);
    put(0x00);
    for (unsigned i = 0; i < 16; ++i) {
        const uint8_t byte = image.bytes[address + i];
        sum = static_cast<uint8_t>(sum + byte);
        put(byte);
    }
    put(static_cast<uint8_t>(0x100 - sum));
    line[at++] = '\n';
    return line;
}

WaitResult SendHexLine(JigLink& link, const FirmwareImage& image, unsigned address) {
    const auto line = HexLineFor(image, address);
    if (!ftOk(link.send(line.data(), static_cast<uint32_t>(line.size()))))
        return WaitResult::LinkError;
    return link.drain(kAnswerWait);
}

void HexDumpToMemo(UiPort& ui, const uint8_t* bytes, size_t count) {
    memoLine(ui, upperHexBytes(bytes, count));
}

bool IsLineRefused(const uint8_t* answer, size_t count) {
    if (count > kLineAnswerSize) return true;
    return count != 2 && count != 3 && count >= 2 && answer[1] == '-';
}

std::string UploadFirmwareImage(UiPort& ui, JigLink& link, const FirmwareImage& image) {
    link.send({'p', 'f', '\n'});
    WaitResult r = takeAnswer(link, kProgramAnswerBytes);
    if (r != WaitResult::Ok) {
        memoLine(ui, noAnswerLine("\"pf\"", r));
        return kResultUpgradeError;
    }

    std::vector<uint8_t> answer;
    for (unsigned address = 0; static_cast<int>(address) <= image.lastUsedAddress;) {
        r = SendHexLine(link, image, address);
        if (r == WaitResult::Ok) r = collectLineAnswer(link, answer);
        if (r != WaitResult::Ok || IsLineRefused(answer.data(), answer.size())) {
            if (r != WaitResult::Ok && r != WaitResult::Overflow)
                memoLine(ui, noAnswerLine("the line " + upperHex(address, 4), r));
            memoLine(ui, kResultUpgradeError);
            return kResultUpgradeError;
        }
        address += 16;
        ui.setGaugeProgress(names::kGaugeUpdate, static_cast<int>(address));
    }

    static constexpr uint8_t kEndOfFile[] = {':', '0', '0', '0', '0', '0',
                                             '0', '0', '1', 'F', 'F', '\n'};
    link.send(kEndOfFile, sizeof kEndOfFile);
    memoLine(ui, link.bytesMoved == sizeof kEndOfFile ? "отправлено EOF корректно"
                                                      : "отправлено МЕНЬШЕ байт");
    r = takeAnswer(link, kProgramAnswerBytes);
    if (r != WaitResult::Ok) {
        memoLine(ui, noAnswerLine("EOF", r));
        return kResultUpgradeError;
    }
    return kResultUpgradeOk;
}

std::string LoadAndFlashHex(UiPort& ui, JigLink& link, const std::string& firmwareDir,
                            const std::string& modeText) {
    FirmwareImage image;
    std::string result = LoadFirmwareImage(ui, firmwareDir, modeText, image);
    if (!result.empty()) return result;
    return UploadFirmwareImage(ui, link, image);
}

// ---------------------------------------------------------------------------

namespace {
// The shell's link answers the update's cancel flag while the thread owns it.
class CancelScope {
  public:
    CancelScope(JigLink& link, const std::atomic<bool>* flag) : link_(link) {
        link_.setCancelFlag(flag);
    }
    ~CancelScope() { link_.setCancelFlag(nullptr); }

  private:
    JigLink& link_;
};
}  // namespace

void ReadThread_UPD::memo(const std::string& line) { memoLine(host_.ui, line); }

void ReadThread_UPD::Fail(const std::string& line) {
    host_.timer5Sec.setEnabled(false);
    if (!line.empty()) memo(line);
    // What was sent last ("g" LF after a failed upload) leaves the bridge
    // first, with its own short bound, also after a stop.
    host_.link.drainAndClose();
    host_.ui.setEnabled(names::kUpdateExit, true);
    if (host_.onFailed) host_.onFailed();
}

void ReadThread_UPD::Execute() {
    CancelScope cancel(host_.link, &host_.cancel);
    const std::string identity = host_.identity;
    if (contains(identity, kIdJig3Shell)) {
        ThirdGeneration();
        return;
    }
    SecondGeneration(identity, host_.selected);
}

void ReadThread_UPD::ThirdGeneration() {
    UiPort& ui = host_.ui;
    host_.link.close();
    ui.showWindow(names::kUpdateWindow);
    ui.setColor(names::kGaugeUpdate, kBlue);
    if (UpdateJig3(host_) == kJig3Ok) {
        ui.hideWindow(names::kUpdateWindow);
        ui.setGaugeProgress(names::kGaugeUpdate, 0);
        host_.timerRun.setEnabled(true);
        return;
    }
    ui.setEnabled(names::kUpdateExit, true);
    ui.showWindow(names::kMainWindow);
    if (host_.onFailed) host_.onFailed();
}

void ReadThread_UPD::SecondGeneration(const std::string& identity, const std::string& selected) {
    UiPort& ui = host_.ui;
    JigLink& link = host_.link;
    ui.showWindow(names::kUpdateWindow);
    ui.setColor(names::kGaugeUpdate, kBlue);
    memo("Current version of FW -> " + identity);
    memo("User select -> " + selected);

    if (identity != kIdNoAnswer) {
        const std::string_view family = firmwareFamilyFor(selected);
        if (!family.empty() && contains(identity, family)) {
            host_.timerRun.setEnabled(true);
            ui.hideWindow(names::kUpdateWindow);
            link.close();
            return;
        }
        memo("Command go to BOOT ... ");
        link.data()[0] = kGoToBoot;
        link.write(1);
        for (int i = 0; i < kGoToBootReads && !link.cancelled(); ++i) {
            link.read(1);
            if (link.bytesMoved == 1) break;
        }
        if (link.data()[0] != kGoToBootAnswer)
            memo("*** FAULT ANSWER. PLEASE push reset button ***");
    } else {
        memo(kPushResetLine);
    }

    ui.setGaugeProgress(names::kGaugeUpdate, 0);
    link.setBaudRate(kBootloaderBaud);
    link.setTimeouts(kDefaultTimeoutMs, kDefaultTimeoutMs);
    host_.resetWait = false;
    // Restarted, so that a tick left from an earlier update cannot cut this wait short.
    host_.timer5Sec.setEnabled(false);
    host_.timer5Sec.setEnabled(true);

    std::array<uint8_t, kGreetingSize> greeting{};
    size_t count = 0;
    if (!Synchronise(greeting, count)) return;
    host_.timer5Sec.setEnabled(false);

    HexDumpToMemo(ui, greeting.data(), count);
    memo("BOOT M88 connected - " + PrintableText(greeting.data(), count));
    memo("Update firmware ... ");
    const std::string result = LoadAndFlashHex(ui, link, host_.firmwareDir, selected);
    if (result == kResultFileFormat)
        memo("Error format .hex file for M88!");
    else if (result == kResultUpgradeError)
        memo("Flashing M88 error!");
    else if (result == kResultUpgradeOk)
        memo("Exit from BOOT and RUN ... ");

    // Whatever the result, the bootloader is told to start the application,
    // so the JIG does not stay in its bootloader after a refused file.
    link.send({'g', '\n'});
    const WaitResult started = takeAnswer(link, kRunAnswerBytes);
    if (started != WaitResult::Ok) {
        Fail(noAnswerLine("\"g\"", started));
        return;
    }
    link.close();
    if (result == kResultUpgradeOk) {
        ui.hideWindow(names::kUpdateWindow);
        host_.timerRun.setEnabled(true);
    } else {
        Fail({});
    }
}

bool ReadThread_UPD::Synchronise(std::array<uint8_t, kGreetingSize>& greeting, size_t& count) {
    JigLink& link = host_.link;
    for (int attempt = 1; attempt <= kSyncAttempts; ++attempt) {
        link.purge(kPurgeRx | kPurgeTx);
        link.data()[0] = kSyncByte;
        while (true) {
            const FtStatus written = link.write(1);
            if (!ftOk(written) || !ftOk(link.getStatus())) {
                Fail(kLinkLostLine);
                return false;
            }
            if (host_.resetWait) {
                Fail(kNoBootLine);
                return false;
            }
            if (link.cancelled()) {
                Fail(kStoppedByUserLine);
                return false;
            }
            if (link.rxQueue != 0) break;
            std::this_thread::sleep_for(kSyncPace);
        }

        greeting.fill(0);
        count = 0;
        bool greeted = false;
        while (!greeted && count < kGreetingUsed) {
            bool got = false;
            for (int i = 0; i < kGreetingByteReads && !got; ++i) {
                if (link.cancelled()) {
                    Fail(kStoppedByUserLine);
                    return false;
                }
                link.read(1);
                got = link.bytesMoved == 1;
            }
            if (!got) break;
            const uint8_t byte = link.data()[0];
            greeting[count++] = byte;
            // The 16th byte ends the greeting without success, XON or not.
            if (count < kGreetingUsed && byte == kXon) greeted = true;
        }
        if (greeted) return true;
        if (attempt == kSyncAttempts) {
            Fail(kNoBootLine);
            return false;
        }
        memo(kPushResetLine);
    }
    return false;
}

void RunUpdateThread(UpdateHost& host) { ReadThread_UPD(host).Execute(); }

}  // namespace zjig
