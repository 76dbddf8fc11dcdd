// Which keyboard-connector contact carries each of the fifteen flash-interface
// signals of the ITE controller: the signals with their drop-downs and setup
// codes, a motherboard record read into contacts, the renumbering for a
// reversed cable, and the setup items APPLY sends. Pure functions, no link,
// no window.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ui_port.h"

namespace zjig::ite {

// The signals in the order a motherboard record is read.
enum class IteSignal {
    PD0,
    PD1,
    PD2,
    PD3,
    PD4,
    PD5,
    PD6,
    PD7,
    BUSY,
    STB,
    AFD,
    INIT,
    SLIN,
    KSI4,
    KSI5
};
inline constexpr size_t kSignalCount = 15;

struct SignalInfo {
    IteSignal signal;
    const char* name;      // in messages and on the command line: the key without '='
    const char* key;       // in a motherboard record
    const char* label;     // layout name of its caption
    const char* caption;   // the caption
    const char* dropDown;  // layout name of its drop-down
    uint8_t code1, code2;  // its setup item
    Rgb colour;            // caption colour
};

// Every signal, in the order of IteSignal.
const std::array<SignalInfo, kSignalCount>& signalTable();
const SignalInfo& info(IteSignal signal);
// The signal a name ("PD0", "BUSY", "STB", ...) stands for.
std::optional<IteSignal> signalNamed(std::string_view name);

// The order APPLY sends the items in.
inline constexpr std::array<IteSignal, kSignalCount> kSetupOrder = {
    IteSignal::INIT, IteSignal::AFD,  IteSignal::SLIN, IteSignal::STB, IteSignal::KSI4,
    IteSignal::KSI5, IteSignal::BUSY, IteSignal::PD0,  IteSignal::PD1, IteSignal::PD2,
    IteSignal::PD3,  IteSignal::PD4,  IteSignal::PD5,  IteSignal::PD6, IteSignal::PD7};

// The drop-downs in their layout order (ComboBox1 .. ComboBox15), which a
// reversal runs through.
inline constexpr std::array<IteSignal, kSignalCount> kDropDownOrder = {
    IteSignal::PD0,  IteSignal::PD1,  IteSignal::PD2,  IteSignal::PD3,  IteSignal::PD4,
    IteSignal::PD5,  IteSignal::PD6,  IteSignal::PD7,  IteSignal::STB,  IteSignal::AFD,
    IteSignal::SLIN, IteSignal::INIT, IteSignal::BUSY, IteSignal::KSI4, IteSignal::KSI5};

// The item index of every drop-down (0 "NC", 1..32 a contact), indexed by
// IteSignal; nothing where the user typed a text that is no item.
using Selection = std::array<std::optional<int>, kSignalCount>;

// A drop-down's text as its item index: "NC" (any case) is 0, a decimal
// number 1..32 that contact; anything else is no item.
std::optional<int> contactFromText(std::string_view text);
// The text of item `index` ("NC", "1" .. "32").
std::string contactText(int index);

// --- a motherboard record ---
enum class RecordStop { None, Missing, Invalid };
struct RecordResult {
    Selection selection;  // the given one with the signals read so far replaced
    RecordStop stop = RecordStop::None;
    IteSignal at = IteSignal::PD0;  // where it stopped
};
// Reads the fifteen signals in their order; stops at the first key that is
// missing or whose value is not a contact 1..32 (a decimal value only).
RecordResult applyRecord(std::string_view record, const Selection& current);

// The "KB_pins=" value of a record: the keyboard connector's contact count.
inline constexpr int kMinKeyboardPins = 24;
inline constexpr int kMaxKeyboardPins = 32;
struct KeyboardPins {
    RecordStop stop = RecordStop::None;
    int count = 0;
};
KeyboardPins keyboardPins(std::string_view record);

// --- a reversed cable ---
enum class ReverseStop { None, NoItem, BeyondConnector };
struct ReverseResult {
    Selection selection;  // unchanged unless every drop-down could be turned
    ReverseStop stop = ReverseStop::None;
    IteSignal at = IteSignal::PD0;
};
// Contact i becomes n - i + 1; "NC" stays "NC". A drop-down with no item or
// with a contact above n stops it, the first in layout order, and nothing
// changes.
ReverseResult reverseCable(const Selection& selection, int keyboardPins);

// --- APPLY ---
using SetupItem = std::array<uint8_t, 3>;
struct SetupItems {
    std::vector<SetupItem> items;     // fifteen signals in kSetupOrder, then the end item
    std::optional<IteSignal> noItem;  // the first signal (in kSetupOrder) without an item
};
SetupItems setupItems(const Selection& selection);

}  // namespace zjig::ite
