#include "mec16xx/mec16xx_answers.h"

#include "base/hex_text.h"
#include "mec16xx/mec16xx_commands.h"

namespace zjig::mec16 {

std::string registerValueText(const uint8_t* bytes) {
    return upperHexBytes(bytes, 2) + " " + upperHexBytes(bytes + 2, 2) + "h";
}

std::optional<RegisterValue> parseRegisterAnswer(const uint8_t* bytes, size_t count) {
    if (count != kRegisterAnswerBytes) return std::nullopt;
    return RegisterValue{registerValueText(bytes), bytes[3]};
}

bool registerWriteDone(const uint8_t* bytes, size_t count) {
    return count == 1 && bytes[0] == kRegisterWritten;
}

namespace {
std::vector<uint8_t> withPrefix(bool jig3, uint8_t command, const std::string& text) {
    std::string bytes;
    if (jig3) bytes += static_cast<char>(kModePrefix);
    bytes += static_cast<char>(command);
    bytes += text;
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}
}  // namespace

std::vector<uint8_t> registerReadCommand(bool jig3, const std::string& address) {
    return withPrefix(jig3, kCmdReadReg, address);
}

std::vector<uint8_t> registerWriteCommand(bool jig3, const std::string& address, uint32_t value) {
    return withPrefix(jig3, kCmdWriteReg, address + upperHex(value, 8));
}

std::vector<uint8_t> startReadCommand(bool jig3, const std::string& address) {
    return withPrefix(jig3, kCmdStartRead, address);
}

Protection protectionOf(uint8_t statusByte) {
    return Protection{(statusByte & kStatusFwp) != 0, (statusByte & kStatusBootLock) != 0,
                      (statusByte & kStatusBusy) != 0};
}

}  // namespace zjig::mec16
