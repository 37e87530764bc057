// The tool's own formats without a module: argument parsing, value parsing
// and printing, the dump formats and the probe file.
#include "cli/cli_options.h"
#include "app/config_file.h"
#include "app/object_values.h"
#include "cli/probe_file.h"
#include "app/probe_file.h"
#include "device/object_access.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::optional<CliOptions> Parse(std::vector<const char*> args, std::string* error) {
    args.insert(args.begin(), "tarvik-cli");
    return ParseCliOptions(static_cast<int>(args.size()), args.data(), error);
}

TEST(CliOptions, GlobalAndCommandOptions) {
    std::string error;
    auto o = Parse({"--port", "/dev/ttyS3", "--baud", "auto", "--timeout", "50", "--id", "3", "get", "sp",
                    "--count", "2", "--sub", "4", "--type", "int16"},
                   &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->port, "/dev/ttyS3");
    EXPECT_TRUE(o->baudGiven);
    EXPECT_EQ(o->baud, 0);
    EXPECT_EQ(o->timeoutMs, 50);
    EXPECT_EQ(o->deviceId, 3);
    EXPECT_EQ(o->command, "get");
    EXPECT_EQ(o->args, std::vector<std::string>{"sp"});
    EXPECT_EQ(o->count, 2);
    EXPECT_EQ(o->sub, 4);
    EXPECT_EQ(o->type, "int16");

    o = Parse({"watch", "0x37", "--count", "1000"}, &error);   // polls, not elements
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->count, 1000);

    o = Parse({"watch", "0x37"}, &error);
    ASSERT_TRUE(o);
    EXPECT_FALSE(o->countGiven);
    EXPECT_EQ(o->intervalMs, 100);
    EXPECT_FALSE(o->portGiven);

    // Global options after the command; a file may be named like a command;
    // a negative value is a value.
    o = Parse({"restore", "dump", "--port", "/dev/ttyS1"}, &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->args, std::vector<std::string>{"dump"});
    EXPECT_EQ(o->port, "/dev/ttyS1");
    o = Parse({"set", "dt", "-1.5"}, &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->args, (std::vector<std::string>{"dt", "-1.5"}));
}

TEST(CliOptions, RejectsWhatDoesNotFit) {
    std::string error;
    for (auto args : std::vector<std::vector<const char*>>{
             {},
             {"get"},
             {"get", "a", "b"},
             {"get", "sp", "--interval", "5"},   // not an option of get
             {"set", "sp", "1", "--count", "2"},
             {"get", "sp", "--count", "62"},     // more than one reply carries
             {"get", "sp", "--sub", "256"},
             {"--id", "256", "info"},
             {"--baud", "0", "info"},
             {"probe", "acc", "--delay", "101", "--out", "f"},
             {"probe", "acc"},
             {"stream", "--seconds", "-1"},
             {"info", "--port"},
         }) {
        error.clear();
        EXPECT_FALSE(Parse(args, &error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(CliValues, ParsesIntoTheVariableWidth) {
    uint32_t slot = 0xdeadbeef;
    ASSERT_TRUE(ParseValue(OBJ_INT8, "-1", &slot));
    EXPECT_EQ(slot, 0xffu);   // one byte, not sign-extended
    ASSERT_TRUE(ParseValue(OBJ_INT16, "-2", &slot));
    EXPECT_EQ(slot, 0xfffeu);
    ASSERT_TRUE(ParseValue(OBJ_INT32, "0x10", &slot));
    EXPECT_EQ(slot, 16u);
    ASSERT_TRUE(ParseValue(OBJ_FLOAT32, "2.5", &slot));
    float f;
    std::memcpy(&f, &slot, 4);
    EXPECT_EQ(f, 2.5f);
    slot = 5;
    EXPECT_FALSE(ParseValue(OBJ_INT8, "128", &slot));
    EXPECT_FALSE(ParseValue(OBJ_INT16, "-32769", &slot));
    EXPECT_FALSE(ParseValue(OBJ_INT32, "2147483648", &slot));
    EXPECT_FALSE(ParseValue(OBJ_INT32, "1.5", &slot));
    EXPECT_FALSE(ParseValue(OBJ_FLOAT32, "nan", &slot));
    EXPECT_FALSE(ParseValue(OBJ_FLOAT32, "1e39", &slot));
    EXPECT_FALSE(ParseValue(OBJ_INT32, "", &slot));
    EXPECT_EQ(slot, 5u);
}

TEST(CliValues, PrintsDecimalAndNineDigitFloats) {
    EXPECT_EQ(FormatSlot(OBJ_INT32, static_cast<uint32_t>(-5)), "-5");
    EXPECT_EQ(FormatSlot(OBJ_INT8, static_cast<uint32_t>(-128)), "-128");
    float f = 0.1f;
    uint32_t slot;
    std::memcpy(&slot, &f, 4);
    EXPECT_EQ(FormatSlot(OBJ_FLOAT32, slot), "0.100000001");
    EXPECT_EQ(TypeCode("float32"), OBJ_FLOAT32);
    EXPECT_EQ(TypeCode("double"), -1);
    EXPECT_STREQ(TypeName(OBJ_INT16), "int16");
}

TEST(CliDump, BothFormatsReadBack) {
    std::vector<DumpEntry> entries = {{"sp", 0x1f, "100"}, {"dt", 0x14, "1.5"}, {"gl", 0x10, "-1"}};
    for (const std::string& text : {WriteDumpIni(entries), WriteDumpJson(entries)}) {
        std::vector<DumpEntry> back;
        std::string error;
        ASSERT_TRUE(ParseDump(text, &back, &error)) << error << "\n" << text;
        ASSERT_EQ(back.size(), entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(back[i].mnemonic, entries[i].mnemonic);
            EXPECT_EQ(back[i].index, entries[i].index);
            EXPECT_EQ(back[i].value, entries[i].value);
        }
    }
    EXPECT_NE(WriteDumpIni(entries).find("sp = 0x1f, 100\n"), std::string::npos);
}

TEST(CliDump, ToleratesCrLfAndRejectsMalformedFiles) {
    std::vector<DumpEntry> back;
    std::string error;
    ASSERT_TRUE(ParseDump("[objects]\r\nsp = 0x1f, 100\r\n; note\r\n", &back, &error)) << error;
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].value, "100");
    EXPECT_FALSE(ParseDump("", &back, &error));
    EXPECT_FALSE(ParseDump("[objects]\n", &back, &error));
    EXPECT_FALSE(ParseDump("[objects]\nsp 100\n", &back, &error));
    EXPECT_FALSE(ParseDump("[objects]\nsp = 0x1ffff, 1\n", &back, &error));
    EXPECT_FALSE(ParseDump("[objects]\nsp = 0x1f,\n", &back, &error));
    EXPECT_FALSE(ParseDump("[{\"index\": \"0x1f\"}]", &back, &error));
    EXPECT_FALSE(ParseDump("[{\"index\": \"0x1f\", \"value\": 1", &back, &error));
}

TEST(CliProbe, KindsByPositionAndName) {
    EXPECT_EQ(FindProbeKind("0")->command, 1002);
    EXPECT_EQ(FindProbeKind("gyro-raw")->statusCode, 0x100);
    EXPECT_EQ(FindProbeKind("7")->samples, 330);
    EXPECT_EQ(FindProbeKind("fft-acc")->command, 1007);
    EXPECT_EQ(FindProbeKind("8"), nullptr);
    EXPECT_EQ(FindProbeKind("acc-raw2"), nullptr);
    for (int i = 0; i < od::kProbeKindCount; ++i) {
        const od::ProbeKind& k = *od::ProbeKindAt(i);
        EXPECT_EQ(k.command, 1000 + k.statusCode / 256);
    }
}

TEST(CliProbe, FileIsThePlotDataFormat) {
    const od::ProbeKind& raw = *FindProbeKind("acc-raw");
    std::vector<int32_t> block(3 * 256, 0);
    block[0] = 12;
    block[256] = -3;
    block[512] = 1234567;
    std::string text = FormatProbeFile(raw, block.data());
    EXPECT_EQ(text.substr(0, 32), "      12,       -3,  1234567, \r\n");
    size_t lines = 0;
    for (size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    EXPECT_EQ(lines, 256u);

    const od::ProbeKind& acc = *FindProbeKind("acc");
    block[0] = 1500;
    block[256] = -250;
    block[512] = 0;
    EXPECT_EQ(FormatProbeFile(acc, block.data()).substr(0, 32), "   1.500,   -0.250,    0.000, \r\n");

    const od::ProbeKind& fft = *FindProbeKind("fft-gyro");
    std::vector<int32_t> spectrum(990, 0);
    spectrum[329] = 2500000;   // last sample of channel 0
    std::string f = FormatProbeFile(fft, spectrum.data());
    EXPECT_NE(f.find("   2.500,    0.000,    0.000, \r\n"), std::string::npos);
    EXPECT_EQ(std::count(f.begin(), f.end(), '\n'), 330);
}

}  // namespace
