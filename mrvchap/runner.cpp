#include "mrvchap/runner.h"

#include "common/clock.h"
#include "common/datetime.h"
#include "common/prompter.h"

#include <QFileInfo>

#include <cmath>
#include <limits>

namespace {

// The longest text of a window that a search sees.
constexpr int kMaxWindowText = 254;
// The pause after each send, for the target to take the keys in.
constexpr int kAfterSendMs = 200;
// How long a send waits for the target's window to be shown: an X program
// names its window before it maps it, so a wait can find a window that
// cannot take keys yet.
constexpr int kActivateWaitMs = 2000;

const QString kCritical = QStringLiteral("MRVChap - Critical error");

QString InvalidKeysMessage(const QString& Keys) {
    return kCritical + QStringLiteral(": The following keystrokes are invalid:  \"") + Keys + QLatin1Char('"');
}

QString Stamp() { return FormatDate(Now(), QStringLiteral("yyyy mmm dd hh:nn:ss")); }

// Holds the lock for one send and releases it however the send ends.
class LockHold {
public:
    explicit LockHold(ScriptLock& Lock) : lock_(Lock) {}
    ~LockHold() { release(); }
    LockHold(const LockHold&) = delete;
    LockHold& operator=(const LockHold&) = delete;
    void held() { held_ = true; }
    void release() {
        if (held_) lock_.unlock();
        held_ = false;
    }

private:
    ScriptLock& lock_;
    bool held_ = false;
};

// Per line of the script, whether a run can come to it: from the first line
// on, each line leads to the next, except that exit ends the run, goto goes on
// after its label, found and notfound may go either way (the windows at that
// moment decide), and skip goes on after the next "[noskip]" (none: the run
// ends there; the loader takes no label from the lines skipped, so no jump
// lands among them).
QList<bool> ReachableRows(const LoadedScript& Script) {
    const int count = static_cast<int>(Script.lines.size());
    // The first "[noskip]" after each line, found in one pass from the end,
    // so that many skips cost no more than one.
    QList<int> noSkipAfter(count, -1);
    for (int row = count - 2; row >= 0; --row)
        noSkipAfter[row] = IsNoSkip(Script.lines[row + 1]) ? row + 1 : noSkipAfter[row + 1];
    QList<bool> reached(count, false);
    QList<int> todo;
    // Each line is followed once, so a loop in the script ends the walk too.
    auto reach = [&](int row) {
        if (row >= 0 && row < count && !reached[row]) {
            reached[row] = true;
            todo.append(row);
        }
    };
    reach(0);
    while (!todo.isEmpty()) {
        const int row = todo.takeLast();
        const std::optional<ScriptCommand> c = ParseCommand(Script.lines[row]);
        const QString verb = c ? c->verb : QString();
        if (verb == u"exit") continue;
        if (verb == u"skip") {
            if (noSkipAfter[row] >= 0) reach(noSkipAfter[row] + 1);
            continue;
        }
        // A jump goes on after its label; one without a label (the loader
        // refuses such a script) goes on with the next line, as the runner does.
        const int target =
            verb == u"goto" || verb == u"found" || verb == u"notfound" ? Script.jumpTarget.value(row, -1) : -1;
        if (target >= 0) reach(target + 1);
        if (verb != u"goto" || target < 0) reach(row + 1);
    }
    return reached;
}

}  // namespace

bool WindowFinder::find(const QList<ChapWindow>& Windows, const QString& Text) {
    for (const ChapWindow& w : Windows) {
        if (own_.contains(w.owner) || (gTargetThread != 0 && w.owner != gTargetThread)) continue;
        const QString text = w.text.left(kMaxWindowText);
        if (text.isEmpty() || !text.contains(Text, Qt::CaseSensitive)) continue;
        if (gTargetThread == 0) gTargetThread = w.owner;
        foundWindow = w.id;
        return true;
    }
    return false;
}

bool WindowFinder::FindWindowText(const QString& Text) { return find(ws_.allWindows(), Text); }

bool WindowFinder::FindWindowTitle(const QString& Title) { return find(ws_.topWindows(), Title); }

bool WindowFinder::ActivateTargetWindow() {
    if (gTargetThread == 0) return false;
    for (const ChapWindow& w : ws_.topWindows()) {
        if (w.owner == gTargetThread && w.shown && w.enabled) return ws_.activate(w.id);
    }
    return false;
}

QString SubstituteParms(const QString& Row, const QString (&Parms)[5]) {
    QString out;
    out.reserve(Row.size());
    qsizetype i = 0;
    while (i < Row.size()) {
        if (Row[i] == u'{' && i + 7 <= Row.size() &&
            QStringView(Row).mid(i, 5).compare(u"{parm", Qt::CaseInsensitive) == 0 && Row[i + 5] >= u'1' &&
            Row[i + 5] <= u'5' && Row[i + 6] == u'}') {
            out += Parms[Row[i + 5].unicode() - '1'];
            i += 7;
        } else {
            out += Row[i++];
        }
    }
    return out;
}

int SecondsToMs(const QString& Value) {
    bool ok = false;
    const double ms = std::round(Value.trimmed().toDouble(&ok) * 1000.0);
    if (!ok || !(ms > 0)) return 0;
    constexpr double top = std::numeric_limits<int>::max();
    return ms >= top ? std::numeric_limits<int>::max() : static_cast<int>(ms);
}

void ScriptRunner::checkCancel() {
    if (host_.cancelRequested()) throw ChapStop{QString(), 1};
}

void ScriptRunner::CheckKeys(const QString (&Parms)[5]) {
    const QList<bool> reached = ReachableRows(s_);
    for (int row = 0; row < s_.lines.size(); ++row) {
        if (!reached[row] || ParseCommand(s_.lines[row])) continue;
        const QString keys = SubstituteParms(s_.lines[row], Parms);
        if (keys.isEmpty() || ParseKeys(keys).ok) continue;
        diag_.select(row);
        throw ChapStop{InvalidKeysMessage(keys), 1};
    }
}

void ScriptRunner::RunScript(const QString (&Parms)[5]) {
    lockFile = s_.lockFile;
    validateOnly = s_.validateOnly;
    // Every row of keys the run can reach is read before the first is typed:
    // a script that would stop on a bad row halfway has typed nothing when it
    // stops.
    CheckKeys(Parms);
    bool skip = false;
    bool exit = false;
    for (int row = 0; row < s_.lines.size() && !exit; ++row) {
        diag_.select(row);
        const QString& line = s_.lines[row];
        if (skip) {
            skip = !IsNoSkip(line);
            continue;
        }
        time_.processEvents();
        checkCancel();
        QString keys;
        if (const std::optional<ScriptCommand> c = ParseCommand(line))
            command(row, *c, keys, skip, exit);
        else
            keys = SubstituteParms(line, Parms);
        if (!keys.isEmpty() && !validateOnly) sendKeys(keys);
    }
}

void ScriptRunner::command(int& Row, const ScriptCommand& C, QString& Keys, bool& Skip, bool& Exit) {
    const QString& v = C.verb;
    if (v == u"validate") {
        validateOnly = true;
    } else if (v == u"log") {
        diag_.logging = !diag_.logging;
        diag_.LogDiag((diag_.logging ? QStringLiteral("Starting at ") : QStringLiteral("Ending at ")) + Stamp());
        diag_.select(Row);
    } else if (v == u"wait") {
        QString text;
        if (!warned_)
            text = QStringLiteral(
                "Warning:  Using \"Wait\" may cause the target application to behave "
                "unexpectedly.\n\n");
        warned_ = true;
        text += C.value.isEmpty() ? QStringLiteral("Press OK to continue") : C.value;
        if (MsgBox(text, MsgButtons::OkCancel, MsgIcon::None, QStringLiteral("MRVChap")) != MsgAnswer::Ok)
            throw ChapStop{QString(), 1};
    } else if (v == u"clearclipboard") {
        host_.clearClipboard();
    } else if (v == u"copy") {
        host_.clearClipboard();
        Keys = QStringLiteral("^c");
    } else if (v == u"paste") {
        Keys = QStringLiteral("^v");
    } else if (v == u"skip") {
        Skip = true;
    } else if (v == u"exec") {
        host_.exec(UnQuote(C.value));
    } else if (v == u"ontop" || v == u"notontop") {
        host_.setOnTop(v == u"ontop");
    } else if (v == u"goto" || (v == u"found" && found) || (v == u"notfound" && !found)) {
        // The loader refuses a script with an unknown label; a target is always there.
        if (s_.jumpTarget.value(Row, -1) >= 0) Row = s_.jumpTarget[Row];
    } else if (v == u"exit") {
        Exit = true;
    } else if (v == u"checkforwindowtext" || v == u"checkforwindowtitle" || v == u"waitforwindowtext" ||
               v == u"waitforwindowtitle") {
        // With no display at all nothing can ever be found: a wait without a
        // time limit would last for ever.
        QString why;
        if (!finder_.available(&why))
            throw ChapStop{kCritical + QStringLiteral(": No windows to search (") + why + u')', 1};
        if (v == u"checkforwindowtext")
            found = finder_.FindWindowText(UnQuote(C.value));
        else if (v == u"checkforwindowtitle")
            found = finder_.FindWindowTitle(UnQuote(C.value));
        else
            waitFor(Row, C, v == u"waitforwindowtext");
    } else if (v == u"lockfile") {
        lockFile = C.value.isEmpty() ? DefaultLockFile() : UnQuote(C.value);
        if (!QFileInfo::exists(lockFile)) {
            diag_.AppendDiag(QStringLiteral(" Lock file does not exist") + kErrorMark);
            throw ChapStop{QString(), 1, lockFile};
        }
    } else if (v == u"delay") {
        delayMs = SecondsToMs(C.value);
    } else if (v == u"timeout") {
        timeoutMs = SecondsToMs(C.value);
    }
    // rem, diag, label and anything the loader let through do nothing here.
}

void ScriptRunner::waitFor(int Row, const ScriptCommand& C, bool Text) {
    // A row run again through a jump starts without the marks of its last pass.
    const QString& line = s_.lines[Row];
    diag_.setRow(Row, line.left(line.indexOf(u']') + 1));
    const QString what = UnQuote(C.value);
    diag_.AppendDiag(QStringLiteral(" - "));
    const qint64 start = time_.elapsedMs();
    while (!(Text ? finder_.FindWindowText(what) : finder_.FindWindowTitle(what))) {
        time_.sleep(pause());
        diag_.AppendDiag(QStringLiteral("."));
        time_.processEvents();
        checkCancel();
        if (timeoutMs > 0 && time_.elapsedMs() - start >= timeoutMs)
            throw ChapStop{kCritical +
                               (Text ? QStringLiteral(" (Timeout waiting for window text ")
                                     : QStringLiteral(" (Timeout waiting for window title ")) +
                               QLatin1Char('"') + what + QLatin1Char('"'),
                           1};
    }
    diag_.AppendDiag(QStringLiteral("Found"));
    found = true;
    windowSpecified = true;
}

void ScriptRunner::sendKeys(const QString& Keys) {
    if (!windowSpecified)
        throw ChapStop{kCritical + QStringLiteral(": Keystrokes cannot be sent until a window has been specified."), 1};
    const KeyParse parsed = ParseKeys(Keys);
    if (!parsed.ok) throw ChapStop{InvalidKeysMessage(Keys), 1};
    LockHold hold(lock_);
    if (!lockFile.isEmpty()) {
        for (;;) {
            QString error;
            const ScriptLock::Result r = lock_.tryLock(lockFile, &error);
            if (r == ScriptLock::Result::Locked) break;
            if (r == ScriptLock::Result::Missing)
                throw ChapStop{kCritical + QStringLiteral(": Cannot open the lock file: ") + error, 1};
            time_.sleep(pause());
            checkCancel();
        }
        hold.held();
    }
    time_.sleep(delayMs);
    checkCancel();
    const qint64 start = time_.elapsedMs();
    while (!finder_.ActivateTargetWindow()) {
        if (time_.elapsedMs() - start >= kActivateWaitMs)
            throw ChapStop{kCritical + QStringLiteral(": Cannot find window for keystrokes: ") + Keys, 1};
        time_.sleep(kMinPollMs);
        checkCancel();
    }
    QString error;
    if (!keys_.send(parsed.keys, &error))
        throw ChapStop{
            kCritical + QStringLiteral(": Keystrokes could not be sent (") + error + QStringLiteral("): ") + Keys, 1};
    time_.sleep(kAfterSendMs);
    hold.release();
    checkCancel();
}
