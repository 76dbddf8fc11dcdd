// The second-generation JIG firmware loader: which Intel HEX file a mode needs,
// and the ATmega88 flash image built from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zjig {

class UiPort;

// The HEX text is read in one go into a buffer of this size. A longer file is
// taken only when its end-of-file record lies inside the buffer: a cut that
// fell between two records would lose the later ones unseen.
inline constexpr size_t kHexTextSize = 32768;
// ATmega88 application flash, 0x0000 to 0x17FF; the bootloader lives above it.
inline constexpr size_t kFirmwareImageSize = 6144;

// Result texts of LoadAndFlashHex.
inline constexpr const char* kResultFileSearch = "ERROR FILE SEARCH";
inline constexpr const char* kResultFileFormat = "ERROR file format";
inline constexpr const char* kResultUpgradeError = "ERROR FW upgrade!";
inline constexpr const char* kResultUpgradeOk = "FW UPGRADE OK";

struct FirmwareImage {
    std::array<uint8_t, kFirmwareImageSize> bytes;
    // Highest index whose byte is not 0xFF; -1 while the image is blank.
    int lastUsedAddress = -1;
};

// The firmware file a mode runs on ("JFW_COMMON.hex" ...), or nullptr for a
// text that is no mode.
const char* firmwareFileFor(std::string_view modeText);

// Two hexadecimal digits as the bootloader's records write them (upper case).
// Other characters give wrong values that only a record checksum notices.
uint8_t HexPairToByte(char first, char second);
// The low four bits as one upper-case hexadecimal digit.
char NibbleToHex(uint8_t value);

// Why a HEX text was not taken.
enum class HexError {
    None,
    NoRecordStart,  // something other than ':' where a record must begin
    BadChecksum,    // the record's bytes do not sum to 0 modulo 256
    UnknownType,    // a record type other than data (00) and end of file (01)
    CutRecord,      // the text ends inside a record
    OutsideImage,   // data at or beyond the end of the ATmega88 application flash
};

// Parses the first `length` bytes of `text` into `image` (filled with 0xFF
// first) and finds the last used address. Text after the end-of-file record
// is ignored. `sawEndOfFile`, when given, tells whether that record came.
HexError ParseHexText(const uint8_t* text, size_t length, FirmwareImage& image,
                      bool* sawEndOfFile = nullptr);

// The loading stage: chooses the mode's file in `firmwareDir`, reads it,
// builds the image, writes the update window's memo lines and sets the
// gauge's maximum. Returns an empty text when the image is ready, otherwise
// the result text of the failure.
std::string LoadFirmwareImage(UiPort& ui, const std::string& firmwareDir,
                              const std::string& modeText, FirmwareImage& image);

}  // namespace zjig
