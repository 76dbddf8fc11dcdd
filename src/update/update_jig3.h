// The third-generation JIG firmware update: the opaque image "JFW_JIG3.vss"
// sent to the ATmega328's bootloader in 128-byte blocks, each acknowledged.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zjig {

struct UpdateHost;

inline constexpr const char* kJig3FirmwareFile = "JFW_JIG3.vss";
inline constexpr size_t kJig3ImageSize = 131072;
inline constexpr size_t kJig3BlockSize = 128;
// The bootloader's wake answer is this long at least.
inline constexpr uint32_t kJig3WakeAnswerBytes = 7;
// How long the technician has to press the reset button before the wake
// gives up; a larger `--timeout` raises it.
inline constexpr std::chrono::seconds kJig3WakeWait{60};

// Result texts of UpdateJig3.
inline constexpr const char* kJig3Ok = "OK";
inline constexpr const char* kJig3Error = "ERROR";

// Runs on the update thread: loads the firmware file from the shell's firmware
// folder, opens device 0 on a connection of its own, wakes the bootloader and
// sends the image. Returns kJig3Ok or kJig3Error.
std::string UpdateJig3(UpdateHost& host);

// The wake loop's limit: its own, or the user's `--timeout` when that is larger.
std::chrono::milliseconds jig3WakeLimit(const UpdateHost& host);

}  // namespace zjig
