// The JSON writer shared by watch, info and publish, and the telemetry object it writes.

#include "CliTestSupport.h"
#include "ExitStatus.h"
#include "JsonWriter.h"
#include "TelemetryJson.h"
#include "TelemetryLine.h"

#include <cmath>
#include <limits>

namespace {

using namespace clitest;
using Corvane::cli::jsonQuoted;
using Corvane::cli::JsonWriter;
namespace status = Corvane::cli::exit_status;

TEST(Json, StringsAreEscapedAndAlwaysValidUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", R"("plain")"},
        {"say \"hi\" \\ now", R"("say \"hi\" \\ now")"},
        {"a\nb\tc\rd\be\ff", R"("a\nb\tc\rd\be\ff")"},
        {std::string("\x01\x1f\x7f", 3), R"("\u0001\u001f\u007f")"},
        {std::string("nul\0end", 7), R"("nul\u0000end")"},
        {"\xC3\xA9t\xE2\x82\xAC \xF0\x9F\x94\x8C", "\"\xC3\xA9t\xE2\x82\xAC \xF0\x9F\x94\x8C\""},
        {"\xE9t\x80", R"("\ufffdt\ufffd")"},                   // Windows-1252 bytes, not UTF-8
        {"\xC0\xAF", R"("\ufffd\ufffd")"},                     // an overlong '/'
        {"\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")"},           // a surrogate
        {"\xF4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"}, // above U+10FFFF
        {"cut \xE2\x82", R"("cut \ufffd\ufffd")"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(jsonQuoted(text), expected);
    }
}

TEST(Json, NumbersIgnoreTheLocaleAndNonFiniteOnesAreNull) {
    const std::locale previous = std::locale::global(Corvane::test::commaDecimalLocale());
    JsonWriter json;
    json.beginArray()
        .number(1234.5, 3)
        .number(-0.0004, 3)
        .number(-2.25, 1)
        .number(std::nan(""), 2)
        .number(std::numeric_limits<double>::infinity(), 2)
        .integer(-7)
        .boolean(false)
        .null()
        .endArray();
    std::locale::global(previous);
    EXPECT_EQ(json.text(), "[1234.500,0.000,-2.2,null,null,-7,false,null]");
}

TEST(Json, MembersAndElementsAreSeparatedAtEveryLevel) {
    JsonWriter json;
    json.beginObject().key("a").beginArray().endArray().key("b").beginObject();
    json.key("c").beginArray().integer(1).beginObject().endObject().string("x").endArray();
    json.endObject().key("d").null().endObject();
    EXPECT_EQ(json.text(), R"({"a":[],"b":{"c":[1,{},"x"]},"d":null})");
}

// The members of a telemetry object, in order, are the CSV columns, and so are the values.
TEST(Json, TelemetryHasTheCsvColumnsAndValues) {
    tarn::PowerF32 power{};
    power.battery = 12.6f;
    power.current[2] = -0.25f;
    tarn::StatusF32 st{};
    st.mode = 7;
    st.channel[2].relay_state = 1;
    tarn::TempF32 temp{};
    temp.internal[0] = 37.9513f;
    temp.external[3] = -4.25f;
    const tarn::DataStreamFeedback cases[] = {
        {&power, &st, nullptr}, {&power, &st, &temp}, {nullptr, nullptr, nullptr}};
    for (const tarn::DataStreamFeedback& blocks : cases) {
        const std::string json = Corvane::cli::telemetryJson(2.5, blocks);
        const std::vector<std::string> names = splitCsv(Corvane::cli::csvHeader());
        const std::vector<std::string> values = splitCsv(Corvane::cli::csvLine(2.5, blocks));
        ASSERT_EQ(names.size(), values.size());
        std::size_t at = 0;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const bool text = names[i].ends_with("_state") || names[i] == "inverter" ||
                              names[i] == "mode" || names[i] == "bluetooth";
            const std::string value = values[i].empty() ? "null"
                                      : text            ? jsonQuoted(values[i])
                                                        : values[i];
            const std::string member = jsonQuoted(names[i]) + ":" + value;
            const std::size_t found = json.find(member, at);
            ASSERT_NE(found, std::string::npos) << member << " in " << json;
            at = found + member.size();
        }
        EXPECT_EQ(json.substr(at), "}");
    }
    EXPECT_NE(Corvane::cli::telemetryJson(0, cases[0]).find(R"j("mode":"unknown (7)")j"),
              std::string::npos);
}

using JsonCommands = CliTest;

TEST_F(JsonCommands, InfoAndWatchPrintOneObjectPerLine) {
    unit_->settings().names[1] = "Spot \xE9\"1\"";
    const Result info = run({"info", "--json"});
    EXPECT_EQ(info.status, status::kSuccess) << info.err;
    EXPECT_EQ(info.out, R"({"serial":74565,"firmware":"1.2.7","hardware_revision":3,)"
                        R"("update_recommended":false,"channel_names":["Channel 1",)"
                        "\"Spot \xC3\xA9\\\"1\\\"\","
                        R"("Channel 3","Channel 4","Channel 5","Channel 6","Channel 7",)"
                        R"("Channel 8","Channel 9","Channel 10","Channel 11","Channel 12"],)"
                        R"("inverter_name":"Inverter"})"
                        "\n");

    const Result watch = run({"watch", "--json", "--count", "3"});
    EXPECT_EQ(watch.status, status::kSuccess) << watch.err;
    const std::vector<std::string> out = lines(watch.out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_TRUE(out[0].starts_with(R"({"time_s":0.000,"total_current_a":)")) << out[0];
    EXPECT_NE(out[0].find(R"("internal1_c":null)"), std::string::npos); // not received yet
    EXPECT_EQ(out[2].find("null"), std::string::npos) << out[2];
    EXPECT_EQ(run({"watch", "--json", "--csv"}).status, status::kUsage);
}

} // namespace
