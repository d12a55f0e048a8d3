#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "mrvgenie/genie.h"

// The generation of an installation from the genie's answers: the folder
// tree, the schedule configuration file (an existing one is kept under the
// first free ".000" ... ".999" name), an empty schedule, the public holidays
// file and the e-mailer's configuration (both only when absent), the ReadMe
// block and the per-user settings "Current" and "MRVEmailIni". No window:
// messages go through the prompter.

/// The genie's log: every line is appended to the log file with the moment
/// ("dd mmm yyyy hh:nn:ss" and a blank) and handed, without the moment, to
/// the page's list.
class GenieLog {
public:
    explicit GenieLog(QString Path, std::function<void(const QString&)> ListLine = {});

    /// Writes one line.
    void Log(const QString& Text);
    /// The log file.
    const QString& Path() const { return path_; }
    /// True once a line could not be written to the file.
    bool Failed() const { return failed_; }
    /// Why the first line that failed could not be written.
    const QString& Error() const { return error_; }

private:
    QString path_;
    std::function<void(const QString&)> listLine_;
    bool failed_ = false;
    QString error_;
};

/// The files of an installation, from the base folder and the schedule name.
struct GeniePaths {
    GeniePaths(const QString& Base, const QString& Name);
    QString Base;
    QString SchedFolder;   ///< Base/Name
    QString IniFile;       ///< Base/Name/Name.ini
    QString SchedFile;     ///< Base/Name/Name.sch
    QString PubHolsFile;   ///< Base/PubHols.phf
    QString EmailFolder;   ///< Base/@Email
    QString EmailIni;      ///< Base/@Email/MRVEmail.Ini
    QString MessagesPath;  ///< Base/@Email/Messages
    QString ReadMeFile;    ///< Base/ReadMe.txt
};

/// What a generation did.
struct GenerateResult {
    /// The three digits of the name an existing configuration file was given;
    /// "" when there was none.
    QString BackupExt;
    /// The configuration file, the public holidays file and the e-mailer's
    /// file were there before and were kept.
    bool PubHolsKept = false;
    bool EmailIniKept = false;
    /// "Current" and "MRVEmailIni" were written.
    bool CurrentSet = false;
    bool EmailIniSet = false;
    /// What could not be done, one line each (also in the log and shown).
    QStringList Failures;
    /// The files written (or, for the old configuration file, given its
    /// numbered name), in order.
    QStringList Written;
};

/// The keys of the schedule configuration file, in the order written, with
/// their values (paths joined with "/"). "DummyProg" is the dummy program beside
/// the genie in ProgramFolder, "HelpPath" the help folder of the programs there
/// (the installed data folder, or ProgramFolder in the build tree).
QList<QPair<QString, QString>> ScheduleIniKeys(const GenieAnswers& A, const QString& ProgramFolder);

/// The whole generation. With an empty base folder or schedule name nothing
/// is created: the failure is logged, listed and shown. A folder that cannot
/// be created is logged and the generation goes on; the first file that
/// cannot be written stops it: the failure (with the file and the reason) is
/// logged, listed in Failures and shown in one closing message with the files
/// written before it. An existing file is never replaced by one that failed,
/// and the settings "Current" and "MRVEmailIni" are written only once every
/// file is whole.
GenerateResult DoGenerate(const GenieAnswers& A, const QString& ProgramFolder, GenieLog& Log);
