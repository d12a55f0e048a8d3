#pragma once

#include "mrvchap/keynotation.h"
#include "mrvchap/script.h"

#include <QList>
#include <QString>

// Playing a loaded script against another program's windows. What the runner
// touches outside itself goes through small interfaces (the window system,
// the key sender, the lock, time and the window it runs in), so it can be
// driven by fakes as well as by the X display.

/// A window as the searches see it: its id, its owner (the process that made
/// it, or the X client when the window names no process), its text (its name)
/// and, for top-level windows, whether it is shown and whether it can take
/// keys (not held under a modal dialog, not refusing input).
struct ChapWindow {
    quint64 id = 0;
    qint64 owner = 0;
    QString text;
    bool shown = true;
    bool enabled = true;
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    /// Every window of the display, top-level windows and the windows inside
    /// them, the top-level windows from the top of the stacking order down.
    virtual QList<ChapWindow> allWindows() = 0;
    /// The top-level windows of the programs, top of the stacking order first.
    virtual QList<ChapWindow> topWindows() = 0;
    /// Brings Window to the front with the keyboard focus; true once it has it.
    virtual bool activate(quint64 Window) = 0;
    /// False (with *Why) when there are no windows to search at all (no display).
    virtual bool available(QString* Why) = 0;
};

/// Sends keys to the window that has the keyboard focus.
class KeySender {
public:
    virtual ~KeySender() = default;
    /// Returns once the display has taken every key; false with *Error set
    /// when the keys could not be sent.
    virtual bool send(const QList<KeyStroke>& Keys, QString* Error) = 0;
};

/// The lock file that chaperones share while they type.
class ScriptLock {
public:
    enum class Result { Locked, Busy, Missing };
    virtual ~ScriptLock() = default;
    /// Takes the lock on Path without waiting. Missing (with *Error) when the
    /// file cannot be opened.
    virtual Result tryLock(const QString& Path, QString* Error) = 0;
    /// Releases the lock when held.
    virtual void unlock() = 0;
};

/// Time for the runner: a monotonic count and pauses during which the
/// program's windows stay alive.
class RunTime {
public:
    virtual ~RunTime() = default;
    virtual qint64 elapsedMs() = 0;
    virtual void sleep(int Ms) = 0;
    virtual void processEvents() = 0;
};

/// What the runner asks of the chaperone's own window.
class RunnerHost {
public:
    virtual ~RunnerHost() = default;
    virtual void clearClipboard() = 0;
    /// Opens a document or starts a program.
    virtual void exec(const QString& Target) = 0;
    virtual void setOnTop(bool OnTop) = 0;
    /// The operator confirmed Cancel while the script ran.
    virtual bool cancelRequested() = 0;
};

/// Ends the chaperone: Message (when not empty) is shown in an error box, then
/// the program ends with Status.
struct ChapStop {
    explicit ChapStop(QString Message = QString(), int Status = 1, QString MissingLock = QString())
        : message(std::move(Message)), status(Status), missingLock(std::move(MissingLock)) {}
    QString message;
    int status = 1;
    /// The lock file that a lockfile command named and that does not exist
    /// ("" for every other end).
    QString missingLock;
};

/// Pauses shorter than this are taken as this long, so that no wait loop
/// spins.
constexpr int kMinPollMs = 100;

/// The window searches: texts of every window or titles of top-level windows,
/// never a window of the chaperone itself; once one window has matched, only
/// windows of its owner.
class WindowFinder {
public:
    /// Own: the owners that stand for the chaperone itself (its process and
    /// its X client).
    WindowFinder(WindowSystem& Windows, QList<qint64> Own) : ws_(Windows), own_(std::move(Own)) {}
    /// True when a window's text contains Text (letter case counts, at most the
    /// first 254 characters of a text are seen; an empty Text matches any text).
    bool FindWindowText(const QString& Text);
    /// As FindWindowText over the titles of top-level windows.
    bool FindWindowTitle(const QString& Title);
    /// Activates the first top-level window, from the top of the stacking
    /// order, that is shown, enabled and of the target's owner.
    bool ActivateTargetWindow();
    /// False (with *Why) when no window can be searched for.
    bool available(QString* Why) { return ws_.available(Why); }

    /// The owner of the first window found; 0 until then.
    qint64 gTargetThread = 0;
    quint64 foundWindow = 0;

private:
    bool find(const QList<ChapWindow>& Windows, const QString& Text);

    WindowSystem& ws_;
    QList<qint64> own_;
};

/// Every "{parm1}" to "{parm5}" of Row (any letter case) replaced by its
/// parameter, in one pass: a parameter's own text is never searched again.
QString SubstituteParms(const QString& Row, const QString (&Parms)[5]);

/// Seconds as milliseconds, rounded, held between 0 and 2^31 - 1.
int SecondsToMs(const QString& Value);

class ScriptRunner {
public:
    ScriptRunner(const LoadedScript& Script, DiagList& Diag, WindowFinder& Finder, KeySender& Keys, ScriptLock& Lock,
                 RunTime& Time, RunnerHost& Host)
        : s_(Script), diag_(Diag), finder_(Finder), keys_(Keys), lock_(Lock), time_(Time), host_(Host) {}

    /// Plays the script with the parameters; returns at its end or at exit.
    /// Throws ChapStop for every fatal end, the lock released; a row of keys
    /// that cannot be read stops the run before anything is typed.
    void RunScript(const QString (&Parms)[5]);

    /// Run state, for the window and the tests.
    int delayMs = 0;
    int timeoutMs = 0;
    bool found = false;
    bool windowSpecified = false;
    bool validateOnly = false;
    QString lockFile;

private:
    /// Reads every row of keys that a run can reach, with the parameters put
    /// in, as sending reads it; throws ChapStop with the invalid-keystrokes
    /// message for the first row it refuses (that row made current). Rows no
    /// run reaches (after exit, jumped over) are not read.
    void CheckKeys(const QString (&Parms)[5]);
    void command(int& Row, const ScriptCommand& C, QString& Keys, bool& Skip, bool& Exit);
    void waitFor(int Row, const ScriptCommand& C, bool Text);
    void sendKeys(const QString& Keys);
    void checkCancel();
    int pause() const { return qMax(delayMs, kMinPollMs); }

    const LoadedScript& s_;
    DiagList& diag_;
    WindowFinder& finder_;
    KeySender& keys_;
    ScriptLock& lock_;
    RunTime& time_;
    RunnerHost& host_;
    bool warned_ = false;
};
