#include "DeviceTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using devtest::answer;
using devtest::bus;
using devtest::Bytes;
using devtest::sentOn;

namespace {

class ScriptTransfer : public devtest::ConnectedUnit {
protected:
    // The unit accepts every request: each reply is one byte echoing the request's id.
    void acceptEverything() {
        auto last = std::make_shared<uint8_t>(0);
        unit_->setHandler(0x01, [last](const sim::Transfer& t) {
            *last = t.buffer[0];
            return sim::Outcome{LIBUSB_SUCCESS, static_cast<int>(t.buffer.size())};
        });
        unit_->setHandler(0x81, [last](const sim::Transfer& t) {
            t.buffer[0] = *last;
            return sim::Outcome{LIBUSB_SUCCESS, 1};
        });
    }
    // (offset, bytes sent) of each chunk written, and the text they carried.
    static std::pair<std::vector<std::pair<int, std::size_t>>, Bytes> chunks() {
        std::pair<std::vector<std::pair<int, std::size_t>>, Bytes> out;
        for (const auto& r : sentOn(0x01)) {
            if (r[0] == 0x26) {
                out.first.emplace_back(r[2] | r[3] << 8, r.size());
                out.second.insert(out.second.end(), r.begin() + 4, r.end());
            }
        }
        return out;
    }
};

TEST_F(ScriptTransfer, WritesChunksOf60WithTheTerminatorThenCommits) {
    using Chunks = std::vector<std::pair<int, std::size_t>>;
    const std::array<std::pair<std::size_t, Chunks>, 4> cases{{
        {0, {{0, 5}}},
        {59, {{0, 64}}},
        {60, {{0, 64}, {60, 5}}}, // the last chunk holds only the zero byte
        {130, {{0, 64}, {60, 64}, {120, 15}}},
    }};
    acceptEverything();
    for (const auto& [length, expected] : cases) {
        bus().clearCalls();
        std::string text;
        for (std::size_t i = 0; i < length; ++i) {
            text += static_cast<char>('A' + i % 26);
        }
        ASSERT_TRUE(dev_.setScript(text, tarn::SCRIPT_IGNITION_OFF));
        const auto [offsets, carried] = chunks();
        EXPECT_EQ(offsets, expected);
        Bytes withZero(text.begin(), text.end());
        withZero.push_back(0);
        EXPECT_EQ(carried, withZero);
        EXPECT_EQ(sentOn(0x01).back(), (Bytes{0x28, tarn::SCRIPT_IGNITION_OFF}));
    }
}

TEST_F(ScriptTransfer, AFailurePartWayIsNotCommitted) {
    acceptEverything();
    unit_->queue(0x81, answer({0x26}));
    unit_->queue(0x81, answer({0x27})); // the second chunk's reply echoes another id
    EXPECT_FALSE(dev_.setScript(std::string(130, 'q'), 1));
    EXPECT_EQ(sentOn(0x01).size(), 2u);
}

// The 16-bit offset addresses 65,536 bytes: a longer text is refused whole instead of wrapping
// the offset and overwriting its own beginning.
TEST_F(ScriptTransfer, TextsBeyondTheOffsetRangeAreRefusedBeforeSending) {
    acceptEverything();
    EXPECT_FALSE(dev_.setScript(std::string(65536, 'z'), 1));
    EXPECT_TRUE(bus().transfers().empty());
    ASSERT_TRUE(dev_.setScript(std::string(65535, 'z'), 1)); // with its zero: exactly 65,536
    const auto offsets = chunks().first;
    ASSERT_EQ(offsets.size(), 1093u);
    EXPECT_EQ(offsets.back(), (std::pair<int, std::size_t>{65520, 20}));
}

TEST_F(ScriptTransfer, ReadGathersChunksUntilTheZeroByte) {
    Bytes first{0x27, 3, 0, 0};
    first.resize(64, 'a');
    unit_->queue(0x81, answer(first));
    unit_->queue(0x81, answer({0x27, 3, 60, 0, 'b', 'b', 'b', 'b', 'b', 0}));
    std::string text = "left over";
    ASSERT_TRUE(dev_.getScriptValetIgnitionOn(text));
    EXPECT_EQ(text, std::string(60, 'a') + "bbbbb");
    EXPECT_EQ(sentOn(0x01), (std::vector<Bytes>{{0x27, 3, 0, 0}, {0x27, 3, 60, 0}}));
}

TEST_F(ScriptTransfer, ReadReplyShapes) {
    const std::array<std::tuple<Bytes, bool, std::string>, 5> cases{{
        {{0x27, 1, 0, 0}, true, ""}, // no data: ends without a terminator
        {{0x27, 1, 0}, false, ""},
        {{0x26, 1, 0, 0, 'a', 0}, false, ""},
        {{0x27, 1, 0, 0, 'a', 'b', 0, 'c'}, true, "ab"},
        {{0x27, 1, 0, 0, 0x80, 0xFF, 0}, true, "\x80\xFF"},
    }};
    for (const auto& [reply, ok, expected] : cases) {
        unit_->queue(0x81, answer(reply));
        std::string text;
        EXPECT_EQ(dev_.getScript(text, 1), ok);
        if (ok) {
            EXPECT_EQ(text, expected);
        }
    }
    std::string text;
    EXPECT_FALSE(dev_.getScript(text, 1)); // no reply at all
}

// A unit that never sends the terminator must neither keep the console asking for ever nor
// let the offset wrap back over what was gathered.
TEST_F(ScriptTransfer, AnEndlessTextIsGivenUpOnceTheOffsetWouldOverflow) {
    unit_->setHandler(0x81, [](const sim::Transfer& t) {
        std::fill(t.buffer.begin(), t.buffer.end(), uint8_t{'n'});
        t.buffer[0] = 0x27;
        return sim::Outcome{LIBUSB_SUCCESS, static_cast<int>(t.buffer.size())};
    });
    std::string text;
    EXPECT_FALSE(dev_.getScript(text, 2));
    const auto requests = sentOn(0x01);
    ASSERT_EQ(requests.size(), 1093u); // offsets 0, 60, ..., 65520
    EXPECT_EQ(requests.back(), (Bytes{0x27, 2, 0xF0, 0xFF}));
}

TEST_F(ScriptTransfer, WrappersAddressTheirScript) {
    using T = tarn::TarnInterface;
    const std::array<std::pair<bool (T::*)(const std::string&), uint8_t>, 4> setters{{
        {&T::setScriptIgnitionOn, 1},
        {&T::setScriptIgnitionOff, 2},
        {&T::setScriptValetIgnitionOn, 3},
        {&T::setScriptValetIgnitionOff, 4},
    }};
    const std::array<bool (T::*)(std::string&), 4> getters{
        &T::getScriptIgnitionOn, &T::getScriptIgnitionOff, &T::getScriptValetIgnitionOn,
        &T::getScriptValetIgnitionOff};
    acceptEverything();
    for (std::size_t i = 0; i < 4; ++i) {
        bus().clearCalls();
        const uint8_t type = setters[i].second;
        ASSERT_TRUE((dev_.*setters[i].first)("go"));
        std::string text;
        unit_->queue(0x81, answer({0x27, type, 0, 0, 0}));
        ASSERT_TRUE((dev_.*getters[i])(text));
        EXPECT_EQ(sentOn(0x01),
                  (std::vector<Bytes>{
                      {0x26, type, 0, 0, 'g', 'o', 0}, {0x28, type}, {0x27, type, 0, 0}}));
    }
}

} // namespace
