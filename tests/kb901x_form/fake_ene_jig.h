// A scripted JIG with a KB90XX behind it, for the faults the simulated JIG
// does not offer: falling silent in the middle of a write, flooding the
// receive queue, a chosen sum answer, noise between the sum ticks, a CPLD
// that stops answering. Answers are queued the moment the PC's byte is
// written, so every exchange is deterministic; a silent JIG queues nothing.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/fake_jig.h"

namespace zjig::test {

struct EneJigOptions {
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

struct EneJigState : FakeJigState {
    enum class Mode { Idle, Prefix, CpldCmd, CpldArgs, Reading, WriteData, WriteWait, Silent };

    static constexpr size_t kFlashSize = 131072;
    static constexpr size_t kBlock = 256;

    EneJigOptions options;
    std::vector<uint8_t> host;
    std::vector<uint8_t> flash;
    Mode mode = Mode::Idle;
    int cpldArgsLeft = 0;
    int cpldSeen = 0;
    size_t block = 0;  // block being read or written
    std::vector<uint8_t> data;
    int writtenBlocks = 0;
    int unreadAtClose = 0;

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
                ++writtenBlocks;
                if (options.silentAfterWrittenBlock &&
                    writtenBlocks >= options.silentAfterWrittenBlock) {
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

    void received(const uint8_t* data, uint32_t n) {
        for (uint32_t i = 0; i < n; ++i) take(data[i]);
    }
    void closing() {
        unreadAtClose += static_cast<int>(rx.size());
        if (mode != Mode::Silent) mode = Mode::Idle;
    }
};

class FakeEneJig : public FakeJig<EneJigState> {
  public:
    using Options = EneJigOptions;
    static constexpr size_t kFlashSize = EneJigState::kFlashSize;
    static constexpr size_t kBlock = EneJigState::kBlock;

    explicit FakeEneJig(Options options) : FakeJig("fake ENE JIG") {
        state_->options = std::move(options);
        state_->flash.assign(kFlashSize, 0);
        for (size_t i = 0; i < kFlashSize; ++i)
            state_->flash[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    }

    std::vector<uint8_t> hostBytes() const {
        return locked([](const EneJigState& s) { return s.host; });
    }
    std::vector<uint8_t> flash() const {
        return locked([](const EneJigState& s) { return s.flash; });
    }
    int cpldCommands() const {
        return locked([](const EneJigState& s) { return s.cpldSeen; });
    }
    // Answer bytes the PC had not read when it closed a connection.
    int unreadAtClose() const {
        return locked([](const EneJigState& s) { return s.unreadAtClose; });
    }
};

}  // namespace zjig::test
