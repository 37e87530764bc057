#pragma once
// The save-file dialog. Callers give the filter in the Windows form the
// windows are written with, "Capture Files (*.csv)|*.csv|All Files (*.*)|*.*|",
// a default suffix, an initial file name and whether to ask before
// overwriting. The chosen path comes back absolute; RelativeToWorkingDir
// turns a path inside the working directory into one relative to it, the way
// paths are stored in the settings.
//
// The conversions are plain functions, so that they are tested without a dialog.
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QWidget;

struct FileFilter {
    QString description;  // "All Files (*.*)"
    QStringList patterns; // {"*.*"}
};

// The description/pattern pairs of a Windows filter string. Empty trailing
// fields end it; a description without its pattern field is dropped.
QVector<FileFilter> ParseWindowsFilter(const QString& filter);

// The Qt name filters of a Windows filter string, one per pair: the
// description without its own "(...)" part, then the patterns in brackets,
// separated by blanks. "*.*" (every file on Windows) becomes "*", since
// names without a dot must match too.
QStringList QtNameFilters(const QString& windowsFilter);

// The path with "." + suffix appended when its file name has no extension
// (no '.' after its first character); unchanged when it has one or the
// suffix is empty.
QString ApplyDefaultSuffix(const QString& path, const QString& suffix);

// A path that begins with the working directory followed by "/" loses that
// prefix; any other path is returned as it is.
QString RelativeToWorkingDir(const QString& path, const QString& workingDir);
// The same against the process's current directory.
QString RelativeToWorkingDir(const QString& path);

// The folder and file name the dialog opens with for an initial file name,
// which may be relative to the working directory and may use "\" as a
// separator (a settings file written on Windows: ".\records.csv").
struct InitialSelection {
    QString folder;    // absolute
    QString fileName;  // may be empty
};
InitialSelection InitialSelectionFor(const QString& initialPath, const QString& workingDir);

struct SaveFileRequest {
    QString filter;            // Windows form
    QString defaultSuffix;     // without the dot: "csv"
    QString initialPath;       // initial file name
    int filterIndex = 0;       // the filter selected at the start, 0 the first
    bool overwritePrompt = true;
};

// Shows the save dialog, modal to the asking window (to the program when
// parent is null). Returns the chosen absolute path with the default suffix
// applied, or an empty string when the user cancels. With overwritePrompt
// an existing file is replaced only after a Yes to the question
// "<name> already exists.\nDo you want to replace it?"; a No returns to the
// dialog.
QString GetSaveFileName(QWidget* parent, const SaveFileRequest& request);

// While a hook is set, GetSaveFileName shows no dialog: the hook gives the
// path the user would choose (empty: cancelled). The default suffix and the
// overwrite question (a message box, see SetMessageBoxHook) still apply;
// after a No the call returns an empty path, as if the user then cancelled.
using SaveFileHook = std::function<QString(QWidget* parent, const SaveFileRequest& request)>;
void SetSaveFileHook(SaveFileHook hook);

struct OpenFileRequest {
    QString filter;       // Windows form
    QString initialPath;  // a file or a folder ending in "/"
};

// Shows the open dialog for an existing file, modal to the asking window.
// Returns the chosen absolute path, or an empty string when the user cancels.
QString GetOpenFileName(QWidget* parent, const OpenFileRequest& request);

// While a hook is set, GetOpenFileName shows no dialog: the hook gives the
// path the user would choose (empty: cancelled).
using OpenFileHook = std::function<QString(QWidget* parent, const OpenFileRequest& request)>;
void SetOpenFileHook(OpenFileHook hook);
