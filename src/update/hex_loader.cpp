#include "update/hex_loader.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/files.h"
#include "base/names.h"
#include "base/ui_port.h"

namespace zjig {

namespace {

constexpr uint8_t kRecordData = 0x00;
constexpr uint8_t kRecordEndOfFile = 0x01;
constexpr uint8_t kBlank = 0xFF;

struct ModeFirmware {
    std::string_view mode;
    const char* file;
};

constexpr ModeFirmware kModeFirmware[] = {
    {"EDID lcd", "JFW_COMMON.hex"},
    {"Keyboard testing", "JFW_COMMON.hex"},
    {"ENE KB90XX", "JFW_COMMON.hex"},
    {"MEC jtag", "JFW_MECJTAG.hex"},
    {"ITE", "JFW_ITE.hex"},
    {"NUVOTON spi", "JFW_NUVOTON.hex"},
    {"NUVOTON jtag", "JFW_NUVOTON.hex"},
};

// Walks the HEX text one hexadecimal pair at a time, keeping the record sum.
class RecordReader {
  public:
    RecordReader(const uint8_t* text, size_t length) : text_(text), length_(length) {}

    size_t position() const { return pos_; }
    void skip(size_t n) { pos_ += n; }
    void skipToEnd() { pos_ = length_; }
    void endOfFile() { endOfFile_ = true; }
    bool sawEndOfFile() const { return endOfFile_; }
    bool atEnd() const { return pos_ >= length_; }
    char current() const { return static_cast<char>(text_[pos_]); }
    void beginRecord() { sum_ = 0; }
    uint8_t sum() const { return sum_; }

    // False when the text ends inside the pair (a record cut by the end of
    // the text or by the buffer limit).
    bool pair(uint8_t& value) {
        if (pos_ + 2 > length_) return false;
        value = HexPairToByte(static_cast<char>(text_[pos_]), static_cast<char>(text_[pos_ + 1]));
        sum_ = static_cast<uint8_t>(sum_ + value);
        pos_ += 2;
        return true;
    }

  private:
    const uint8_t* text_;
    size_t length_;
    size_t pos_ = 0;
    uint8_t sum_ = 0;
    bool endOfFile_ = false;
};

HexError parseRecord(RecordReader& in, FirmwareImage& image) {
    if (in.current() != ':') return HexError::NoRecordStart;
    in.skip(1);
    in.beginRecord();
    uint8_t count = 0, high = 0, low = 0, type = 0;
    if (!in.pair(count) || !in.pair(high) || !in.pair(low) || !in.pair(type))
        return HexError::CutRecord;
    uint8_t checksum = 0;
    if (type == kRecordData) {
        size_t address = (static_cast<size_t>(high) << 8) | low;
        for (unsigned i = 0; i < count; ++i, ++address) {
            uint8_t value = 0;
            if (!in.pair(value)) return HexError::CutRecord;
            if (address >= kFirmwareImageSize) return HexError::OutsideImage;
            image.bytes[address] = value;
        }
        if (!in.pair(checksum)) return HexError::CutRecord;
        in.skip(2);  // the CR LF of the record's line
    } else if (type == kRecordEndOfFile) {
        if (!in.pair(checksum)) return HexError::CutRecord;
        in.endOfFile();
        in.skipToEnd();  // whatever follows the end of file is not read
    } else {
        return HexError::UnknownType;
    }
    return in.sum() == 0 ? HexError::None : HexError::BadChecksum;
}

void memo(UiPort& ui, const std::string& line) { ui.appendLine(names::kMemoUpdate, line); }

}  // namespace

const char* firmwareFileFor(std::string_view modeText) {
    for (const auto& entry : kModeFirmware)
        if (entry.mode == modeText) return entry.file;
    return nullptr;
}

uint8_t HexPairToByte(char first, char second) {
    auto value = [](char c) { return (c >= '0' && c <= '9') ? c - '0' : c - 55; };
    return static_cast<uint8_t>(value(first) * 16 + value(second));
}

char NibbleToHex(uint8_t value) { return "0123456789ABCDEF"[value & 0x0F]; }

HexError ParseHexText(const uint8_t* text, size_t length, FirmwareImage& image,
                      bool* sawEndOfFile) {
    image.bytes.fill(kBlank);
    image.lastUsedAddress = -1;
    if (sawEndOfFile) *sawEndOfFile = false;
    RecordReader in(text, length);
    while (!in.atEnd()) {
        const HexError error = parseRecord(in, image);
        if (sawEndOfFile) *sawEndOfFile = in.sawEndOfFile();
        if (error != HexError::None) return error;
    }
    for (int i = static_cast<int>(kFirmwareImageSize) - 1; i >= 0; --i) {
        if (image.bytes[static_cast<size_t>(i)] != kBlank) {
            image.lastUsedAddress = i;
            break;
        }
    }
    return HexError::None;
}

std::string LoadFirmwareImage(UiPort& ui, const std::string& firmwareDir,
                              const std::string& modeText, FirmwareImage& image) {
    const char* file = firmwareFileFor(modeText);
    const std::string path = firmwareDir + (file ? file : "");
    // A regular file only: a FIFO would hold the update in open() for ever.
    LoadedFile text;
    const std::string reason =
        file ? readRegularFile(path, kHexTextSize, text) : std::strerror(ENOENT);
    if (!reason.empty()) {
        memo(ui, "Not found .hex file -> " + path + " for M88 in the program folder ");
        // A file that is there but cannot be used says why.
        if (file && reason != std::strerror(ENOENT)) memo(ui, fileProblem(path, reason));
        return kResultFileSearch;
    }
    const size_t length = text.bytes.size();
    memo(ui, "UPGRADE file loaded to buffer (" + path + ")");

    memo(ui, "Bytes read from file " + std::to_string(length));
    // A file longer than the buffer is whole only when its end-of-file
    // record was read.
    bool complete = false;
    if (ParseHexText(text.bytes.data(), length, image, &complete) != HexError::None ||
        (text.size > kHexTextSize && !complete)) {
        memo(ui, "Wrong file format!");
        return kResultFileFormat;
    }
    // A blank image would only erase the JIG's firmware and leave it silent.
    if (image.lastUsedAddress < 0) {
        memo(ui, "No data for M88 in the .hex file (every byte is FF)!");
        return kResultFileFormat;
    }
    const auto address = static_cast<unsigned>(image.lastUsedAddress);
    const std::string hex = {NibbleToHex(static_cast<uint8_t>(address >> 12)),
                             NibbleToHex(static_cast<uint8_t>(address >> 8)),
                             NibbleToHex(static_cast<uint8_t>(address >> 4)),
                             NibbleToHex(static_cast<uint8_t>(address))};
    memo(ui, "HEX position_buff " + hex);
    ui.setGaugeMax(names::kGaugeUpdate, image.lastUsedAddress);
    return {};
}

}  // namespace zjig
