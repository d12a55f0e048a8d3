#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The dummy job program's command line: comma-separated keyword operands such
// as JN=PAYROLL,CL="run.sh a,b",F="DAILY",OTT=ON,RFS=60,RES=S,GO=Y. Reading it
// needs no window, so the window and the tests share this module.

/// One operand of the command line as written.
struct DummyOperand {
    /// The operand trimmed, as it stands in the command line (a field quoted
    /// as a whole without its quotes); shown when the operand is rejected.
    QString text;
    /// The text before the first "=", upper-cased.
    QString keyword;
    /// The text after the first "="; "" when there is none. A value quoted
    /// right after the "=" is given without its quotes, doubled quotes inside
    /// standing for one.
    QString value;
};

/// The operands of Line, left to right, up to the first empty one (an operand
/// of blanks counts as empty). Fields are separated by "," and may be quoted
/// with double quotes as the companion splitter GetField reads them; beyond
/// that, a quote right after the first "=" of a field opens a quoted value that
/// runs to its closing quote, so CL="a,b" arrives whole. Text between a closing
/// quote and the next "," is dropped; an unclosed quote runs to the end of the
/// line. Never fails.
QList<DummyOperand> SplitDummyOperands(const QString& Line);

/// How the dummy job ends when its run time is over.
enum class DummyResult { None, Succeed, Fail };

/// Run time used for a RUNFORSECS value outside 1..3600 (or not a number).
inline constexpr int kDefaultRunForSecs = 60;

/// What the operands ask of the dummy job.
struct DummyOperands {
    QString jobName;
    QString cmdLine;
    QString frequency;
    /// GO=YES (or an alias) was given last.
    bool go = false;
    /// The on-top timer runs after Go: an ONTOPTIMER operand other than OFF.
    bool onTopTimer = false;
    /// Seconds until the dummy ends by itself; 0 = no run time (wait for the operator).
    int runForSecs = 0;
    DummyResult result = DummyResult::None;
    /// Operands with an unknown keyword, or a GO or RESULT value that is not
    /// one of the known ones, as written.
    QStringList rejected;

    /// True when the dummy presses Go by itself: GO asked for it and no
    /// operand was rejected.
    bool startsAtOnce() const { return go && rejected.isEmpty(); }
};

/// Reads every operand of Line left to right (a later operand overrides an
/// earlier one). Bad operands never fail: they land in `rejected`.
DummyOperands ParseDummyCommandLine(const QString& Line);

/// The text shown for a result: "Succeed", "Fail" or "".
QString DummyResultText(DummyResult r);

/// The whole command line of this process: the environment variable
/// MRV_CMDLINE when MRV_CMDLINE_PID holds this process's own pid (the
/// scheduler's launcher sets both, so quotes and commas arrive as written and a
/// value meant for an ancestor is never taken), else Args (the arguments after
/// the program name) joined with blanks.

/// The text of the error window for run-time error Number (5 or 13), e.g.
/// "Run-time error '13': Type mismatch"; it holds the words the scheduler
/// looks for in a failed job's windows.
QString RunTimeErrorText(int Number);
