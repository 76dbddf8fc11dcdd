#include "jiglink/connect_jig.h"

#include <gtest/gtest.h>

#include "support/fake_port.h"
#include "support/recorder_port.h"

namespace zjig {
namespace {

using test::answering;
using test::FakeDeviceScript;

FakeDeviceScript silent() { return FakeDeviceScript{}; }

struct Run {
    ConnectResult result;
    std::string identity;
    std::vector<std::string> calls;  // device calls
    test::RecorderPort ui;
};

std::unique_ptr<Run> connect(std::vector<FakeDeviceScript> devices, const ConnectVariant& variant,
                             bool showVersion = true) {
    auto run = std::make_unique<Run>();
    auto log = std::make_shared<test::FakeLog>();
    DeviceList list = test::fakeDeviceList(std::move(devices), log);
    JigLink link(LinkEnv{&list, {}}, 300);
    run->result = ConnectJig(link, run->ui, variant, run->identity, showVersion);
    run->calls = log->snapshot();  // before the link's end closes what is open
    return run;
}

bool opened(const Run& run, int index) {
    for (const auto& c : run.calls)
        if (c == "open " + std::to_string(index)) return true;
    return false;
}

TEST(ConnectJig, SearchesFromTheHighestIndexAndStopsAtAnUnacceptableAnswer) {
    auto run = connect({answering("V41"), answering("PCB2_V42")}, connectVariantKb901x());
    EXPECT_EQ(run->result, ConnectResult::NeedsUpdate);
    EXPECT_TRUE(opened(*run, 1));
    EXPECT_FALSE(opened(*run, 0)) << "index 0 must never be tried";
    EXPECT_EQ(run->ui.memo("KB901X_Memo"),
              (std::vector<std::string>{"Number of VCOM ports found on the machine: 2",
                                        "Version FW -> PCB2_V42",
                                        "It is necessary to update the firmware programmer!"}));
    EXPECT_EQ(run->calls.back(), "close 1");
}

TEST(ConnectJig, StandardOpenSequenceThenIdentifyThenLatencyOnAcceptance) {
    auto run = connect({answering("PCB2_V41")}, connectVariantKb901x());
    ASSERT_EQ(run->result, ConnectResult::Accepted);
    EXPECT_EQ(run->calls, (std::vector<std::string>{"open 0", "reset 0", "baud 0 921600",
                                                    "format 0 800", "timeouts 0 300 300",
                                                    "write 0 42", "read 0 8", "latency 0 2"}));
    EXPECT_EQ(run->ui.memo("KB901X_Memo").back(), "Communication with programmer installed.");
}

TEST(ConnectJig, SilentAndUnopenableDevicesAreSkippedAndClosed) {
    FakeDeviceScript unopenable;
    unopenable.opens = false;
    auto run = connect({silent(), unopenable, silent()}, connectVariantEdid());
    EXPECT_EQ(run->result, ConnectResult::NoJig);
    EXPECT_EQ(run->ui.memo("EDID_Memo"),
              (std::vector<std::string>{"Number of VCOM ports found on the machine: 3",
                                        "-->  The programmer is not found or does not respond"}));
    int closes = 0;
    for (const auto& c : run->calls) closes += c.rfind("close", 0) == 0;
    EXPECT_EQ(closes, 2) << "both silent devices are closed again";
}

TEST(ConnectJig, NoDeviceAtAll) {
    auto run = connect({}, connectVariantNpce());
    EXPECT_EQ(run->result, ConnectResult::NoJig);
    EXPECT_EQ(run->ui.memo("NPCE_Memo"),
              std::vector<std::string>{"VCOM port is not found on the machine!"});
}

TEST(ConnectJig, NoDeviceListAtAll) {
    test::RecorderPort ui;
    JigLink link(LinkEnv{}, 300);
    std::string id;
    EXPECT_EQ(ConnectJig(link, ui, connectVariantKb901x(), id), ConnectResult::NoJig);
    EXPECT_EQ(ui.memo("KB901X_Memo"), std::vector<std::string>{"I can not get a list of VCOM ports"});
}

// Which identities each window accepts. Substring tests are case-sensitive.
TEST(ConnectJig, AcceptanceTableOfTheWindows) {
    struct Case {
        const ConnectVariant& variant;
        std::string answer;
        ConnectResult expected;
    };
    const std::string jig3 = "M328_EPM240_v16\r\n";
    const Case cases[] = {
        {connectVariantEdid(), jig3, ConnectResult::Accepted},
        {connectVariantKb901x(), jig3, ConnectResult::Accepted},
        {connectVariantKeyboard(), jig3, ConnectResult::Accepted},
        {connectVariantMec(), jig3, ConnectResult::Accepted},
        {connectVariantIte(), jig3, ConnectResult::Accepted},
        {connectVariantNpce(), jig3, ConnectResult::Accepted},
        {connectVariantNuvotonJtag(), jig3, ConnectResult::Accepted},
        {connectVariantEdid(), "PCB2_V41", ConnectResult::Accepted},
        {connectVariantEdid(), "pcb2_v41", ConnectResult::NeedsUpdate},
        {connectVariantKeyboard(), "PCB2_V41", ConnectResult::Accepted},
        {connectVariantKb901x(), "PCB2_ITE", ConnectResult::NeedsUpdate},
        {connectVariantIte(), "PCB2_ITE", ConnectResult::Accepted},
        {connectVariantIte(), "PCB2_V41", ConnectResult::NeedsUpdate},
        {connectVariantNpce(), "PCB2_NPCE", ConnectResult::Accepted},
        {connectVariantNuvotonJtag(), "PCB2_NPCE", ConnectResult::Accepted},
        {connectVariantNuvotonJtag(), "PCB2_V42", ConnectResult::NeedsUpdate},
        {connectVariantMec(), "anything at all", ConnectResult::Accepted},
        {connectVariantMec(), "\xC0", ConnectResult::Accepted},
    };
    for (const auto& c : cases) {
        auto run = connect({answering(c.answer)}, c.variant);
        EXPECT_EQ(run->result, c.expected) << c.variant.window << " <- " << c.answer;
    }
}

TEST(ConnectJig, Jig3IdentityKeepsItsLineEndAsTwoSpaces) {
    auto run = connect({answering("M328_EPM240_v16\r\n")}, connectVariantKb901x());
    EXPECT_EQ(run->identity, "M328_EPM240_v16  ");
    EXPECT_EQ(run->ui.memo("KB901X_Memo")[1], "Version FW -> M328_EPM240_v16  ");
}

TEST(ConnectJig, MecWindowAcceptsAnyAnswerWithoutCountOrVerdictLines) {
    auto run = connect({answering("PCB2_V41")}, connectVariantMec());
    EXPECT_EQ(run->result, ConnectResult::Accepted);
    EXPECT_EQ(run->ui.memo("Memo_MEC16"), std::vector<std::string>{"Version FW -> PCB2_V41"});
    EXPECT_EQ(run->calls.back(), "latency 0 2");
}

TEST(ConnectJig, KeyboardWindowWritesNothingAndSetsLatencyOnEveryDevice) {
    auto run = connect({answering("PCB2_V41"), silent()}, connectVariantKeyboard());
    EXPECT_EQ(run->result, ConnectResult::Accepted);
    EXPECT_TRUE(run->ui.calls().empty());
    const std::vector<std::string> device1 = {"open 1", "reset 1", "baud 1 921600", "format 1 800",
                                              "latency 1 2", "timeouts 1 300 300"};
    EXPECT_EQ(std::vector<std::string>(run->calls.begin(), run->calls.begin() + 6), device1);
}

TEST(ConnectJig, IteWindowWritesBothMemosWithTheirOwnVersionLine) {
    auto run = connect({answering("PCB2_ITE")}, connectVariantIte());
    EXPECT_EQ(run->ui.memo("ITE_Memo1")[1], "Версия FW программатора -> PCB2_ITE");
    EXPECT_EQ(run->ui.memo("ITE_Memo_ENG")[1], "Programmer FW version -> PCB2_ITE");
    EXPECT_EQ(run->ui.memo("ITE_Memo1")[2], "Communication with programmer installed.");
    EXPECT_EQ(run->ui.memo("ITE_Memo_ENG")[2], "Communication with programmer installed.");
}

TEST(ConnectJig, NpceWindowUsesLongerTimeouts) {
    auto run = connect({answering("PCB2_NPCE")}, connectVariantNpce());
    EXPECT_NE(std::find(run->calls.begin(), run->calls.end(), "timeouts 0 500 500"),
              run->calls.end());
}

TEST(ConnectJig, NuvotonJtagFlagHidesVersionAndAcceptanceLines) {
    auto quiet = connect({answering("M328_EPM240_v16")}, connectVariantNuvotonJtag(), false);
    EXPECT_EQ(quiet->result, ConnectResult::Accepted);
    EXPECT_TRUE(quiet->ui.memo("Memo_NUV_JTAG").empty());
    auto shown = connect({answering("M328_EPM240_v16")}, connectVariantNuvotonJtag(), true);
    EXPECT_EQ(shown->ui.memo("Memo_NUV_JTAG"),
              (std::vector<std::string>{"Version FW -> M328_EPM240_v16",
                                        "Communication with programmer installed."}));
    auto refused = connect({answering("PCB2_V41")}, connectVariantNuvotonJtag(), false);
    EXPECT_EQ(refused->ui.memo("Memo_NUV_JTAG"),
              std::vector<std::string>{"It is necessary to update the firmware programmer!"});
}

}  // namespace
}  // namespace zjig
