// The Calibration page and the magnetometer view against the module
// simulator: each procedure's question, commands, texts and outcome, what a
// No, a failure and a module that takes long do, the view's cloud and
// progress, and what closing windows during a procedure leaves behind.
#include "app/app_ini.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "tests/ui/config/config_window.h"
#include "ui/config/dlg_config.h"
#include "ui/config/dlg_config_calib.h"
#include "ui/config/dlg_magn_calib.h"
#include "ui/toolkit/message_box.h"
#include "ui/toolkit/tab_dialog.h"
#include "ui/views/opengl_ahrs.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace {

using Page = CDlgConfigCalib;

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class CalibTest : public ConfigWindowTest {
protected:
    void SetUp() override {
        ConfigWindowTest::SetUp();
        g_pAppIni->configTabSel = 2;
        SetMessageBoxHook([this](const MessageBoxRequest& r) {
            questions.push_back(r.text.toStdString());
            EXPECT_EQ(r.icon, MsgIcon::Question);
            return answer;
        });
    }
    void TearDown() override {
        SetMessageBoxHook(nullptr);
        ConfigWindowTest::TearDown();
    }
    void Start(const std::vector<std::string>& extra = {}) {
        ASSERT_TRUE(StartSim(extra)) << SimError();
        ASSERT_NO_FATAL_FAILURE(Open());
        ASSERT_TRUE(page()->isVisible());
    }
    // Lets the window timers run until cond holds or ms have passed.
    bool RunUntil(const std::function<bool()>& cond, int ms) {
        return QTest::qWaitFor(cond, ms);
    }
    Page* page() const { return dlg->CalibPage(); }
    CDlgMagnCalib* view() const { return page()->MagnView(); }
    std::string Status() const { return page()->StatusText().toStdString(); }
    bool Enabled(int id) const { return page()->GetDlgItem(id)->isEnabled(); }
    bool ProcedureButtons(bool enabled) const {
        return Enabled(Page::IDC_RESET) == enabled && Enabled(Page::IDC_CALIB_GYRO_ACCEL) == enabled &&
               Enabled(Page::IDC_CALIB_MAGN) == enabled;
    }
    std::string Cell(int table, int element) const {
        return page()->GetDlgItemText(Page::CellId(table, element)).toStdString();
    }

    std::vector<std::string> questions;
    int answer = IDYES;
};

// A question as the box shows it: one line break for each CR LF.
std::string Plain(const char* text) {
    return QString::fromLatin1(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toStdString();
}

TEST_F(CalibTest, GyroAccelAsksSendsThreeWaitsForTheModuleAndRereadsTheTables) {
    ASSERT_NO_FATAL_FAILURE(Start({"--calibration-time", "gyro-accel=1.5"}));
    ASSERT_TRUE(RunUntil([&] { return ProcedureButtons(true); }, 2000));
    const size_t before = Log().size();
    const auto start = std::chrono::steady_clock::now();
    page()->OnCommand(Page::IDC_CALIB_GYRO_ACCEL);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], Plain(Page::kAskGyroAccel));
    EXPECT_EQ(Status(), Page::kTextGyroAccel);
    EXPECT_TRUE(ProcedureButtons(false));
    EXPECT_FALSE(view()->isVisible());
    ASSERT_TRUE(RunUntil([&] { return Status() == Page::kTextSuccess; }, 6000)) << Status();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_TRUE(ProcedureButtons(true));
    QTest::qWait(500);  // one round of partial reads
    const std::string log = Log().substr(before);
    EXPECT_EQ(log.rfind("set 0x06 3 int32\n", 0), 0u) << log;
    EXPECT_EQ(Count(log, "set "), 1u);
    EXPECT_GE(Count(log, "get 0x05 0 1 int32"), 10u);
    // The module's results, marked as changed.
    EXPECT_EQ(Cell(0, 3), "0.412000");
    EXPECT_TRUE(page()->IsMarked(0, 3));
    EXPECT_EQ(Cell(1, 0), "1.002100");
    EXPECT_FALSE(page()->IsMarked(0, 6));  // the magnetometer is not touched
}

TEST_F(CalibTest, NoSendsNothingCalibrationsClearTheMarksResetDoesNot) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Control("force 0x46:0 0.5"));
    for (int i = 0; i < 4; ++i) page()->ReadCalibration(false);
    ASSERT_TRUE(page()->IsMarked(0, 0));
    answer = IDNO;
    const size_t before = Log().size();
    page()->OnCommand(Page::IDC_RESET);
    EXPECT_EQ(questions.back(), Plain(Page::kAskReset));
    EXPECT_TRUE(page()->IsMarked(0, 0));
    page()->OnCommand(Page::IDC_CALIB_MAGN);
    EXPECT_EQ(questions.back(), Plain(Page::kAskMagn));
    EXPECT_FALSE(page()->IsMarked(0, 0));
    page()->OnCommand(Page::IDC_CALIB_GYRO_ACCEL);
    EXPECT_EQ(questions.size(), 3u);
    EXPECT_EQ(Log().substr(before).find("set "), std::string::npos);
    EXPECT_FALSE(view()->isVisible());
    EXPECT_TRUE(ProcedureButtons(true));
    // Without the admin flag the two service buttons are not shown.
    EXPECT_FALSE(page()->GetDlgItem(Page::IDC_SFD)->isVisible());
    EXPECT_FALSE(page()->GetDlgItem(Page::IDC_CALIB_TEMP)->isVisible());
}

TEST_F(CalibTest, FailureSaysSoAndLeavesTheTables) {
    ASSERT_NO_FATAL_FAILURE(Start({"--fail-calibration", "gyro-accel", "--calibration-time", "gyro-accel=0.5"}));
    const std::string bias = Cell(0, 3);
    page()->OnCommand(Page::IDC_CALIB_GYRO_ACCEL);
    ASSERT_TRUE(RunUntil([&] { return Status() == Page::kTextFailed; }, 5000)) << Status();
    EXPECT_TRUE(ProcedureButtons(true));
    QTest::qWait(500);
    EXPECT_EQ(Cell(0, 3), bias);
    EXPECT_FALSE(page()->IsMarked(0, 3));
}

TEST_F(CalibTest, PageWaitsForAModuleThatTakesLongAsLongAsItRuns) {
    ASSERT_NO_FATAL_FAILURE(Start({"--hang-calibration", "magnetometer"}));
    const std::string bias = Cell(0, 6);
    page()->OnCommand(Page::IDC_CALIB_MAGN);
    QTest::qWait(1500);
    EXPECT_EQ(Status(), Page::kTextMagn);
    EXPECT_TRUE(ProcedureButtons(false));
    // The module's own end, and its outcome, is what the page shows.
    ASSERT_TRUE(Control("fail-calibration magnetometer"));
    ASSERT_TRUE(Control("end-calibration"));
    ASSERT_TRUE(RunUntil([&] { return Status() == Page::kTextFailed; }, 1000)) << Status();
    EXPECT_TRUE(ProcedureButtons(true));
    EXPECT_EQ(Cell(0, 6), bias);
}

TEST_F(CalibTest, StatusWordOutcomeTexts) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::pair<const char*, const char*> cases[] = {
        {"status 10000", Page::kTextFailed}, {"status 8", Page::kTextSuccess}, {"status 10008", Page::kTextFailed},
        {"status 0", ""}};
    for (const auto& [line, text] : cases) {
        ASSERT_TRUE(Control(line));
        page()->OnTimer(Page::TIMER_STATUS);
        EXPECT_EQ(Status(), text) << line;
    }
}

TEST_F(CalibTest, FailedStatusReadCountsAsStatusZero) {
    ASSERT_NO_FATAL_FAILURE(Start({"--hang-calibration", "gyro-accel"}));
    page()->OnCommand(Page::IDC_CALIB_GYRO_ACCEL);
    page()->OnTimer(Page::TIMER_STATUS);
    ASSERT_TRUE(Control("drop-request 0x05"));
    page()->OnTimer(Page::TIMER_STATUS);
    EXPECT_TRUE(ProcedureButtons(false));
    EXPECT_EQ(Status(), "");
}

TEST_F(CalibTest, StartCommandIsNotChecked) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Control("drop-request 0x06"));
    page()->OnCommand(Page::IDC_CALIB_MAGN);
    EXPECT_EQ(Status(), Page::kTextMagn);
    EXPECT_TRUE(ProcedureButtons(false));
    EXPECT_TRUE(view()->isVisible());
}

TEST_F(CalibTest, MagnetometerViewCollectsTheCloudWhileTheModuleCalibrates) {
    ASSERT_NO_FATAL_FAILURE(Start({"--calibration-time", "magnetometer=2.5"}));
    page()->OnCommand(Page::IDC_CALIB_MAGN);
    EXPECT_EQ(Status(), Page::kTextMagn);
    ASSERT_TRUE(view()->isVisible());
    EXPECT_EQ(view()->windowTitle().toStdString(), "Magnetometer Calibration Data View");
    EXPECT_EQ(view()->View()->m_pointCount, 0);
    ASSERT_TRUE(RunUntil([&] { return Status() == Page::kTextSuccess; }, 8000)) << Status();
    const int points = view()->View()->m_pointCount;
    EXPECT_GE(points, 10);
    EXPECT_LE(points, 26);
    EXPECT_GE(view()->Progress(), 2);
    EXPECT_LE(view()->Progress(), 4);
    // One field reading per point, after the start command.
    const std::string log = Log();
    EXPECT_EQ(Count(log, "get 0x35 0 3 float32"), size_t(points));
    EXPECT_LT(log.find("set 0x06 4 int32"), log.find("get 0x35"));
    const float* p = view()->View()->m_points[0];
    EXPECT_LT(std::abs(p[0] - 0.09f), 0.3f);  // about the offset centre, field / 200
    // The cloud and its box are drawn in white.
    ASSERT_TRUE(view()->HasViewWindow());
    const QImage img = view()->View()->grabFramebuffer();
    int white = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            white += c.red() > 230 && c.green() > 230 && c.blue() > 230;
        }
    EXPECT_GT(white, 20);
    // Over: the cloud stays as it is and the view is not redrawn by the timer.
    const int invalidations = view()->invalidations;
    QTest::qWait(400);
    EXPECT_EQ(view()->View()->m_pointCount, points);
    EXPECT_EQ(view()->invalidations, invalidations);
    EXPECT_TRUE(view()->isVisible());
    EXPECT_NEAR(Cell(0, 6).empty() ? 0 : std::stod(Cell(0, 6)), 18.0, 0.5);
    EXPECT_TRUE(page()->IsMarked(0, 6));
    // Leaving the page hides the view.
    dlg->TabHost()->SelectTab(0);
    ASSERT_TRUE(RunUntil([&] { return !view()->isVisible(); }, 300));
}

TEST_F(CalibTest, CoachPanelJudgesTheRunAndMarksTheDirections) {
    ASSERT_NO_FATAL_FAILURE(Start({"--calibration-time", "magnetometer=5"}));
    page()->OnCommand(Page::IDC_CALIB_MAGN);
    auto text = [&](int id) { return view()->GetDlgItemText(id).toStdString(); };
    ASSERT_TRUE(RunUntil([&] { return text(CDlgMagnCalib::IDC_COACH_SAMPLES) >= "Samples: 1"; }, 3000));
    EXPECT_EQ(text(CDlgMagnCalib::IDC_COACH_VERDICT), "");  // under 30 readings: the counts only
    ASSERT_TRUE(RunUntil([&] { return Status() == Page::kTextSuccess; }, 10000)) << Status();
    ASSERT_TRUE(RunUntil([&] { return !text(CDlgMagnCalib::IDC_COACH_MODULE_OFFSET).empty(); }, 2000));
    EXPECT_EQ(text(CDlgMagnCalib::IDC_COACH_SAMPLES), "Samples: " + std::to_string(view()->View()->m_pointCount));
    EXPECT_EQ(text(CDlgMagnCalib::IDC_COACH_VERDICT), "Good calibration data.");
    EXPECT_EQ(text(CDlgMagnCalib::IDC_COACH_COVERAGE).rfind("Coverage: ", 0), 0u);
    EXPECT_EQ(text(CDlgMagnCalib::IDC_COACH_MODULE_OFFSET).rfind("Module offset: 18.", 0), 0u)
        << text(CDlgMagnCalib::IDC_COACH_MODULE_OFFSET);
    EXPECT_NE(Log().find("get 0x46 0 9 float32"), std::string::npos);
    EXPECT_EQ(view()->View()->m_markerCount, 26);
    int covered = 0;
    for (int i = 0; i < 26; ++i) covered += view()->View()->m_markers[i].covered;
    EXPECT_EQ(text(CDlgMagnCalib::IDC_COACH_COVERAGE), "Coverage: " + std::to_string(covered) + " of 26 directions");
}

TEST_F(CalibTest, ProgressCountsWholeSecondsUpToThirty) {
    ASSERT_NO_FATAL_FAILURE(Start());
    uint32_t now = 0xFFFFF000u;  // across the wrap of the tick count
    view()->tick = [&] { return now; };
    view()->Restart();
    view()->show();
    for (const auto& [ms, pos] : {std::pair{50u, 0}, {12500u, 12}, {40000u, 30}}) {
        now = 0xFFFFF000u + ms;
        view()->OnTimer(CDlgMagnCalib::TIMER_SAMPLE);
        EXPECT_EQ(view()->Progress(), pos) << ms;
    }
}

TEST_F(CalibTest, ReadingBecomesAPointAndTheCloudStopsAtAThousand) {
    ASSERT_NO_FATAL_FAILURE(Start({"--hang-calibration", "magnetometer"}));
    page()->OnCommand(Page::IDC_CALIB_MAGN);
    ASSERT_TRUE(Control("force 0x35 100 -40 250"));
    COpenGlAhrs* v = view()->View();
    v->m_pointCount = 0;
    view()->OnTimer(CDlgMagnCalib::TIMER_SAMPLE);
    ASSERT_EQ(v->m_pointCount, 1);
    EXPECT_FLOAT_EQ(v->m_points[0][0], 0.5f);
    EXPECT_FLOAT_EQ(v->m_points[0][1], -0.2f);
    EXPECT_FLOAT_EQ(v->m_points[0][2], 1.25f);
    v->m_pointCount = COpenGlAhrs::kMaxPoints;
    const size_t before = Log().size();
    view()->OnTimer(CDlgMagnCalib::TIMER_SAMPLE);
    EXPECT_EQ(v->m_pointCount, COpenGlAhrs::kMaxPoints);
    EXPECT_EQ(Log().substr(before).find("get 0x35"), std::string::npos);
}

TEST_F(CalibTest, ClosingTheWindowsDuringTheProcedureStopsTheirPolling) {
    ASSERT_NO_FATAL_FAILURE(Start({"--calibration-time", "magnetometer=2"}));
    page()->OnCommand(Page::IDC_CALIB_MAGN);
    QTest::qWait(400);
    // The close box hides the view: its sampling stops, the page goes on.
    view()->close();
    EXPECT_FALSE(view()->isVisible());
    size_t before = Log().size();
    QTest::qWait(400);
    std::string log = Log().substr(before);
    EXPECT_EQ(log.find("get 0x35"), std::string::npos) << log;
    EXPECT_NE(log.find("get 0x05"), std::string::npos);
    // The configuration window goes: nothing more is asked of the module.
    dlg->DestroyWindow();
    before = Log().size();
    QTest::qWait(400);
    EXPECT_EQ(Log().size(), before);
    // The module ends the procedure by itself and tells its outcome.
    int32_t status = 0x7;
    for (int i = 0; i < 25 && (status & 0x7); ++i) {
        QTest::qWait(200);
        ASSERT_TRUE(g_pObjectAccess->GetObjectXXX(OBJ_INT32, 0x05, 0, &status, 1));
    }
    EXPECT_EQ(status & 0x7, 0);
    EXPECT_EQ(status & 0x8, 0x8);
}

TEST_F(CalibTest, ResetWritesNineWaitsAndReadsTheFactoryTables) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Control("force 0x46:0 0.5"));
    for (int i = 0; i < 4; ++i) page()->ReadCalibration(false);
    const size_t before = Log().size();
    const auto start = std::chrono::steady_clock::now();
    page()->OnCommand(Page::IDC_RESET);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    const std::string log = Log().substr(before);
    EXPECT_EQ(log.rfind("set 0x06 9 int32\nget 0x46 0 9 float32\nget 0x47 0 9 float32\n", 0), 0u) << log;
    EXPECT_EQ(Cell(0, 0), "0.010000");
    EXPECT_FALSE(page()->IsMarked(0, 0));
    EXPECT_EQ(page()->RememberedStatus(), -1);
}

class CalibAdminTest : public CalibTest {
protected:
    void SetUp() override {
        CalibTest::SetUp();
        g_pAppIni->admin = 1;
    }
};

TEST_F(CalibAdminTest, SfdSendsTheTextCommandWithoutAQuestion) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(page()->GetDlgItem(Page::IDC_SFD)->isVisible());
    const size_t before = Log().size();
    const auto start = std::chrono::steady_clock::now();
    page()->OnCommand(Page::IDC_SFD);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(Status(), Page::kTextSfd);
    EXPECT_EQ(Log().substr(before), "text /f\n");
    // The answer was taken off the line: the next exchange works at once.
    int32_t status = 0;
    EXPECT_TRUE(g_pObjectAccess->GetObjectXXX(OBJ_INT32, 0x05, 0, &status, 1));
}

TEST_F(CalibAdminTest, TemperatureCalibrationShowsTheRangeAndEndsWithoutAnAnswer) {
    ASSERT_NO_FATAL_FAILURE(Start({"--hang-calibration", "temperature", "--force", "0x32=24.7"}));
    page()->OnTimer(Page::TIMER_STATUS);
    const int32_t remembered = page()->RememberedStatus();
    const size_t before = Log().size();
    page()->OnCommand(Page::IDC_CALIB_TEMP);
    EXPECT_EQ(page()->RememberedStatus(), remembered);
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(Status(), Page::kTextTemp);
    EXPECT_TRUE(ProcedureButtons(false));
    EXPECT_FALSE(Enabled(Page::IDC_SFD));
    EXPECT_FALSE(Enabled(Page::IDC_CALIB_TEMP));
    EXPECT_TRUE(page()->HasTimer(Page::TIMER_TEMPERATURE));
    EXPECT_EQ(Log().substr(before).rfind("set 0x06 45 int32\nget 0x32 0 1 float32\n", 0), 0u);
    ASSERT_TRUE(Control("force 0x32 23.2"));
    page()->OnTimer(Page::TIMER_TEMPERATURE);
    EXPECT_EQ(Status(), "Current temperature = 23\n Change in temperature = 23 ~ 24");
    // No word from the module ends the wait: all five buttons come back and
    // the status line keeps the last temperatures.
    ASSERT_TRUE(Control("drop-request 0x05"));
    page()->OnTimer(Page::TIMER_TEMPERATURE);
    EXPECT_FALSE(page()->HasTimer(Page::TIMER_TEMPERATURE));
    EXPECT_TRUE(ProcedureButtons(true));
    EXPECT_TRUE(Enabled(Page::IDC_SFD));
    EXPECT_TRUE(Enabled(Page::IDC_CALIB_TEMP));
    EXPECT_EQ(Status(), "Current temperature = 23\n Change in temperature = 23 ~ 24");
}

}  // namespace
