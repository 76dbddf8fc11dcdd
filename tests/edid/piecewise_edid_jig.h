// A scripted third-generation JIG whose answer to 'E' 'r' reaches the PC in
// pieces: one more piece each time the PC looks at the receive queue. It
// records every byte the PC sent and the size of every read the PC asked for.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "support/fake_jig.h"

namespace zjig::test {

struct PiecewiseEdidState : FakeJigState {
    std::vector<uint8_t> answer;
    std::vector<size_t> pieces;
    std::deque<std::vector<uint8_t>> pending;
    std::vector<uint8_t> host;
    std::vector<uint32_t> readsAsked;
    bool prefix = false;
    bool inRead = false;  // after 'E' 'r', until the connection closes

    void take(uint8_t c) {
        host.push_back(c);
        if (prefix) {
            prefix = false;
            if (c != 'r') return;
            inRead = true;
            size_t at = 0;
            for (size_t n : pieces) {
                pending.emplace_back(answer.begin() + static_cast<long>(at),
                                     answer.begin() + static_cast<long>(at + n));
                at += n;
            }
        } else if (c == 'B') {
            put("M328_EPM240_v16\r\n");
        } else if (c == 'E') {
            prefix = true;
        } else if (c == 'I' || c == 'O') {
            put("G");
        }
    }

    void received(const uint8_t* data, uint32_t n) {
        for (uint32_t i = 0; i < n; ++i) take(data[i]);
    }
    void reading(uint32_t n) {
        if (inRead) readsAsked.push_back(n);
    }
    // One more piece of the answer each time the PC looks.
    void looking() {
        if (pending.empty()) return;
        put(pending.front());
        pending.pop_front();
    }
    void closing() { inRead = false; }
};

class PiecewiseEdidJig : public FakeJig<PiecewiseEdidState> {
  public:
    PiecewiseEdidJig(std::vector<uint8_t> readAnswer, std::vector<size_t> pieces)
        : FakeJig("piecewise EDID JIG") {
        state_->answer = std::move(readAnswer);
        state_->pieces = std::move(pieces);
    }

    std::vector<uint8_t> hostBytes() const {
        return locked([](const PiecewiseEdidState& s) { return s.host; });
    }
    // The byte counts the PC asked for in each read after 'E' 'r'.
    std::vector<uint32_t> readsAsked() const {
        return locked([](const PiecewiseEdidState& s) { return s.readsAsked; });
    }
};

}  // namespace zjig::test
