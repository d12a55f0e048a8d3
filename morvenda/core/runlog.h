#pragma once

#include "common/datetime.h"

#include <QString>
#include <QStringList>

#include <vector>

class QStringListModel;

// The run log, the fatal stop and the execution window's progress list.

/// Path with the date tokens of its file part (after the last "/" or "\")
/// replaced at their first occurrence, in the order yyyy, yy, mmm, mm, ddd,
/// dd, by the parts of Today, or by "?" runs in wildcard mode. Tokens are
/// lower case; each replacement keeps the token's length.
QString ExpandDateTokens(const QString& Path, bool Wildcards, const DateVal& Today);

/// Today's run log file: LogFile with its tokens expanded by the clock's date.
QString ExpandDateTokens(const QString& Path, bool Wildcards);

/// The run log line for Text at moment At: "(Dummy Run) " in a dummy run,
/// the date in gDateFmtLong, two blanks, hh:mm:ss, a blank and Text with its
/// TABs turned into blanks, and each of its line ends (CR LF, LF or CR) into
/// one blank, so a line of the log is always one line.
QString RunLogLine(const QString& Text, const DateVal& At);

/// Appends one run log line to today's file of LogFile. An empty LogFile means
/// the schedule keeps no run log: nothing is written. When the file cannot be
/// written, shows "Morvenda Cannot write to file " with the name and the
/// system's reason and ends the program (throws FatalStop).
void WriteLog(const QString& LogFile, const QString& Text);

/// While an object of this class lives, WriteLog keeps its lines in memory
/// (each with the moment and the file it was written for) instead of
/// appending each at once; FlushRunLog appends them, the lines of one file in
/// one open and one write. Its end flushes what is left. Batches nest.
class RunLogBatch {
public:
    RunLogBatch();
    /// Flushes (FlushRunLog, which may throw FatalStop unless a stop is
    /// already under way).
    ~RunLogBatch() noexcept(false);
    RunLogBatch(const RunLogBatch&) = delete;
    RunLogBatch& operator=(const RunLogBatch&) = delete;
};

/// The run log lines a RunLogBatch keeps (G owns them, so a fresh program
/// state has none): runs of lines for one file, in order.
struct PendingRunLog {
    int depth = 0;  ///< RunLogBatch objects alive
    struct Run {
        QString file;
        QStringList lines;
    };
    std::vector<Run> runs;
    /// The file name of the last line's second, so a pass's lines expand the
    /// log file's date tokens once.
    QString logFile;
    qint64 second = -1;
    QString expanded;
};

/// Appends the lines a RunLogBatch kept. When a file cannot be written, shows
/// "Morvenda Cannot write to file " and the name and ends the program (throws
/// FatalStop), as WriteLog does; the lines of other files are written first,
/// and those not written wait in memory, first in line for the next write.
void FlushRunLog();

/// Writes the run log lines kept in memory, as FlushRunLog, but says nothing
/// and goes on when they cannot be written (they wait on); false then. For
/// a program already stopping.
bool FlushRunLogQuietly();

/// Logs Reason (when there is a run log), shows it, logs and shows
/// "MRV999 Morvenda closing down" and ends the program by throwing FatalStop.
/// The reason is always shown, even when the run log cannot be written.
[[noreturn]] void FatalClose(const QString& Reason);

/// Adds Text to the progress list, dropping its oldest lines so that it holds
/// at most 500; returns the row of the new line (the window selects it).
int AddLogListLine(QStringListModel& List, const QString& Text);

/// Adds Text to the execution window's progress list when it is open.
void AddLogListLine(const QString& Text);

/// WriteLog(LogFile, Text), then AddLogListLine(Text).
void LogAndList(const QString& LogFile, const QString& Text);

/// Most lines the progress list keeps.
inline constexpr int kProgListMax = 500;
