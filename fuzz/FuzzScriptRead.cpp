// Reading a script from a unit whose chunk replies the fuzzer writes: any length, any result
// code, a wrong echo now and then, data with or without the terminator. When the replies run
// out they start over, so a unit that never ends its text is part of the search.
//
// Properties, besides no crash or undefined behaviour and no endless reading:
// - every request is a 4-byte read-chunk header for the asked script whose offset is exactly
//   the number of bytes gathered so far, and below 65,536;
// - true only when the text ended (a terminator, or a reply without data), with exactly the
//   bytes the replies carried up to it: the unreported rest of each reply buffer is filled with
//   a non-zero poison, so a read past the reply would show as extra text.

#include "FuzzUnit.h"
#include "Packets.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using fuzz::FuzzInput;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kReadChunk = 0x27;
constexpr std::size_t kHeader = 4;
constexpr uint8_t kPoison = 0x5A;

struct Step {
    int status = LIBUSB_SUCCESS;
    bool wrongEcho = false;
    Bytes reply;
};

std::vector<Step> stepsFrom(FuzzInput& in) {
    std::vector<Step> steps;
    while (!in.empty()) {
        Step s;
        const uint8_t control = in.byte();
        s.status = (control & 0x01u) != 0 ? fuzz::resultCode(in.byte()) : LIBUSB_SUCCESS;
        s.wrongEcho = (control & 0x02u) != 0;
        s.reply = in.sized(tarn::ConfigPacket::kSize);
        steps.push_back(std::move(s));
    }
    return steps;
}

// The unit's side, and what an independent reading of its replies gives.
struct Unit {
    const std::vector<Step>* steps = nullptr;
    std::size_t next = 0;
    uint8_t script = 0;
    uint8_t requestCmd = 0;
    std::string expected; // the text the replies accepted so far carry
    bool ended = false;   // a reply ended the text
    bool failed = false;  // the last reply was one the console must refuse
    std::size_t requests = 0;

    sim::Outcome request(const sim::Transfer& t) {
        FUZZ_CHECK(!ended && !failed);
        FUZZ_CHECK(t.buffer.size() == kHeader);
        FUZZ_CHECK(t.buffer[0] == kReadChunk && t.buffer[1] == script);
        const std::size_t offset = t.buffer[2] | (t.buffer[3] << 8);
        FUZZ_CHECK(offset == expected.size());
        ++requests;
        FUZZ_CHECK(requests <= 65537);
        requestCmd = t.buffer[0];
        return {LIBUSB_SUCCESS, static_cast<int>(t.buffer.size())};
    }

    sim::Outcome reply(const sim::Transfer& t) {
        const Step& s = (*steps)[next];
        next = (next + 1) % steps->size();
        std::fill(t.buffer.begin(), t.buffer.end(), kPoison);
        const std::size_t n = std::min(s.reply.size(), t.buffer.size());
        std::copy_n(s.reply.begin(), n, t.buffer.begin());
        if (n > 0 && !s.wrongEcho) {
            t.buffer[0] = requestCmd;
        }
        account(s, t.buffer.first(n));
        return {s.status, static_cast<int>(n)};
    }

    void account(const Step& s, std::span<const uint8_t> got) {
        if (s.status != LIBUSB_SUCCESS || got.size() < kHeader || got[0] != requestCmd) {
            failed = true;
            return;
        }
        const auto data = got.subspan(kHeader);
        const auto zero = std::find(data.begin(), data.end(), uint8_t{0});
        expected.append(data.begin(), zero);
        ended = data.empty() || zero != data.end();
        if (!ended && expected.size() > 65535) {
            failed = true; // the next offset would not fit in 16 bits
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const uint8_t script = in.byte();
    const std::vector<Step> steps = stepsFrom(in);
    if (steps.empty()) {
        return 0;
    }
    auto device = fuzz::attachUnit();
    tarn::TarnUsb dev;
    FUZZ_CHECK(dev.open());

    Unit unit;
    unit.steps = &steps;
    unit.script = script;
    device->setHandler(fuzz::kCfgOut, [&](const sim::Transfer& t) { return unit.request(t); });
    device->setHandler(fuzz::kCfgIn, [&](const sim::Transfer& t) { return unit.reply(t); });

    std::string text = "left over from before";
    const bool ok = dev.getScript(text, script);
    FUZZ_CHECK(ok == unit.ended);
    FUZZ_CHECK(ok || unit.failed);
    if (ok) {
        FUZZ_CHECK(text == unit.expected);
    }
    return 0;
}
