#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

// The rules of the setup genie's pages and the answers they collect, without
// any window.

/// The answers of the wizard pages.
struct GenieAnswers {
    /// Base folder, as chosen (no trailing "/").
    QString Base;
    /// Schedule name, as typed.
    QString Name;
    /// Three-letter names of the working days in week order, joined by ",".
    QString WorkDays;
    /// Date display order: 0 day-month-year, 1 month-day-year, 2
    /// year-month-day; -1 none chosen.
    int DateOrder = -1;
    /// The e-mailer's date format that goes with DateOrder.
    QString EmailDateFormat;
};

/// Caption of every page and title of the directory chooser's messages.
inline const QString gGenieCaption = QStringLiteral("Morvenda Configuration Genie");
inline const QString gGenieChooserCaption = QStringLiteral("Morvenda Startup Genie");

/// The name box's key filter: C when its upper-case form is an allowed
/// schedule-name character, or backspace; QChar() (the key is dropped)
/// otherwise.
QChar FilterNameKey(QChar C);

/// The display order a locale's short date format implies for the text
/// "01 04 2002": 0 when the day comes before the month (1 April), 1 when the
/// month comes first and the year is not first (4 January); -1 otherwise (the
/// year first, or no day or month in the format).
int ProbeDateOrder(const QString& ShortDateFormat);

/// The probe on this computer's locale.
int ProbeSystemDateOrder();

/// The example format of an order ("d mmm yyyy", "mmm d yyyy",
/// "yyyy mmm dd"); "" for no order.
QString OrderExampleFormat(int Order);

/// The e-mailer's date format of an order ("dd mmm yyyy", "mmm dd yyyy",
/// "yyyy mmm dd"); "" for no order.
QString OrderEmailFormat(int Order);

/// "Example: " and 1 April 2002 in the order's example format; "" for none.
QString OrderExample(int Order);

/// The working-days list from the selected days (Sunday = 0 ... Saturday =
/// 6): their three-letter names in week order, joined by ",".
QString WorkDaysText(const QList<int>& SelectedDays);

/// True when ProgramFolder is the user's own to write into (a build tree):
/// it exists, can be written, is not an installation (no help pages in
/// share/morvenda beside it) and is not under a system folder (/usr, /bin,
/// /sbin, /lib, /lib64, /opt, /snap). False for an empty or missing folder.
bool ProgramFolderIsUsers(const QString& ProgramFolder);

/// Where the genie's log goes: "MRVG" & Stamp & ".log" in ProgramFolder when
/// ProgramFolderIsUsers, else in $XDG_STATE_HOME/Morvenda
/// (~/.local/state/Morvenda when XDG_STATE_HOME is not set or not absolute),
/// which is created.
QString GenieLogPath(const QString& ProgramFolder, const QString& Stamp);

/// Reads the setting CallBack of Morvenda/@General; when it is not empty,
/// deletes it and, when a file of that path exists, starts it as a program
/// (no wait). Returns what was started ("" for nothing); *Error says why a
/// program named there could not be started.
QString RunCallBack(QString* Error = nullptr);
