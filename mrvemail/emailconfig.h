#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "common/datetime.h"
#include "platform/mail.h"

// The e-mailer's configuration file (EmailIni, one section "MRVEmail"): where
// the program finds it, what it reads from it and the start-up work that
// depends on it. Nothing here shows a window; questions go through the
// prompter and the file chooser is handed in.

/// Section of every e-mailer key.
inline const QString gEmailSection = QStringLiteral("MRVEmail");

/// The values the e-mailer runs with.
struct EmailConfig {
    /// The configuration file they came from.
    QString iniFile;
    /// The messages folder, without a trailing "/".
    QString emailPath;
    /// Seconds between passes, already clamped to 5..60.
    int kickInterval = 60;
    /// Days after which a sent file is deleted at start-up; 0 = never.
    int deleteAfter = 0;
    /// Date format of the error log lines (a tested mask).
    QString dateFormat = QStringLiteral("dd mmm yyyy");
    /// The profile whose section names the mail server ("" = the main section).
    QString profileName;
    /// Window position in twips as last saved; nullopt when Left is empty.
    std::optional<int> left;
    int top = 0;
};

/// The whole command line of this process: MRV_CMDLINE when MRV_CMDLINE_PID
/// holds this process's own pid (set by the scheduler's launcher), else Args
/// joined with blanks.
QString EmailCommandLine(const QStringList& Args);

/// The configuration file that exists in the first of these places: the whole
/// command line (trimmed; enclosing double quotes dropped), the program's
/// folder with the program's name and ".ini", the per-user setting
/// "MRVEmailIni" of Morvenda/@General. "" when none of them names a file.
QString FindEmailIni(const QString& CommandLine, const QString& ProgramPath);

/// The question asked when no configuration file is found.
QString EmailIniSearchQuestion(const QString& ProgramPath);

/// FindEmailIni, then the search question (through the prompter, titled with
/// the program's file name) for as long as the operator answers Yes and the
/// chooser (called with the program's folder) returns "". "" when the
/// operator answers No.
QString LocateEmailIni(const QString& CommandLine, const QString& ProgramPath,
                       const std::function<QString(const QString& folder)>& ChooseFile);

/// Seconds between passes from the KickInterval text: 0 (or not a number) and
/// above 60 give 60, below 5 gives 5.
int ClampKickInterval(const QString& Text);

/// The DateFormat to use: Text, or "dd mmm yyyy" when Text is empty or the
/// present date formatted with it does not read back as a date.
QString CheckedDateFormat(const QString& Text);

/// Reads the configuration from IniFile. Fails (returns the message to show,
/// with *config untouched) when EmailPath is empty, does not name a folder, or
/// names a folder that every user may write into (its "other" write
/// permission is set, with or without the sticky bit).
/// The mail server keys are read at log-on (ReadSmtpSettings).
std::optional<QString> LoadEmailConfig(const QString& IniFile, EmailConfig* config);

/// The mail server settings (SmtpServer, SmtpPort, SmtpTls, SmtpFrom,
/// SmtpUser, SmtpPassword). With a ProfileName they come from the section of
/// that name, a key missing there from the main section, then its default;
/// with none, from the main section. nullopt (with *error set to the reason)
/// when the profile has no section, SmtpPort is not a port number or SmtpTls
/// is not one of none, starttls, ssl.
std::optional<SmtpSettings> ReadSmtpSettings(const QString& IniFile, const QString& ProfileName, QString* error);

/// The sender used when SmtpFrom is empty: the user's login name "@" the
/// host name.
QString DefaultSender();

/// Deletes every "*.don" file of EmailPath (any letter case) whose last
/// change lies DeleteAfter or more calendar days before Today; nothing when
/// DeleteAfter is 0 or less. A file that cannot be deleted is left. Returns
/// how many were deleted.
int DeleteOldSentFiles(const QString& EmailPath, int DeleteAfter, const DateVal& Today);

/// Writes the window position (twips) as Left and Top. False when the file
/// cannot be written.
bool SaveWindowPosition(const QString& IniFile, int LeftTwips, int TopTwips);
