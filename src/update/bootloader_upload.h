// The update thread and the second-generation upload: the ATmega88 is sent
// into its bootloader, synchronised at 115200 baud and given the mode's
// firmware image as Intel HEX lines, each answered up to XON.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "jiglink/jig_link.h"
#include "update/hex_loader.h"
#include "update/update_host.h"

namespace zjig {

class UiPort;

// Bootloader bytes.
inline constexpr uint8_t kXon = 0x11;
inline constexpr uint8_t kGoToBoot = '?';
inline constexpr uint8_t kGoToBootAnswer = '!';
inline constexpr uint8_t kSyncByte = 'U';
inline constexpr size_t kHexLineSize = 44;
inline constexpr size_t kGreetingSize = 32;
// At most this many greeting bytes are taken; the 16th ends the attempt.
inline constexpr size_t kGreetingUsed = 16;
// Bytes of a line's answer before its XON that the answer buffer holds.
inline constexpr size_t kLineAnswerSize = 16;
// Answer lengths the bootloader is waited for with.
inline constexpr uint32_t kProgramAnswerBytes = 7;  // after "pf" and after the end-of-file line
inline constexpr uint32_t kRunAnswerBytes = 5;      // after 'g'
// How long the technician has to press the reset button (Timer_5SEC).
inline constexpr std::chrono::milliseconds kResetWait{5000};

// The mode's firmware family as the identity names it ("V41" ...), or an
// empty view for a text that is no mode.
std::string_view firmwareFamilyFor(std::string_view modeText);

// The data line for the 16-byte block at `address`: ':' "10" AAAA "00",
// 32 data digits, the record checksum and LF.
std::array<uint8_t, kHexLineSize> HexLineFor(const FirmwareImage& image, unsigned address);
// Sends the block's data line and waits until it has left the bridge.
WaitResult SendHexLine(JigLink& link, const FirmwareImage& image, unsigned address);
// One memo line of two-digit upper-case hex per byte, without separators.
void HexDumpToMemo(UiPort& ui, const uint8_t* bytes, size_t count);
// `answer` holds the bytes before a line's XON. The bootloader refuses a line
// with an answer whose second byte is '-', unless it is two or three bytes
// long; an answer longer than the answer buffer is taken as a refusal too.
bool IsLineRefused(const uint8_t* answer, size_t count);

// The upload stage: "pf", the data lines from address 0 up to the block of
// the last used address, the end-of-file line. Returns a result text.
std::string UploadFirmwareImage(UiPort& ui, JigLink& link, const FirmwareImage& image);
// Loading and upload stages together.
std::string LoadAndFlashHex(UiPort& ui, JigLink& link, const std::string& firmwareDir,
                            const std::string& modeText);

// The firmware update thread's run. The shell starts it on its own link after
// "Start" found a JIG that needs another firmware (or that stayed silent).
class ReadThread_UPD {
  public:
    explicit ReadThread_UPD(UpdateHost& host) : host_(host) {}
    void Execute();

  private:
    void SecondGeneration(const std::string& identity, const std::string& selected);
    void ThirdGeneration();
    // Sends 'U' until the bootloader greets; false when it ended the update.
    bool Synchronise(std::array<uint8_t, kGreetingSize>& greeting, size_t& count);
    // The end of a failed update: connection closed, EXIT enabled.
    void Fail(const std::string& line);
    void memo(const std::string& line);

    UpdateHost& host_;
};

}  // namespace zjig
