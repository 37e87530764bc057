// The session file: the header and each record kind as written and read
// back, a file cut in the middle of a line, a refused header, the CSV
// export, and the recorder behind an access object.
#include "app/session_file.h"
#include "app/session_link.h"
#include "app/session_recorder.h"
#include "device/object_access.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_port.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <thread>

namespace {

SessionHeader Header() {
    SessionHeader h;
    h.started = "2026-12-11T09:10:11.123Z";
    h.program = "tarvik-cli 1.04";
    h.port = "/dev/ttyUSB0";
    h.baud = 115200;
    h.deviceId = 1;
    h.product = 1011;
    h.firmware = "1.23";
    h.configuration = {{"sp", 100}, {"av", 0.5}};
    return h;
}

SessionRecord Get(double t, uint16_t index, std::vector<double> values, uint8_t sub = 0) {
    SessionRecord r;
    r.kind = SessionRecord::Kind::Get;
    r.t = t;
    r.index = index;
    r.subIndex = sub;
    r.type = OBJ_FLOAT32;
    r.values = std::move(values);
    return r;
}

TEST(SessionFile, HeaderHasTheDocumentedMembersAndLeavesOutWhatWasNotRead) {
    const std::string line = SessionHeaderLine(Header());
    ASSERT_EQ(line.back(), '\n');
    const nlohmann::json j = nlohmann::json::parse(line);
    EXPECT_EQ(j["format"], "tarvik-session");
    EXPECT_EQ(j["version"], 1);
    EXPECT_EQ(j["started"], "2026-12-11T09:10:11.123Z");
    EXPECT_EQ(j["program"], "tarvik-cli 1.04");
    EXPECT_EQ(j["port"], "/dev/ttyUSB0");
    EXPECT_EQ(j["baud"], 115200);
    EXPECT_EQ(j["device_id"], 1);
    EXPECT_EQ(j["product"], 1011);
    EXPECT_EQ(j["firmware"], "1.23");
    EXPECT_FALSE(j.contains("hardware"));  // not read
    EXPECT_EQ(j["configuration"].dump(), R"({"av":0.5,"sp":100})");
}

TEST(SessionFile, EachRecordKindIsOneLineAsDocumented) {
    SessionRecord get = Get(1.2344, 0x37, {1.2f, -0.5f, 179.9f});
    SessionRecord set;
    set.kind = SessionRecord::Kind::Set;
    set.t = 1.3;
    set.index = 0x06;
    set.type = OBJ_INT32;
    set.value = 1;
    set.echo = 1;
    SessionRecord failed = Get(1.4, 0x37, {});
    failed.failed = "no reply";
    SessionRecord sync;
    sync.kind = SessionRecord::Kind::Sync;
    sync.t = 2.0;
    sync.sync = "euler,1.00,2.00\r\n";
    EXPECT_EQ(SessionRecordLine(get), "{\"t\":1.234,\"get\":\"0x37\",\"sub\":0,\"type\":\"float32\",\"values\":[1.2,-0.5,179.9]}\n");
    EXPECT_EQ(SessionRecordLine(set), "{\"t\":1.3,\"set\":\"0x06\",\"type\":\"int32\",\"value\":1,\"echo\":1}\n");
    EXPECT_EQ(SessionRecordLine(failed), "{\"t\":1.4,\"get\":\"0x37\",\"sub\":0,\"type\":\"float32\",\"failed\":\"no reply\"}\n");
    EXPECT_EQ(SessionRecordLine(sync), "{\"t\":2.0,\"sync\":\"euler,1.00,2.00\\r\\n\"}\n");

    Session s;
    std::string error;
    ASSERT_TRUE(ParseSession(SessionHeaderLine(Header()) + SessionRecordLine(get) + SessionRecordLine(set) +
                                 SessionRecordLine(failed) + SessionRecordLine(sync),
                             &s, &error))
        << error;
    EXPECT_EQ(s.header.started, "2026-12-11T09:10:11.123Z");
    ASSERT_EQ(s.records.size(), 4u);
    EXPECT_EQ(s.records[0].kind, SessionRecord::Kind::Get);
    EXPECT_EQ(s.records[0].values, (std::vector<double>{1.2, -0.5, 179.9}));
    EXPECT_EQ(s.records[1].kind, SessionRecord::Kind::Set);
    EXPECT_EQ(s.records[1].echo, 1);
    EXPECT_EQ(s.records[2].failed, "no reply");
    EXPECT_EQ(s.records[3].sync, "euler,1.00,2.00\r\n");
    EXPECT_FALSE(s.cut);
}

TEST(SessionFile, AFileCutInTheMiddleOfALineIsReadUpToIt) {
    const std::string whole = SessionHeaderLine(Header()) + SessionRecordLine(Get(0.1, 0x37, {1, 2, 3})) +
                              SessionRecordLine(Get(0.2, 0x37, {4, 5, 6}));
    Session s;
    std::string error;
    ASSERT_TRUE(ParseSession(whole.substr(0, whole.size() - 12), &s, &error)) << error;
    EXPECT_TRUE(s.cut);
    ASSERT_EQ(s.records.size(), 1u);
    EXPECT_EQ(s.records[0].values, (std::vector<double>{1, 2, 3}));
    // A broken line that is not the last is an error with its number.
    EXPECT_FALSE(ParseSession(whole.substr(0, whole.size() - 12) + "\n" + SessionRecordLine(Get(0.3, 0x37, {1})), &s,
                              &error));
    EXPECT_EQ(error.rfind("line 3: ", 0), 0u) << error;
}

TEST(SessionFile, ABadHeaderIsRefusedWithAClearMessage) {
    Session s;
    std::string error;
    EXPECT_FALSE(ParseSession("[{\"mnemonic\": \"sp\", \"index\": \"0x1f\", \"value\": 100}]\n", &s, &error));
    EXPECT_EQ(error, "not a session file (its first line has no \"format\": \"tarvik-session\")");
    EXPECT_FALSE(ParseSession("{\"format\": \"tarvik-session\", \"version\": 2, \"started\": \"x\"}\n", &s, &error));
    EXPECT_EQ(error, "session file version 2 (this program reads version 1)");
}

TEST(SessionExport, OneColumnPerElementOneRowPerTimeLatestValues) {
    Session s;
    s.records = {Get(0.1, 0x37, {1.5, 2, 3}), Get(0.1, 0x30, {12.25}), Get(0.2, 0x3e, {7}, 5),
                 Get(0.3, 0x37, {4, 5, 6})};
    s.records[2].type = OBJ_INT32;
    SessionRecord failed = Get(0.4, 0x30, {});
    failed.failed = "no reply";
    s.records.push_back(failed);
    EXPECT_EQ(SessionCsv(s),
              "t,voltage,euler_roll,euler_pitch,euler_yaw,object_0x3e_5\n"
              "0.100,12.25,1.5,2,3,\n"
              "0.200,12.25,1.5,2,3,7\n"
              "0.300,12.25,4,5,6,7\n");
}

// The recorder behind an access object: each exchange becomes its line, and
// the lines reach the file within a second without a stop.
TEST(SessionRecorder, WritesTheExchangesOfTheAccessObjectWithinASecond) {
    CTempDir dir;
    uint32_t clock = 5000;
    CFakePort port(&clock);
    CObjectAccess access(&port, 30, 1, [&] { return clock; });
    CSessionRecorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.Start(dir.File("s.jsonl"), Header(), &error)) << error;
    access.AddObserver(&recorder);
    port.replies.push_back({ReplyFrame(frame::OP_GET_REPLY | OBJ_FLOAT32, 0x37, 0,
                                       {FloatBits(1.2f), FloatBits(-0.5f), FloatBits(179.9f)})});
    float euler[3];
    ASSERT_TRUE(access.GetObjectXXX(OBJ_FLOAT32, 0x37, 0, euler, 3));
    EXPECT_FALSE(access.GetObjectXXX(OBJ_FLOAT32, 0x37, 0, euler, 3));  // no reply
    recorder.OnSyncText("ab\r\n", 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));

    Session s;
    ASSERT_TRUE(ParseSession(ReadAll(dir.File("s.jsonl")), &s, &error)) << error;
    ASSERT_EQ(s.records.size(), 3u);
    EXPECT_EQ(s.records[0].values, (std::vector<double>{1.2, -0.5, 179.9}));
    EXPECT_EQ(s.records[1].failed, "no reply");
    EXPECT_EQ(s.records[2].sync, "ab\r\n");
    EXPECT_GE(s.records[0].t, 0);
    EXPECT_LT(s.records[2].t, 1.0);
    access.RemoveObserver(&recorder);
    recorder.Stop();
    EXPECT_EQ(recorder.Failure(), "");
}

TEST(SessionRecorder, AFileThatCannotBeCreatedIsRefused) {
    CSessionRecorder recorder;
    std::string error;
    EXPECT_FALSE(recorder.Start("/nonexistent-folder/s.jsonl", Header(), &error));
    EXPECT_EQ(error.rfind("cannot create /nonexistent-folder/s.jsonl: ", 0), 0u) << error;
    EXPECT_FALSE(recorder.IsRecording());
}

// The window's recording: named from the local time, in the program's data folder.
TEST(SessionLink, DefaultNameAndFolder) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 11;
    t.tm_hour = 9;
    t.tm_min = 3;
    t.tm_sec = 7;
    t.tm_isdst = -1;
    EXPECT_EQ(DefaultSessionName(std::mktime(&t)), "session-20261211-090307.jsonl");
    setenv("XDG_DATA_HOME", "/data/", 1);
    EXPECT_EQ(SessionFolder(), "/data/tarvik-ui/sessions");
    unsetenv("XDG_DATA_HOME");
}

}  // namespace
