// The configuration window's files against the simulator: save, load and
// compare, applying a selection, and a refused file.
#include "tests/ui/config/config_window.h"
#include "ui/config/dlg_config_compare.h"
#include "ui/toolkit/file_dialog.h"
#include "ui/toolkit/message_box.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

class ConfigFilesTest : public ConfigWindowTest {
protected:
    void SetUp() override {
        ConfigWindowTest::SetUp();
        SetMessageBoxHook([this](const MessageBoxRequest& r) {
            messages.push_back(r.text.toStdString());
            return IDOK;
        });
    }
    void TearDown() override {
        SetSaveFileHook({});
        SetOpenFileHook({});
        SetMessageBoxHook({});
        ConfigWindowTest::TearDown();
    }
    void Choose(const std::string& path) {
        SetSaveFileHook([path](QWidget*, const SaveFileRequest&) { return QString::fromStdString(path); });
        SetOpenFileHook([path](QWidget*, const OpenFileRequest&) { return QString::fromStdString(path); });
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    int RowOf(const std::string& mnemonic) const {
        const auto& rows = dlg->CompareWindow()->Rows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].mnemonic == mnemonic) return int(i);
        return -1;
    }

    std::vector<std::string> messages;
};

TEST_F(ConfigFilesTest, SavedFileLoadsBackAndAppliesOnlyTheCheckedRows) {
    REQUIRE_SIM();
    Open();
    Choose(File("mine.ini"));
    dlg->OnCommand(CDlgConfig::IDC_SAVE_FILE);
    ASSERT_TRUE(messages.empty()) << messages.front();
    ASSERT_NE(Read(File("mine.ini")).find("sp = 0x1f, 100\n"), std::string::npos) << Read(File("mine.ini"));

    // The module moves away from the file in two objects; only one goes back.
    ASSERT_TRUE(Control("force sp 500"));
    ASSERT_TRUE(Control("force 0x14 7"));
    dlg->OnCommand(CDlgConfig::IDC_LOAD_FILE);
    CDlgConfigCompare* compare = dlg->CompareWindow();
    ASSERT_NE(compare, nullptr);
    EXPECT_TRUE(compare->isVisible());
    const int sp = RowOf("sp");
    ASSERT_GE(sp, 0);
    int differing = 0;
    for (size_t i = 0; i < compare->Rows().size(); ++i) {
        EXPECT_EQ(compare->IsChecked(int(i)), compare->Rows()[i].differs) << compare->Rows()[i].mnemonic;
        differing += compare->Rows()[i].differs;
    }
    EXPECT_EQ(differing, 2);
    EXPECT_EQ(compare->Rows()[size_t(sp)].moduleValue, "500");
    for (size_t i = 0; i < compare->Rows().size(); ++i)
        if (int(i) != sp) compare->SetChecked(int(i), false);

    const size_t mark = LogMark();
    compare->OnCommand(CDlgConfigCompare::IDC_APPLY_SELECTED);
    const std::string log = Log(mark);
    EXPECT_EQ(log.find("set 0x14"), std::string::npos) << log;
    const size_t write = log.find("set 0x1f 100 int32"), flash = log.find("set 0x06 1 int32");
    ASSERT_NE(write, std::string::npos) << log;
    EXPECT_LT(write, flash) << log;
    // A backup before the writes, and the written object read back after the flash.
    EXPECT_LT(log.find("get 0x1f 0 1 int32"), write) << log;
    EXPECT_NE(log.find("get 0x1f 0 1 int32", flash), std::string::npos) << log;
    EXPECT_EQ(compare->Rows()[size_t(sp)].moduleValue, "100");
    EXPECT_FALSE(compare->Rows()[size_t(sp)].differs);
}

TEST_F(ConfigFilesTest, ABadFileIsRefusedWithItsLineAndNothingIsWritten) {
    REQUIRE_SIM();
    Open();
    std::ofstream(File("bad.ini")) << "[objects]\nsp = 0x1f, 100\nsp = 0x1f, fast\n";
    Choose(File("bad.ini"));
    const size_t mark = LogMark();
    dlg->OnCommand(CDlgConfig::IDC_LOAD_FILE);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("bad.ini: line 3: "), std::string::npos) << messages[0];
    EXPECT_EQ(dlg->CompareWindow(), nullptr);
    EXPECT_EQ(Log(mark).find("set "), std::string::npos);
}

}  // namespace
