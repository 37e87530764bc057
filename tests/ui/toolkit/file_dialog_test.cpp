// The save-file dialog: filter conversion, default suffix, the
// working-directory-relative path rule, and a real dialog run with the
// overwrite question.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "tests/support/window_fixture.h"
#include "ui/toolkit/file_dialog.h"
#include "ui/toolkit/message_box.h"

namespace {

// Answers each file dialog that comes up: `act` with the run number for the
// first `runs`, Cancel for any later one (a failure, not a hang).
std::unique_ptr<QTimer> OnEachDialog(const std::function<void(QFileDialog*, int)>& act, int runs) {
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [act, runs, n = std::make_shared<int>(0)] {
        auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dlg || !dlg->isVisible()) return;
        if (*n < runs) act(dlg, *n);
        else dlg->reject();
        ++*n;
    });
    timer->start(10);
    return timer;
}

// The user types a file name into the dialog. Typing there drops the
// selection in the file list, which the dialog does only while the edit has
// the focus, and focus is not certain on a bare test display: drop it here.
void Type(QFileDialog* dlg, const QString& name) {
    auto* edit = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    for (auto* view : dlg->findChildren<QAbstractItemView*>()) view->clearSelection();
    edit->setText(name);
}

}  // namespace

using FileDialog = WindowTest;

TEST_F(FileDialog, ConvertsWindowsFilters) {
    EXPECT_EQ(QtNameFilters("Capture Files (*.csv)|*.csv|All Files (*.*)|*.*|"),
              QStringList({"Capture Files (*.csv)", "All Files (*)"}));
    EXPECT_EQ(QtNameFilters("Data|*.csv;*.txt|Broken||"), QStringList({"Data (*.csv *.txt)"}));
}

TEST_F(FileDialog, DefaultSuffixOnlyWithoutExtension) {
    EXPECT_EQ(ApplyDefaultSuffix("/tmp/a.b/records", "csv"), "/tmp/a.b/records.csv");
    EXPECT_EQ(ApplyDefaultSuffix("/tmp/records.txt", "csv"), "/tmp/records.txt");
}

TEST_F(FileDialog, RelativeInsideTheWorkingDirectory) {
    EXPECT_EQ(RelativeToWorkingDir("/home/u/run/sub/r.csv", "/home/u/run"), "sub/r.csv");
    EXPECT_EQ(RelativeToWorkingDir("/home/u/running/r.csv", "/home/u/run"), "/home/u/running/r.csv");
    EXPECT_EQ(RelativeToWorkingDir("/r.csv", "/"), "r.csv");
    const InitialSelection s = InitialSelectionFor(".\\records.csv", "/home/u/run");
    EXPECT_EQ(s.folder + "|" + s.fileName, "/home/u/run|records.csv");
}

TEST_F(FileDialog, SavesWithSuffixAndAsksBeforeOverwriting) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile existing(dir.filePath("old.csv"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();

    QStringList filters;
    QString firstName;
    const auto answers = OnEachDialog([&](QFileDialog* dlg, int run) {
        if (run == 0) {
            filters = dlg->nameFilters();
            firstName = dlg->selectedFiles().value(0);
            Type(dlg, "old");  // the suffix makes it the existing file
        } else {
            Type(dlg, "new");
        }
        static_cast<QDialog*>(dlg)->accept();  // as the Save button does
    }, 2);
    QStringList questions;
    SetMessageBoxHook([&](const MessageBoxRequest& r) {
        questions << r.text;
        return IDNO;  // back to the dialog
    });
    const QString chosen = GetSaveFileName(
        nullptr, {"Plot Files (*.csv)|*.csv|All Files (*.*)|*.*||", "csv", dir.filePath("plot_data.csv")});
    SetMessageBoxHook(nullptr);

    EXPECT_EQ(filters, QStringList({"Plot Files (*.csv)", "All Files (*)"}));
    EXPECT_EQ(firstName, dir.filePath("plot_data.csv"));
    EXPECT_EQ(questions, QStringList({"old.csv already exists.\nDo you want to replace it?"}));
    EXPECT_EQ(chosen, dir.filePath("new.csv"));
}

TEST_F(FileDialog, CancelGivesNothing) {
    const auto answers = OnEachDialog([](QFileDialog* dlg, int) { dlg->reject(); }, 1);
    EXPECT_TRUE(GetSaveFileName(nullptr, {"Capture Files (*.csv)|*.csv|", "csv", "capture.csv"}).isEmpty());
}

TEST_F(FileDialog, HookStandsForTheUser) {
    QTemporaryDir dir;
    QFile existing(dir.filePath("taken.csv"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    SetSaveFileHook([&](QWidget*, const SaveFileRequest& r) { return dir.filePath(r.initialPath); });
    int asked = 0;
    SetMessageBoxHook([&](const MessageBoxRequest&) { return ++asked, IDNO; });
    const QString fresh = GetSaveFileName(nullptr, {"Capture Files (*.csv)|*.csv|", "csv", "capture"});
    const QString taken = GetSaveFileName(nullptr, {"Capture Files (*.csv)|*.csv|", "csv", "taken"});
    SetSaveFileHook(nullptr);
    SetMessageBoxHook(nullptr);
    EXPECT_EQ(fresh, dir.filePath("capture.csv"));
    EXPECT_TRUE(taken.isEmpty());  // No to replacing: nothing chosen
    EXPECT_EQ(asked, 1);
}
