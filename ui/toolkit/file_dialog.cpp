#include "ui/toolkit/file_dialog.h"

#include "ui/toolkit/message_box.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QWidget>

QVector<FileFilter> ParseWindowsFilter(const QString& filter) {
    QVector<FileFilter> out;
    const QStringList fields = filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < fields.size(); i += 2) {
        const QString description = fields[i].trimmed();
        const QString patterns = fields[i + 1].trimmed();
        if (description.isEmpty() || patterns.isEmpty()) break;
        FileFilter f;
        f.description = description;
        for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            if (!t.isEmpty()) f.patterns << t;
        }
        if (!f.patterns.isEmpty()) out << f;
    }
    return out;
}

QStringList QtNameFilters(const QString& windowsFilter) {
    static const QRegularExpression trailingGroup(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    QStringList out;
    for (const FileFilter& f : ParseWindowsFilter(windowsFilter)) {
        QString name = f.description;
        name.remove(trailingGroup);
        QStringList patterns;
        for (const QString& p : f.patterns) patterns << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
        const QString list = patterns.join(QLatin1Char(' '));
        out << (name.isEmpty() ? list : name + QStringLiteral(" (") + list + QLatin1Char(')'));
    }
    return out;
}

QString ApplyDefaultSuffix(const QString& path, const QString& suffix) {
    if (suffix.isEmpty() || path.isEmpty() || path.endsWith(QLatin1Char('/'))) return path;
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    if (name.indexOf(QLatin1Char('.'), 1) > 0) return path;
    return path + QLatin1Char('.') + suffix;
}

QString RelativeToWorkingDir(const QString& path, const QString& workingDir) {
    if (workingDir.isEmpty()) return path;
    const QString prefix = workingDir.endsWith(QLatin1Char('/')) ? workingDir : workingDir + QLatin1Char('/');
    if (path.size() > prefix.size() && path.startsWith(prefix)) return path.mid(prefix.size());
    return path;
}

QString RelativeToWorkingDir(const QString& path) { return RelativeToWorkingDir(path, QDir::currentPath()); }

InitialSelection InitialSelectionFor(const QString& initialPath, const QString& workingDir) {
    QString p = initialPath;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QDir base(workingDir);
    if (p.isEmpty()) return {QDir::cleanPath(base.absolutePath()), QString()};
    if (p.endsWith(QLatin1Char('/'))) return {QDir::cleanPath(base.absoluteFilePath(p)), QString()};
    const QFileInfo fi(base.absoluteFilePath(p));
    return {QDir::cleanPath(fi.absolutePath()), fi.fileName()};
}

namespace {

SaveFileHook& Hook() {
    static SaveFileHook hook;
    return hook;
}

// True unless the file exists and the user, asked only with overwritePrompt,
// does not want it replaced.
bool MayWrite(QWidget* owner, const SaveFileRequest& request, const QString& path) {
    const QFileInfo fi(path);
    if (!request.overwritePrompt || !fi.exists()) return true;
    const QString question = fi.fileName() + QStringLiteral(" already exists.\nDo you want to replace it?");
    return ShowMessageBox(owner, question, MsgButtons::YesNo, MsgIcon::Warning) == IDYES;
}

}  // namespace

void SetSaveFileHook(SaveFileHook hook) { Hook() = std::move(hook); }

QString GetSaveFileName(QWidget* parent, const SaveFileRequest& request) {
    QWidget* owner = parent ? parent->window() : nullptr;
    if (Hook()) {
        const QString chosen = Hook()(parent, request);
        if (chosen.isEmpty()) return QString();
        const QString path = ApplyDefaultSuffix(QFileInfo(chosen).absoluteFilePath(), request.defaultSuffix);
        return MayWrite(owner, request, path) ? path : QString();
    }
    QFileDialog dlg(owner);
    // Qt's own dialog, the same on every desktop; the overwrite question is ours.
    dlg.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    const QStringList filters = QtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dlg.setNameFilters(filters);
        dlg.selectNameFilter(filters.value(request.filterIndex, filters.front()));
    }
    const InitialSelection initial = InitialSelectionFor(request.initialPath, QDir::currentPath());
    dlg.setDirectory(initial.folder);
    if (!initial.fileName.isEmpty()) dlg.selectFile(initial.fileName);

    for (;;) {
        if (dlg.exec() != QDialog::Accepted) return QString();
        const QString chosen = dlg.selectedFiles().value(0);
        if (chosen.isEmpty()) return QString();
        const QString path = ApplyDefaultSuffix(chosen, request.defaultSuffix);
        if (MayWrite(owner, request, path)) return path;
        const QFileInfo fi(path);
        dlg.setDirectory(fi.absolutePath());
        dlg.selectFile(fi.fileName());
    }
}

namespace {

OpenFileHook& OpenHook() {
    static OpenFileHook hook;
    return hook;
}

}  // namespace

void SetOpenFileHook(OpenFileHook hook) { OpenHook() = std::move(hook); }

QString GetOpenFileName(QWidget* parent, const OpenFileRequest& request) {
    if (OpenHook()) {
        const QString chosen = OpenHook()(parent, request);
        return chosen.isEmpty() ? QString() : QFileInfo(chosen).absoluteFilePath();
    }
    QWidget* owner = parent ? parent->window() : nullptr;
    QFileDialog dlg(owner);
    dlg.setOptions(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    const QStringList filters = QtNameFilters(request.filter);
    if (!filters.isEmpty()) dlg.setNameFilters(filters);
    const InitialSelection initial = InitialSelectionFor(request.initialPath, QDir::currentPath());
    dlg.setDirectory(initial.folder);
    if (!initial.fileName.isEmpty()) dlg.selectFile(initial.fileName);
    if (dlg.exec() != QDialog::Accepted) return QString();
    return dlg.selectedFiles().value(0);
}
