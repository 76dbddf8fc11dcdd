// The ITE pin mapping as pure functions: a motherboard record read into
// contacts, the keyboard connector's size, the renumbering for a reversed
// cable, a drop-down's text, and the setup items APPLY sends.
#include "ite/ite_mapping.h"

#include <gtest/gtest.h>

namespace zjig::ite {
namespace {

constexpr const char* kZti =
    "ZTI-100 demo board  PD0=1 PD1=2 PD2=3 PD3=4 PD4=5 PD5=6 PD6=7 PD7=8 BUSY=10 STB=20 AFD=21 "
    "INIT=22 SLIN=23 KSI4=24 KSI5=25 KB_pins=30";

// Contacts in IteSignal order: PD0..PD7, BUSY, STB, AFD, INIT, SLIN, KSI4, KSI5.
Selection contacts(std::array<int, kSignalCount> c) {
    Selection s;
    for (size_t i = 0; i < kSignalCount; ++i) s[i] = c[i];
    return s;
}
const Selection kZtiContacts = contacts({1, 2, 3, 4, 5, 6, 7, 8, 10, 20, 21, 22, 23, 24, 25});
const Selection kAllNc = contacts({});

std::string withPd3(const std::string& value) {
    std::string r = kZti;
    r.replace(r.find("PD3=4"), 5, "PD3=" + value);
    return r;
}

TEST(IteRecord, ReadsTheFifteenSignalsOrStopsWhereARecordIsWrong) {
    struct Case {
        std::string record;
        RecordStop stop;
        IteSignal at;
        Selection expected;
    } cases[] = {
        {kZti, RecordStop::None, IteSignal::PD0, kZtiContacts},
        // The keys may stand in any order; a value may end the record.
        {"B KSI5=25 KSI4=24 SLIN=23 INIT=22 AFD=21 STB=20 BUSY=10 PD7=8 PD6=7 PD5=6 PD4=5 PD3=4 "
         "PD2=3 PD1=2 PD0=1",
         RecordStop::None, IteSignal::PD0, kZtiContacts},
        // A third digit is never read: 123 is contact 12.
        {withPd3("123"), RecordStop::None, IteSignal::PD0,
         contacts({1, 2, 3, 12, 5, 6, 7, 8, 10, 20, 21, 22, 23, 24, 25})},
        {withPd3("0"), RecordStop::Invalid, IteSignal::PD3, contacts({1, 2, 3})},
        {withPd3("33"), RecordStop::Invalid, IteSignal::PD3, contacts({1, 2, 3})},
        {withPd3("NC"), RecordStop::Invalid, IteSignal::PD3, contacts({1, 2, 3})},
        {withPd3("5,"), RecordStop::Invalid, IteSignal::PD3, contacts({1, 2, 3})},
        {"Cut PD0=1 PD1=2 PD2=3 PD3=", RecordStop::Invalid, IteSignal::PD3, contacts({1, 2, 3})},
        // Without AFD the signals before it are set, the rest left as they were.
        {"No AFD PD0=1 PD1=2 PD2=3 PD3=4 PD4=5 PD5=6 PD6=7 PD7=8 BUSY=10 STB=20 INIT=22 SLIN=23 "
         "KSI4=24 KSI5=25",
         RecordStop::Missing, IteSignal::AFD, contacts({1, 2, 3, 4, 5, 6, 7, 8, 10, 20})},
        // Keys are case-sensitive.
        {"pd0=1", RecordStop::Missing, IteSignal::PD0, kAllNc},
        {"", RecordStop::Missing, IteSignal::PD0, kAllNc},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record);
        const RecordResult r = applyRecord(c.record, kAllNc);
        EXPECT_EQ(r.stop, c.stop);
        if (c.stop != RecordStop::None) {
            EXPECT_EQ(r.at, c.at);
        }
        EXPECT_EQ(r.selection, c.expected);
    }
}

TEST(IteRecord, KeyboardPinsMustBe24To32) {
    struct Case {
        const char* record;
        RecordStop stop;
        int count;
    } cases[] = {
        {"X KB_pins=30", RecordStop::None, 30},   {"X KB_pins=24 Y", RecordStop::None, 24},
        {"X KB_pins=32", RecordStop::None, 32},   {"X KB_pins=23", RecordStop::Invalid, 0},
        {"X KB_pins=33", RecordStop::Invalid, 0}, {"X KB_pins=3x", RecordStop::Invalid, 0},
        {"X KB_pins=", RecordStop::Invalid, 0},   {"X KB_PINS=30", RecordStop::Missing, 0},
    };
    for (const auto& c : cases) {
        const KeyboardPins pins = keyboardPins(c.record);
        EXPECT_EQ(pins.stop, c.stop) << c.record;
        EXPECT_EQ(pins.count, c.count) << c.record;
    }
}

TEST(IteReverse, TurnsEveryContactAndBackAgain) {
    const ReverseResult r = reverseCable(kZtiContacts, 30);
    ASSERT_EQ(r.stop, ReverseStop::None);
    EXPECT_EQ(r.selection, contacts({30, 29, 28, 27, 26, 25, 24, 23, 21, 11, 10, 9, 8, 7, 6}));
    EXPECT_EQ(reverseCable(r.selection, 30).selection, kZtiContacts);
    // Contact 1 and contact n trade places at both ends of the range.
    EXPECT_EQ(reverseCable(contacts({1, 32}), 32).selection, contacts({32, 1}));
}

TEST(IteReverse, NotConnectedStaysAndAnUnfitContactChangesNothing) {
    EXPECT_EQ(reverseCable(contacts({0, 5}), 24).selection, contacts({0, 20}));

    // PD1 on 26 does not exist on a 24-contact connector.
    Selection beyond = contacts({1, 26, 3});
    ReverseResult r = reverseCable(beyond, 24);
    EXPECT_EQ(r.stop, ReverseStop::BeyondConnector);
    EXPECT_EQ(r.at, IteSignal::PD1);
    EXPECT_EQ(r.selection, beyond);

    // A typed text that is no item; STB (ComboBox9) comes before INIT
    // (ComboBox12) in the layout.
    Selection typed = kZtiContacts;
    typed[static_cast<size_t>(IteSignal::INIT)].reset();
    typed[static_cast<size_t>(IteSignal::STB)].reset();
    r = reverseCable(typed, 30);
    EXPECT_EQ(r.stop, ReverseStop::NoItem);
    EXPECT_EQ(r.at, IteSignal::STB);
    EXPECT_EQ(r.selection, typed);
}

TEST(IteDropDown, TextIsAnItemOrNot) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"NC", 0},
        {"nc", 0},
        {"1", 1},
        {"32", 32},
        {"05", 5},
        {"0", std::nullopt},
        {"33", std::nullopt},
        {"", std::nullopt},
        {"x", std::nullopt},
        {"1 ", std::nullopt},
        {"123", std::nullopt},
        {"-1", std::nullopt},
    };
    for (const auto& [text, index] : cases) EXPECT_EQ(contactFromText(text), index) << text;
    EXPECT_EQ(contactText(0), "NC");
    EXPECT_EQ(contactText(32), "32");
}

TEST(IteSetup, ItemsGoInTheirOrderAndEndWithQQQ) {
    const SetupItems zti = setupItems(kZtiContacts);
    ASSERT_FALSE(zti.noItem);
    const std::vector<SetupItem> expected = {
        {'I', 'N', 22}, {'D', 'S', 21}, {'A', 'S', 23}, {'W', 'R', 20},
        {'K', '4', 24}, {'K', '5', 25}, {'B', 'L', 10}, {'d', '0', 1},
        {'d', '1', 2},  {'d', '2', 3},  {'d', '3', 4},  {'d', '4', 5},
        {'d', '5', 6},  {'d', '6', 7},  {'d', '7', 8},  {'Q', 'Q', 'Q'}};
    EXPECT_EQ(zti.items, expected);

    const SetupItems nc = setupItems(kAllNc);
    ASSERT_EQ(nc.items.size(), 16u);
    for (size_t i = 0; i < 15; ++i) EXPECT_EQ(nc.items[i][2], 0) << i;

    Selection typed = kZtiContacts;
    typed[static_cast<size_t>(IteSignal::PD2)].reset();
    const SetupItems none = setupItems(typed);
    EXPECT_EQ(none.noItem, IteSignal::PD2);
    EXPECT_TRUE(none.items.empty());
}

TEST(IteSignals, NamesCodesAndDropDownsFollowTheLayout) {
    EXPECT_EQ(signalNamed("BUSY"), IteSignal::BUSY);
    EXPECT_EQ(signalNamed("KSI5"), IteSignal::KSI5);
    EXPECT_EQ(signalNamed("STB#"), std::nullopt);
    EXPECT_EQ(signalNamed("pd0"), std::nullopt);
    EXPECT_STREQ(info(IteSignal::INIT).dropDown, "ComboBox12");
    EXPECT_STREQ(info(IteSignal::SLIN).label, "Label11");
    EXPECT_EQ(info(IteSignal::BUSY).colour, kBlue);
    EXPECT_EQ(info(IteSignal::AFD).colour, kRed);
    EXPECT_EQ(info(IteSignal::PD5).colour, (Rgb{0, 128, 0}));
    EXPECT_EQ(info(IteSignal::KSI4).colour, kBlack);
    for (size_t i = 0; i < kSignalCount; ++i)
        EXPECT_EQ(std::string(info(kDropDownOrder[i]).dropDown),
                  "ComboBox" + std::to_string(i + 1));
}

}  // namespace
}  // namespace zjig::ite
