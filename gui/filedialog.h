#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The file dialog of every program: the caller sets the filter, the initial
// folder and name, a default extension and option flags, shows the dialog to
// open or to save, and reads the chosen path afterwards or learns of the
// cancel.
//
// The dialog is Qt's own (never the desktop's native one), modal, and its
// objectName is the name given to FileDialog; a test drives it by finding it
// (QApplication::activeModalWidget()) from a QTimer::singleShot and calling
// selectFile() and then accept() (through QDialog, where it is public) or
// reject() on it.

class FileDialog {
public:
    /// Option flags, with the values callers know them by, so a
    /// combined value such as 0x2804 keeps its meaning.
    enum Flag : int {
        OverwritePrompt = 0x2,          ///< save: ask before replacing an existing file
        HideReadOnly = 0x4,             ///< no "open as read-only" box (there never is one)
        LongNames = 0x200000,           ///< long file names (always)
        PathMustExist = 0x800,          ///< the chosen file's folder must exist
        FileMustExist = 0x1000,         ///< open: the chosen file must exist
        CreatePrompt = 0x2000,          ///< open: ask before accepting a file that does not exist
        ShareAware = 0x4000,            ///< no effect
        NoReadOnlyReturn = 0x8000,      ///< refuse an existing file that cannot be written
        Explorer = 0x80000,             ///< no effect
        NoDereferenceLinks = 0x100000,  ///< return a symbolic link itself, not its target
    };

    /// Name is the control name of the dialog (e.g. "cdgFiles"), the
    /// objectName of every dialog shown; Parent its parent window.
    explicit FileDialog(QWidget* Parent = nullptr, const QString& Name = QStringLiteral("cdgFiles"));

    /// Filter: pairs of a description and a pattern, all joined by "|"
    /// (" Files(*.ini)|*.ini|All Files|*.*"); a pattern may list several
    /// patterns separated by ";". Empty: every file.
    QString Filter;
    /// Filter chosen at the start (1 = the first pair); after an accepted
    /// dialog, the one the operator had chosen.
    int FilterIndex = 1;
    /// Folder shown at the start when FileName names none; empty: the current
    /// folder.
    QString InitDir;
    /// Before showing: the initial file name, a bare name, a pattern such as
    /// "*.ini" (which preselects nothing) or a path whose folder is shown.
    /// After an accepted dialog: the chosen file's full path. Unchanged when
    /// the dialog is cancelled.
    QString FileName;
    /// Extension (without the dot) added to a typed name that has none.
    QString DefaultExt;
    /// Title of the dialog; empty: "Open" or "Save As".
    QString DialogTitle;
    /// Option flags (Flag values or'ed together).
    int Flags = 0;

    /// Shows the dialog to open a file. True when the operator chose a file
    /// (FileName then holds its full path); false when cancelled.
    bool ShowOpen();
    /// Shows the dialog to save a file; as ShowOpen.
    bool ShowSave();
    /// FileName without its folder.
    QString FileTitle() const;

private:
    bool Show(bool Save);

    QWidget* parent_;
    QString name_;
};

/// Filter in the form ("Description|pattern|...") as Qt name filters
/// ("Description (pattern)"). A trailing "(...)" of a description is replaced
/// by the pattern list; patterns separated by ";" become separated by blanks;
/// "*.*" (every file, with or without an extension) becomes "*"; a
/// description without a pattern gets "*". Empty pairs are skipped.
QStringList QtNameFilters(const QString& Filter);
