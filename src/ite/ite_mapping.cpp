#include "ite/ite_mapping.h"

#include "base/mb_database.h"
#include "ite/ite_commands.h"

namespace zjig::ite {

namespace {

// The green of the data lines is a dark one: readable on the window's grey.
inline constexpr Rgb kDataColour{0, 128, 0};
inline constexpr Rgb kStrobeColour = kRed;
inline constexpr Rgb kBusyColour = kBlue;
inline constexpr Rgb kScanColour = kBlack;

constexpr std::array<SignalInfo, kSignalCount> kSignals = {{
    {IteSignal::PD0, "PD0", "PD0=", "Label1", "PD0 (pin 36 KSO0)", "ComboBox1", 'd', '0',
     kDataColour},
    {IteSignal::PD1, "PD1", "PD1=", "Label2", "PD1 (pin 37 KSO1)", "ComboBox2", 'd', '1',
     kDataColour},
    {IteSignal::PD2, "PD2", "PD2=", "Label3", "PD2 (pin 38 KSO2)", "ComboBox3", 'd', '2',
     kDataColour},
    {IteSignal::PD3, "PD3", "PD3=", "Label4", "PD3 (pin 39 KSO3)", "ComboBox4", 'd', '3',
     kDataColour},
    {IteSignal::PD4, "PD4", "PD4=", "Label5", "PD4 (pin 40 KSO4)", "ComboBox5", 'd', '4',
     kDataColour},
    {IteSignal::PD5, "PD5", "PD5=", "Label6", "PD5 (pin 41 KSO5)", "ComboBox6", 'd', '5',
     kDataColour},
    {IteSignal::PD6, "PD6", "PD6=", "Label7", "PD6 (pin 42 KSO6)", "ComboBox7", 'd', '6',
     kDataColour},
    {IteSignal::PD7, "PD7", "PD7=", "Label8", "PD7 (pin 43 KSO7)", "ComboBox8", 'd', '7',
     kDataColour},
    {IteSignal::BUSY, "BUSY", "BUSY=", "Label13", "BUSY (pin 45 KSO9)", "ComboBox13", 'B', 'L',
     kBusyColour},
    {IteSignal::STB, "STB", "STB=", "Label9", "STB# (58 KSI0) WR/RD 0/1", "ComboBox9", 'W', 'R',
     kStrobeColour},
    {IteSignal::AFD, "AFD", "AFD=", "Label10", "AFD# (59 KSI1) DS", "ComboBox10", 'D', 'S',
     kStrobeColour},
    {IteSignal::INIT, "INIT", "INIT=", "Label12", "INIT# (60 KSI2) IN", "ComboBox12", 'I', 'N',
     kStrobeColour},
    {IteSignal::SLIN, "SLIN", "SLIN=", "Label11", "SLIN# (61 KSI3) AS", "ComboBox11", 'A', 'S',
     kStrobeColour},
    {IteSignal::KSI4, "KSI4", "KSI4=", "Label14", "KSI4 (pin 62)", "ComboBox14", 'K', '4',
     kScanColour},
    {IteSignal::KSI5, "KSI5", "KSI5=", "Label15", "KSI5 (pin 63)", "ComboBox15", 'K', '5',
     kScanColour},
}};

constexpr const char* kKeyboardPinsKey = "KB_pins=";

size_t at(IteSignal s) { return static_cast<size_t>(s); }

}  // namespace

const std::array<SignalInfo, kSignalCount>& signalTable() { return kSignals; }
const SignalInfo& info(IteSignal signal) { return kSignals[at(signal)]; }

std::optional<IteSignal> signalNamed(std::string_view name) {
    for (const auto& s : kSignals)
        if (name == s.name) return s.signal;
    return std::nullopt;
}

std::optional<int> contactFromText(std::string_view text) {
    if (text.size() == 2 && (text[0] == 'N' || text[0] == 'n') &&
        (text[1] == 'C' || text[1] == 'c'))
        return 0;
    if (text.size() > static_cast<size_t>(2)) return std::nullopt;
    return pinNumber(text);
}

std::string contactText(int index) {
    return index == 0 ? std::string("NC") : std::to_string(index);
}

RecordResult applyRecord(std::string_view record, const Selection& current) {
    RecordResult r;
    r.selection = current;
    for (const auto& s : kSignals) {
        const auto value = mbKeyValue(record, s.key);
        if (!value) {
            r.stop = RecordStop::Missing;
            r.at = s.signal;
            return r;
        }
        // A record cannot say "NC": every signal it names is on a contact.
        const auto contact = pinNumber(*value);
        if (!contact) {
            r.stop = RecordStop::Invalid;
            r.at = s.signal;
            return r;
        }
        r.selection[at(s.signal)] = *contact;
    }
    return r;
}

KeyboardPins keyboardPins(std::string_view record) {
    const auto value = mbKeyValue(record, kKeyboardPinsKey);
    if (!value) return {RecordStop::Missing, 0};
    const auto n = mbDecimal(*value);
    if (!n || *n < kMinKeyboardPins || *n > kMaxKeyboardPins) return {RecordStop::Invalid, 0};
    return {RecordStop::None, *n};
}

ReverseResult reverseCable(const Selection& selection, int keyboardPins) {
    ReverseResult r;
    r.selection = selection;
    Selection turned = selection;
    for (IteSignal s : kDropDownOrder) {
        const auto& contact = selection[at(s)];
        if (!contact) {
            r.stop = ReverseStop::NoItem;
            r.at = s;
            return r;
        }
        if (*contact > keyboardPins) {
            r.stop = ReverseStop::BeyondConnector;
            r.at = s;
            return r;
        }
        // Not connected is not connected at either end of the cable.
        if (*contact != 0) turned[at(s)] = keyboardPins - *contact + 1;
    }
    r.selection = turned;
    return r;
}

SetupItems setupItems(const Selection& selection) {
    SetupItems out;
    for (IteSignal s : kSetupOrder) {
        const auto& contact = selection[at(s)];
        if (!contact) {
            out.items.clear();
            out.noItem = s;
            return out;
        }
        out.items.push_back({info(s).code1, info(s).code2, static_cast<uint8_t>(*contact)});
    }
    out.items.push_back(kSetupEnd);
    return out;
}

}  // namespace zjig::ite
