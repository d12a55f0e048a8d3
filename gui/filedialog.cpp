#include "gui/filedialog.h"

#include "common/prompter.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// Qt's dialog with the checks of the option flags that it does not make
// itself. Questions and warnings go through the prompter, so that a test can
// answer them.
class FileDialogWindow : public QFileDialog {
public:
    FileDialogWindow(QWidget* parent, int flags, bool save) : QFileDialog(parent), flags_(flags), save_(save) {}

    void accept() override {
        const QStringList files = selectedFiles();
        if (files.isEmpty()) {
            QFileDialog::accept();
            return;
        }
        const QFileInfo info(files.first());
        if (info.isDir()) {
            QFileDialog::accept();  // opens the folder
            return;
        }
        const int needsFolder = FileDialog::PathMustExist | FileDialog::FileMustExist | FileDialog::CreatePrompt;
        if ((flags_ & needsFolder) && !QFileInfo(info.path()).isDir()) {
            MsgBox(QStringLiteral("%1\nThe folder does not exist.\nCheck the path and try again.").arg(info.filePath()),
                   MsgButtons::Ok, MsgIcon::Warning, windowTitle());
            return;
        }
        if (!save_ && (flags_ & FileDialog::CreatePrompt) && !(flags_ & FileDialog::FileMustExist) && !info.exists()) {
            if (MsgBox(QStringLiteral("%1\nThis file does not exist.\nDo you want to create it?").arg(info.fileName()),
                       MsgButtons::YesNo, MsgIcon::Question, windowTitle()) != MsgAnswer::Yes)
                return;
        }
        if ((flags_ & FileDialog::NoReadOnlyReturn) && info.exists() && !info.isWritable()) {
            MsgBox(QStringLiteral("%1\nThis file is read-only.\nChoose another file.").arg(info.fileName()),
                   MsgButtons::Ok, MsgIcon::Warning, windowTitle());
            return;
        }
        if (save_ && (flags_ & FileDialog::OverwritePrompt) && info.exists()) {
            if (MsgBox(QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(info.fileName()),
                       MsgButtons::YesNo, MsgIcon::Warning, windowTitle()) != MsgAnswer::Yes)
                return;
        }
        QFileDialog::accept();
    }

private:
    int flags_;
    bool save_;
};

bool HasWildcard(const QString& name) { return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?')); }

}  // namespace

QStringList QtNameFilters(const QString& Filter) {
    QStringList out;
    const QStringList parts = Filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString desc = parts[i].trimmed();
        const QString pattern = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        if (desc.isEmpty() && pattern.isEmpty()) continue;
        QStringList patterns;
        for (const QString& p : pattern.split(QRegularExpression(QStringLiteral("[; ]")), Qt::SkipEmptyParts)) {
            // "*.*" means every file, also those without an extension.
            patterns << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
        }
        if (patterns.isEmpty()) patterns << QStringLiteral("*");
        // Qt takes the patterns from the description's last "(...)", so the
        // description's own copy of them is replaced by the real list.
        if (desc.endsWith(QLatin1Char(')'))) {
            const qsizetype open = desc.lastIndexOf(QLatin1Char('('));
            if (open >= 0) desc = desc.left(open).trimmed();
        }
        if (desc.isEmpty()) desc = patterns.join(QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(desc, patterns.join(QLatin1Char(' ')));
    }
    return out;
}

FileDialog::FileDialog(QWidget* Parent, const QString& Name) : parent_(Parent), name_(Name) {}

bool FileDialog::ShowOpen() { return Show(false); }

bool FileDialog::ShowSave() { return Show(true); }

QString FileDialog::FileTitle() const {
    const qsizetype slash = FileName.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? FileName : FileName.mid(slash + 1);
}

bool FileDialog::Show(bool Save) {
    FileDialogWindow dlg(parent_, Flags, Save);
    dlg.setObjectName(name_);
    dlg.setModal(true);
    // Qt's own dialog everywhere: the same behaviour on every desktop, and
    // one that tests can drive.
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);  // asked in accept() when wanted
    dlg.setOption(QFileDialog::DontResolveSymlinks, (Flags & NoDereferenceLinks) != 0);
    dlg.setWindowTitle(!DialogTitle.isEmpty() ? DialogTitle
                                              : (Save ? QStringLiteral("Save As") : QStringLiteral("Open")));
    dlg.setAcceptMode(Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(!Save && (Flags & FileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);

    const QStringList filters = QtNameFilters(Filter);
    if (!filters.isEmpty()) {
        dlg.setNameFilters(filters);
        dlg.selectNameFilter(filters.value(FilterIndex - 1, filters.first()));
    }
    QString ext = DefaultExt.trimmed();
    if (ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
    if (!ext.isEmpty()) dlg.setDefaultSuffix(ext);

    // A folder in the file name wins over the initial folder.
    QString folder;
    QString name = FileName;
    const qsizetype slash = FileName.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0) {
        folder = slash == 0 ? QStringLiteral("/") : FileName.left(slash);
        name = FileName.mid(slash + 1);
    }
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = InitDir;
    dlg.setDirectory(!folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::currentPath());
    if (!name.isEmpty() && !HasWildcard(name)) dlg.selectFile(name);

    if (dlg.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dlg.selectedFiles();
    if (chosen.isEmpty()) return false;
    FileName = chosen.first();
    const qsizetype index = filters.indexOf(dlg.selectedNameFilter());
    if (index >= 0) FilterIndex = static_cast<int>(index) + 1;
    return true;
}
