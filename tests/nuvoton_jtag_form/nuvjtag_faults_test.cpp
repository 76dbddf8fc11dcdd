// The Nuvoton JTAG session against a scripted JIG, for what the simulated
// JIG does not do: an answer that arrives in parts, an answer cut short, a
// JIG that identifies itself and then says nothing.
#include <gtest/gtest.h>

#include <deque>
#include <mutex>

#include "nuvjtag_test_support.h"

namespace zjig::test {
namespace {

constexpr milliseconds kWait{200};

// Answers each command the PC writes with the parts `answer` gives: the
// first part at once, each further part when the PC waits for more.
class PartsJig {
  public:
    using Answer = std::function<std::vector<Bytes>(const Bytes& command)>;

    explicit PartsJig(Answer answer) : shared_(std::make_shared<Shared>()) {
        shared_->answer = std::move(answer);
        devices.addPort(std::make_unique<FakePort>(shared_));
    }
    Bytes hostBytes() {
        std::lock_guard<std::mutex> lock(shared_->m);
        return std::exchange(shared_->host, {});
    }
    int openConnections() {
        std::lock_guard<std::mutex> lock(shared_->m);
        return shared_->open;
    }

    DeviceList devices;

  private:
    struct Shared {
        std::mutex m;
        Answer answer;
        Bytes host;
        std::deque<uint8_t> rx;
        std::deque<Bytes> later;
        int open = 0;
    };

    class FakeDevice : public Device {
      public:
        explicit FakeDevice(std::shared_ptr<Shared> s) : s_(std::move(s)) {}
        FtStatus resetDevice() override { return FtStatus::Ok; }
        FtStatus setBaudRate(uint32_t) override { return FtStatus::Ok; }
        FtStatus setDataCharacteristics(uint8_t, uint8_t, uint8_t) override { return FtStatus::Ok; }
        FtStatus setTimeouts(uint32_t, uint32_t) override { return FtStatus::Ok; }
        FtStatus setLatencyTimer(uint8_t) override { return FtStatus::Ok; }
        FtStatus write(const uint8_t* data, uint32_t n, uint32_t& moved) override {
            std::lock_guard<std::mutex> lock(s_->m);
            const Bytes command(data, data + n);
            s_->host.insert(s_->host.end(), command.begin(), command.end());
            auto parts = s_->answer(command);
            for (size_t i = 0; i < parts.size(); ++i) {
                if (i == 0)
                    s_->rx.insert(s_->rx.end(), parts[0].begin(), parts[0].end());
                else
                    s_->later.push_back(parts[i]);
            }
            moved = n;
            return FtStatus::Ok;
        }
        FtStatus read(uint8_t* data, uint32_t n, uint32_t& moved) override {
            std::lock_guard<std::mutex> lock(s_->m);
            moved = static_cast<uint32_t>(std::min<size_t>(n, s_->rx.size()));
            for (uint32_t i = 0; i < moved; ++i) {
                data[i] = s_->rx.front();
                s_->rx.pop_front();
            }
            return FtStatus::Ok;
        }
        FtStatus getStatus(uint32_t& rx, uint32_t& tx, uint32_t& ev) override {
            std::lock_guard<std::mutex> lock(s_->m);
            rx = static_cast<uint32_t>(s_->rx.size());
            tx = 0;
            ev = 0;
            return FtStatus::Ok;
        }
        FtStatus purge(uint32_t) override { return FtStatus::Ok; }
        FtStatus getDriverVersion(uint32_t& v) override {
            v = 0;
            return FtStatus::Ok;
        }
        FtStatus close() override {
            std::lock_guard<std::mutex> lock(s_->m);
            s_->rx.clear();
            s_->later.clear();
            --s_->open;
            return FtStatus::Ok;
        }
        void waitForData(uint32_t, Clock::time_point until) override {
            {
                std::lock_guard<std::mutex> lock(s_->m);
                if (!s_->later.empty()) {
                    const Bytes part = s_->later.front();
                    s_->later.pop_front();
                    s_->rx.insert(s_->rx.end(), part.begin(), part.end());
                    return;
                }
            }
            std::this_thread::sleep_until(std::min(until, Clock::now() + milliseconds(5)));
        }

      private:
        std::shared_ptr<Shared> s_;
    };

    class FakePort : public Port {
      public:
        explicit FakePort(std::shared_ptr<Shared> s) : s_(std::move(s)) {}
        bool count(uint32_t& n, std::string&) override {
            n = 1;
            return true;
        }
        FtStatus open(uint32_t, std::unique_ptr<Device>& out) override {
            std::lock_guard<std::mutex> lock(s_->m);
            ++s_->open;
            out = std::make_unique<FakeDevice>(s_);
            return FtStatus::Ok;
        }
        std::string describe() const override { return "scripted Nuvoton JIG"; }

      private:
        std::shared_ptr<Shared> s_;
    };

    std::shared_ptr<Shared> shared_;
};

// A third-generation JIG that answers 'G' to everything but the ID shift,
// whose answer comes in the parts given.
PartsJig::Answer jigWithId(std::vector<Bytes> idParts) {
    return [idParts](const Bytes& c) -> std::vector<Bytes> {
        if (c == bytesOf("B")) return {bytesOf("M328_EPM240_v16\r\n")};
        if (c.size() == 6 && c[0] == 'J' && c[1] == 'D') return idParts;
        return {{'G'}};
    };
}

class NuvFaults : public NuvSessionFixture {
  protected:
    void start(PartsJig::Answer answer) {
        jig = std::make_unique<PartsJig>(std::move(answer));
        openOn(jig->devices, kWait, dir.file("empty/"));
    }
    void TearDown() override { session.reset(); }
    std::unique_ptr<PartsJig> jig;
};

TEST_F(NuvFaults, AnIdInPartsIsReadWhole) {
    start(jigWithId({{0x1F, 0x20}, {0xE2}, {0x0F}}));
    check();
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "Read NUVOTON ID 0FE2201F"));
    // It went on to the script (there is none in this folder).
    EXPECT_TRUE(hasLine(lines, "Break! Open file (.vss) error or not found!"));
}

TEST_F(NuvFaults, AnIdCutShortIsNoIdAndNoLeftoverForTheNextAnswer) {
    start(jigWithId({{0x1F, 0x20, 0xE2}}));
    check();
    const auto lines = memo();
    EXPECT_TRUE(hasLine(lines, "DR_SHIFT_32: no answer from the programmer within 200 ms"));
    EXPECT_FALSE(hasLineStarting(lines, "Read NUVOTON ID"));
    EXPECT_FALSE(hasLineStarting(lines, "Sending start"));
    const Bytes expected = bytesOf("B") + Bytes{0x4A, 0x58, 0x4A, 0x31, 0x4A, 0x44, 0xFF,
                                                0xFF, 0xFF, 0xFF, 0x4A, 0x53, 0x4F};
    EXPECT_EQ(jig->hostBytes(), expected);
    EXPECT_EQ(ui.enabled("BitBtn_SETTINGS"), true);
    EXPECT_EQ(ui.enabled("BitBtn_NUV_JTAG_RD"), false);
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_EQ(jig->openConnections(), 0);
}

TEST_F(NuvFaults, AJigSilentAfterItsIdentityEndsTheSettingsAtTheBound) {
    start([](const Bytes& c) -> std::vector<Bytes> {
        if (c == bytesOf("B")) return {bytesOf("M328_EPM240_v16\r\n")};
        return {};
    });
    const auto started = std::chrono::steady_clock::now();
    settings();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
    const auto lines = memo();
    EXPECT_EQ(lines.back(), "RESET_ALTERA: no answer from the programmer within 200 ms");
    EXPECT_FALSE(hasLine(lines, "Settings for NUVOTON send."));
    EXPECT_EQ(jig->hostBytes(), bytesOf("BSR"));
    EXPECT_EQ(ui.enabled("BitBtn_CONNECT"), false);
    EXPECT_EQ(ui.enabled("BitBtn_SETTINGS"), true);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(session->lastOperationSucceeded(), false);
    EXPECT_EQ(jig->openConnections(), 0);
}

}  // namespace
}  // namespace zjig::test
