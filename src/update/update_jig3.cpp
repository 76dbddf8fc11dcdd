#include "update/update_jig3.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "base/clock_text.h"
#include "base/files.h"
#include "base/hex_text.h"
#include "base/names.h"
#include "base/ui_port.h"
#include "jiglink/jig_link.h"
#include "update/hex_loader.h"
#include "update/update_host.h"

namespace zjig {

namespace {

constexpr uint8_t kWake = '+';
constexpr uint8_t kWakeFirst = 'V';
constexpr uint8_t kWakeThird = 'S';
constexpr uint8_t kBlockRequest = 'W';
constexpr uint8_t kBlockGo = 'G';
constexpr uint8_t kBlockAck = '+';
constexpr uint8_t kFinish = 'X';
constexpr uint8_t kBlank = 0xFF;

// One '+' per status poll. The loop waits for a technician's hand on the
// reset button, so two milliseconds between polls lose nothing and keep a
// long wait light on the machine.
constexpr auto kWakePace = std::chrono::milliseconds(2);

constexpr const char* kProtocolErrorG = "ERROR protocol! Update stopped.(G)";
constexpr const char* kProtocolErrorAck = "ERROR protocol! Update stopped.(+)";

// "56xx53 xxxxxxxx": the answer in hex, a space before the fourth byte.
std::string wakeAnswerHex(const uint8_t* bytes, size_t n) {
    if (n <= 3) return upperHexBytes(bytes, n);
    return upperHexBytes(bytes, 3) + ' ' + upperHexBytes(bytes + 3, n - 3);
}

// Reads the whole firmware file (a regular file only: a FIFO would block the
// update); an image of exactly the maximum size still gets its closing block
// of 0xFF, so the buffer has room for one block more.
bool loadFirmware(const std::string& path, std::vector<uint8_t>& image, size_t& length) {
    LoadedFile file;
    if (!readRegularFile(path, kJig3ImageSize, file).empty()) return false;
    image.assign(kJig3ImageSize + kJig3BlockSize, kBlank);
    std::copy(file.bytes.begin(), file.bytes.end(), image.begin());
    length = file.bytes.size();
    return true;
}

enum class Wake { Answered, TimedOut, Cancelled, LinkLost };

// Sends '+' until at least seven bytes are queued that begin 'V' ? 'S'; any
// other answer is purged and the '+' go on.
Wake wakeBootloader(JigLink& link, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (true) {
        link.data()[0] = kWake;
        if (!ftOk(link.write(1)) || !ftOk(link.getStatus())) return Wake::LinkLost;
        if (link.rxQueue >= kJig3WakeAnswerBytes) {
            if (!ftOk(link.read(link.rxQueue))) return Wake::LinkLost;
            if (link.bytesMoved >= kJig3WakeAnswerBytes && link.data()[0] == kWakeFirst &&
                link.data()[2] == kWakeThird)
                return Wake::Answered;
            link.purge(kPurgeRx | kPurgeTx);
        }
        if (link.cancelled()) return Wake::Cancelled;
        if (Clock::now() >= deadline) return Wake::TimedOut;
        std::this_thread::sleep_for(kWakePace);
    }
}

}  // namespace

std::chrono::milliseconds jig3WakeLimit(const UpdateHost& host) {
    const auto& user = host.env.userTimeout;
    const std::chrono::milliseconds own = kJig3WakeWait;
    return user ? std::max(own, *user) : own;
}

std::string UpdateJig3(UpdateHost& host) {
    UiPort& ui = host.ui;
    const RunLog& log = host.runLog;
    auto memo = [&](const std::string& line) { ui.appendLine(names::kMemoUpdate, line); };

    const std::string path = host.firmwareDir + kJig3FirmwareFile;
    std::vector<uint8_t> image;
    size_t length = 0;
    if (!loadFirmware(path, image, length)) {
        memo("ERROR open file.");
        return kJig3Error;
    }
    if (length == 0) {
        memo("ERROR short file.");
        return kJig3Error;
    }
    memo("Loaded to buffer bytes (dec): " + std::to_string(length));

    JigLink link(host.env, kJig3BlockSize);
    link.setCancelFlag(&host.cancel);
    if (!ftOk(link.enumerate()) || link.deviceCount == 0) return kJig3Error;
    log.append("JIG ver3 start update FW");
    if (link.deviceCount > 1) {
        log.append("JIG ver3 start update FW");
        memo("Please disconnect other device and replay!");
        return kJig3Error;
    }
    if (!ftOk(link.open(0))) {
        log.append("ERROR FT_Open != FT_OK");
        memo("ERROR FT_Open != FT_OK");
        return kJig3Error;
    }
    memo("Founded FTDI device, wait answer. (RESET pushed?)");
    link.configure(kDefaultTimeoutMs, kDefaultTimeoutMs);
    host.timerMsg.setEnabled(true);

    // The wait for the reset button is the one long wait: the technician may
    // give up on it with EXIT.
    ui.setEnabled(names::kUpdateExit, true);
    const Wake wake = wakeBootloader(link, jig3WakeLimit(host));
    ui.setEnabled(names::kUpdateExit, false);
    if (wake != Wake::Answered) {
        const std::string line = wake == Wake::Cancelled ? "Update stopped by the user."
                                 : wake == Wake::TimedOut
                                     ? "Bootloader M328 did not answer. Update stopped."
                                     : "ERROR: the connection to the JIG is lost.";
        log.append(line);
        memo(line);
        link.close();
        return kJig3Error;
    }
    const uint32_t answered = link.bytesMoved;
    memo("Readed bytes answer -> " + std::to_string(answered));
    memo("Readed bytes (hex)  -> " + wakeAnswerHex(link.data(), answered));
    memo("Bootloader M328 ANSWER_OK");
    log.append("Bootloader answer OK");
    memo("Current time  " + dateTimeText());

    ui.setGaugeProgress(names::kGaugeUpdate, 0);
    ui.setGaugeMax(names::kGaugeUpdate, static_cast<int>(length / kJig3BlockSize));
    auto protocolError = [&](const char* line, WaitResult r) {
        if (r != WaitResult::Ok)
            memo(std::string("No answer from Bootloader M328 (") + waitResultText(r) + ")");
        log.append(line);
        memo(line);
        link.drainAndClose();
        return std::string(kJig3Error);
    };
    size_t offset = 0;
    int progress = 0;
    do {
        link.send({kBlockRequest});
        WaitResult r = link.readByte(kAnswerWait);
        if (r != WaitResult::Ok || link.data()[0] != kBlockGo)
            return protocolError(kProtocolErrorG, r);
        link.send(image.data() + offset, kJig3BlockSize);
        offset += kJig3BlockSize;
        r = link.readByte(kBlockWait);
        if (r != WaitResult::Ok || link.data()[0] != kBlockAck)
            return protocolError(kProtocolErrorAck, r);
        ui.setGaugeProgress(names::kGaugeUpdate, ++progress);
    } while (length >= offset);

    link.send({kFinish});
    link.drain(kAnswerWait);  // 'X' must reach the JIG before the connection goes
    link.close();
    memo("UPDATE completed successfully.");
    log.append("UPDATE FW successfully.");
    return kJig3Ok;
}

}  // namespace zjig
