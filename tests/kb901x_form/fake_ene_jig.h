// A scripted JIG with a KB90XX behind it, for the faults the simulated JIG
// does not offer: falling silent in the middle of a write, flooding the
// receive queue, a chosen sum answer, noise between the sum ticks, a CPLD
// that stops answering. Answers are queued the moment the PC's byte is
// written, so every exchange is deterministic; a silent JIG queues nothing.
#pragma once

#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "jiglink/device.h"
#include "jiglink/jig_link.h"

namespace zjig::test {

class FakeEneJig {
public:
    struct Options {
        bool jig3 = true;
        uint8_t version = 0x0C;
        int silentAfterWrittenBlock = 0;  // 0: never; else no answer after that block
        int floodReadBlock = 0;           // 0: never; else that block comes with 300 bytes
        int silentAfterReadBlock = 0;     // 0: never; else nothing after sending that block
        int cpldAnswers = -1;             // CPLD commands answered before silence; -1: all
        // Second generation: the four bytes after the 512 ticks (else the true sums).
        std::vector<uint8_t> sumAnswer;
        int sumNoisePerTick = 0;  // bytes other than '-' sent ahead of every tick
    };

    static constexpr size_t kFlashSize = 131072;
    static constexpr size_t kBlock = 256;

    explicit FakeEneJig(Options options) : shared_(std::make_shared<Shared>()) {
        shared_->options = std::move(options);
        shared_->flash.assign(kFlashSize, 0);
        for (size_t i = 0; i < kFlashSize; ++i)
            shared_->flash[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
        devices_.addPort(std::make_unique<FakePort>(shared_));
    }

    LinkEnv env(std::optional<milliseconds> timeout = std::nullopt) {
        return LinkEnv{&devices_, timeout};
    }
    std::vector<uint8_t> hostBytes() const {
        std::lock_guard<std::mutex> lock(shared_->m);
        return shared_->host;
    }
    std::vector<uint8_t> flash() const {
        std::lock_guard<std::mutex> lock(shared_->m);
        return shared_->flash;
    }
    int cpldCommands() const {
        std::lock_guard<std::mutex> lock(shared_->m);
        return shared_->cpldSeen;
    }
    // Connections opened and not closed.
    int openConnections() const {
        std::lock_guard<std::mutex> lock(shared_->m);
        return shared_->open;
    }
    // Answer bytes the PC had not read when it closed a connection.
    int unreadAtClose() const {
        std::lock_guard<std::mutex> lock(shared_->m);
        return shared_->unreadAtClose;
    }

private:
    enum class Mode { Idle, Prefix, CpldCmd, CpldArgs, Reading, WriteData, WriteWait, Silent };

    struct Shared {
        std::mutex m;
        Options options;
        std::vector<uint8_t> host;
        std::deque<uint8_t> rx;
        std::vector<uint8_t> flash;
        Mode mode = Mode::Idle;
        int cpldArgsLeft = 0;
        int cpldSeen = 0;
        size_t block = 0;  // block being read or written
        std::vector<uint8_t> data;
        int written = 0;
        int open = 0;
        int unreadAtClose = 0;

        void put(uint8_t b) { rx.push_back(b); }
        void putBlock() {
            const int copies = options.floodReadBlock == static_cast<int>(block) + 1 ? 2 : 1;
            for (int c = 0; c < copies; ++c)
                for (size_t i = 0; i < (c ? 44 : kBlock); ++i) put(flash[block * kBlock + i]);
            if (options.silentAfterReadBlock == static_cast<int>(block) + 1) mode = Mode::Silent;
        }
        void cpldAnswer() {
            ++cpldSeen;
            if (options.cpldAnswers >= 0 && cpldSeen > options.cpldAnswers) return;
            put(0x01);
        }
        void sums() {
            uint16_t sum = 0, crc = 0;
            for (uint8_t b : flash) {
                sum = static_cast<uint16_t>(sum + b);
                crc ^= b;
                for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
            }
            for (size_t i = 0; i < kFlashSize / kBlock; ++i) {
                for (int k = 0; k < options.sumNoisePerTick; ++k) put('+');
                put('-');
            }
            std::vector<uint8_t> answer = options.sumAnswer;
            if (answer.empty())
                answer = {static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8),
                          static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8)};
            for (uint8_t b : answer) put(b);
        }
        // One command byte at top level (after the prefix on the third generation).
        void command(uint8_t c) {
            switch (c) {
                case 'V':
                    put(options.version);
                    mode = Mode::Idle;
                    break;
                case 'R':
                    block = 0;
                    mode = Mode::Reading;
                    putBlock();
                    break;
                case 'W':
                    block = 0;
                    data.clear();
                    put('>');
                    mode = Mode::WriteData;
                    break;
                case 'S':
                    sums();
                    mode = Mode::Idle;
                    break;
                default:
                    mode = Mode::Idle;
                    break;
            }
        }
        void take(uint8_t c) {
            host.push_back(c);
            switch (mode) {
                case Mode::Silent:
                    return;
                case Mode::Prefix:
                    return command(c);
                case Mode::CpldCmd:
                    if (c == 'R') {
                        cpldAnswer();
                        mode = Mode::Idle;
                    } else {
                        cpldArgsLeft = 2;
                        mode = Mode::CpldArgs;
                    }
                    return;
                case Mode::CpldArgs:
                    if (--cpldArgsLeft == 0) {
                        cpldAnswer();
                        mode = Mode::Idle;
                    }
                    return;
                case Mode::WriteData:
                    data.push_back(c);
                    if (data.size() < kBlock) return;
                    std::copy(data.begin(), data.end(), flash.begin() + block * kBlock);
                    data.clear();
                    ++written;
                    if (options.silentAfterWrittenBlock &&
                        written >= options.silentAfterWrittenBlock) {
                        mode = Mode::Silent;
                        return;
                    }
                    put('G');
                    mode = Mode::WriteWait;
                    return;
                case Mode::WriteWait:
                    if (c == 'N') {
                        block = (block + 1) % (kFlashSize / kBlock);
                        put('>');
                        mode = Mode::WriteData;
                    } else if (c == 'X') {
                        mode = Mode::Idle;
                    }
                    return;
                case Mode::Reading:
                    if (c == 'N' || (c == 'R' && options.jig3)) {
                        block = (block + 1) % (kFlashSize / kBlock);
                        putBlock();
                    } else if (c == '?') {
                        put('G');
                    } else if (c == 'X') {
                        mode = Mode::Idle;
                    }
                    return;
                case Mode::Idle:
                    break;
            }
            if (c == 'B') {
                const std::string id = options.jig3 ? "M328_EPM240_v16" : "JIG_V41_COMMON";
                for (char ch : id) put(static_cast<uint8_t>(ch));
            } else if ((c == 'I' || c == 'O') && options.jig3) {
                put('G');  // a third-generation JIG answers every result byte
            } else if (options.jig3 && c == 'K') {
                mode = Mode::Prefix;
            } else if (options.jig3 && c == 'S') {
                mode = Mode::CpldCmd;
            } else if (!options.jig3) {
                command(c);
            }
        }
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
            for (uint32_t i = 0; i < n; ++i) s_->take(data[i]);
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
            s_->unreadAtClose += static_cast<int>(s_->rx.size());
            s_->rx.clear();
            if (s_->mode != Mode::Silent) s_->mode = Mode::Idle;
            --s_->open;
            return FtStatus::Ok;
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
        std::string describe() const override { return "fake ENE JIG"; }

    private:
        std::shared_ptr<Shared> s_;
    };

    std::shared_ptr<Shared> shared_;
    DeviceList devices_;
};

}  // namespace zjig::test
