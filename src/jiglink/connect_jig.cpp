#include "jiglink/connect_jig.h"

#include "base/names.h"
#include "jiglink/identity.h"

namespace zjig {

namespace {

const std::string kVersionLine = "Version FW -> ";

ConnectVariant makeVariant(std::string window, std::vector<std::string> accepted,
                           std::vector<std::string> memos) {
    ConnectVariant v;
    v.window = std::move(window);
    v.accepted = std::move(accepted);
    v.memos = std::move(memos);
    v.versionPrefixes.assign(v.memos.size(), kVersionLine);
    return v;
}

void say(UiPort& ui, const ConnectVariant& v, const std::string& line) {
    for (const auto& memo : v.memos) ui.appendLine(memo, line);
}

bool acceptable(const ConnectVariant& v, const std::string& identity) {
    if (v.accepted.empty()) return true;
    for (const auto& part : v.accepted)
        if (contains(identity, part)) return true;
    return false;
}

}  // namespace

const ConnectVariant& connectVariantEdid() {
    static const ConnectVariant v = [] {
        auto v = makeVariant(names::kEdidWindow, {"V41", "EPM240"}, {names::kEdidMemo});
        v.notFoundLine = "-->  The programmer is not found or does not respond";
        return v;
    }();
    return v;
}

const ConnectVariant& connectVariantKb901x() {
    static const ConnectVariant v =
        makeVariant(names::kKb901xWindow, {"V41", "EPM240"}, {names::kKb901xMemo});
    return v;
}

const ConnectVariant& connectVariantKeyboard() {
    static const ConnectVariant v = [] {
        auto v = makeVariant(names::kKeyboardWindow, {"V41", "EPM240"}, {});
        v.latencyForEveryDevice = true;
        return v;
    }();
    return v;
}

const ConnectVariant& connectVariantMec() {
    static const ConnectVariant v = [] {
        auto v = makeVariant(names::kMecWindow, {}, {names::kMecMemo});
        v.writesCountLine = false;
        return v;
    }();
    return v;
}

const ConnectVariant& connectVariantIte() {
    static const ConnectVariant v = [] {
        auto v = makeVariant(names::kIteWindow, {"ITE", "EPM240"},
                             {names::kIteMemoRu, names::kIteMemoEng});
        v.versionPrefixes = {"Версия FW программатора -> ", "Programmer FW version -> "};
        return v;
    }();
    return v;
}

const ConnectVariant& connectVariantNpce() {
    static const ConnectVariant v = [] {
        auto v = makeVariant(names::kNpceWindow, {"NPCE", "EPM240"}, {names::kNpceMemo});
        v.readMs = 500;
        v.writeMs = 500;
        return v;
    }();
    return v;
}

const ConnectVariant& connectVariantNuvotonJtag() {
    static const ConnectVariant v = [] {
        auto v =
            makeVariant(names::kNuvotonJtagWindow, {"EPM240", "NPCE"}, {names::kNuvotonJtagMemo});
        v.writesCountLine = false;
        return v;
    }();
    return v;
}

ConnectResult ConnectJig(JigLink& link, UiPort& ui, const ConnectVariant& v, std::string& identity,
                         bool showVersionLines) {
    if (!ftOk(link.enumerate())) {
        say(ui, v, "I can not get a list of VCOM ports");
        return ConnectResult::NoJig;
    }
    if (link.deviceCount == 0) {
        say(ui, v, "VCOM port is not found on the machine!");
        return ConnectResult::NoJig;
    }
    if (v.writesCountLine)
        say(ui, v,
            "Number of VCOM ports found on the machine: " + std::to_string(link.deviceCount));

    const bool anyAnswer = v.accepted.empty();
    for (uint32_t index = link.deviceCount; index-- > 0;) {
        if (!ftOk(link.open(index))) continue;
        link.reset();
        link.setBaudRate(kLinkBaud);
        link.setDataCharacteristics();
        if (v.latencyForEveryDevice) link.setLatencyTimer(kAcceptedLatencyMs);
        link.setTimeouts(v.readMs, v.writeMs);

        std::string answer;
        if (link.identify(answer) == 0) {
            link.close();
            continue;
        }
        identity = answer;
        if (showVersionLines) {
            for (size_t m = 0; m < v.memos.size(); ++m)
                ui.appendLine(v.memos[m], v.versionPrefixes[m] + identity);
        }
        if (anyAnswer) {
            link.setLatencyTimer(kAcceptedLatencyMs);
            return ConnectResult::Accepted;
        }
        if (acceptable(v, identity)) {
            if (showVersionLines) say(ui, v, "Communication with programmer installed.");
            link.setLatencyTimer(kAcceptedLatencyMs);
            return ConnectResult::Accepted;
        }
        say(ui, v, "It is necessary to update the firmware programmer!");
        link.close();
        return ConnectResult::NeedsUpdate;
    }
    say(ui, v, v.notFoundLine);
    return ConnectResult::NoJig;
}

}  // namespace zjig
