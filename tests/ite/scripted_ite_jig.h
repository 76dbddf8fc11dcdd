// A JIG whose answers a test writes: every write call of the PC is kept as
// one command, and the responder gives the bytes queued for the PC in
// return. For what the simulated JIG does not do: odd answer bytes, a
// flooded receive queue, and the check that each command goes out in one
// write.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "support/fake_jig.h"

namespace zjig::test {

using Bytes = std::vector<uint8_t>;

struct IteJigState : FakeJigState {
    std::function<Bytes(const Bytes& command)> responder;
    std::vector<Bytes> writes;

    void received(const uint8_t* data, uint32_t n) {
        Bytes command(data, data + n);
        writes.push_back(command);
        put(responder(command));
    }
};

class ScriptedIteJig : public FakeJig<IteJigState> {
  public:
    using Responder = std::function<Bytes(const Bytes& command)>;

    explicit ScriptedIteJig(Responder responder) : FakeJig("scripted ITE JIG") {
        state_->responder = std::move(responder);
    }

    // Every write call so far, in order.
    std::vector<Bytes> writes() const {
        return locked([](const IteJigState& s) { return s.writes; });
    }
};

// A third-generation JIG with a controller that answers every command as it
// should (registers 0..2: 12h 34h 05h; every flash byte 5Ah); `change` may
// replace the answer to any command.
inline ScriptedIteJig::Responder goodJig3(
    std::function<std::optional<Bytes>(const Bytes&)> change = {}) {
    return [change](const Bytes& c) -> Bytes {
        if (change)
            if (auto answer = change(c)) return *answer;
        if (c == Bytes{'B'}) return Bytes{'M', '3', '2', '8', '_', 'E', 'P', 'M', '2', '4', '0'};
        if (c.size() >= 2 && c[0] == 'T') {
            switch (c[1]) {
                case 'R':
                    return {0x12};
                case 'r': {
                    Bytes block(256, 0x5A);
                    block.push_back('o');
                    return block;
                }
                default:
                    return {'o'};
            }
        }
        if (c == Bytes{'I'} || c == Bytes{'O'}) return {'G'};
        return {};
    };
}

}  // namespace zjig::test
