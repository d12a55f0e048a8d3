#include "mrvchap/runner.h"

#include "tests/support/testing.h"
#include "tests/support/textfiles.h"

#include <gtest/gtest.h>

#include <QFile>

#include <functional>

namespace {

constexpr qint64 kOwnPid = 999;
constexpr qint64 kOwnClient = -77;  // a window of the chaperone's X client without a pid

// A display whose windows appear at set moments of the fake time.
struct FakeWindow {
    ChapWindow w;
    qint64 appearsAtMs = 0;
    bool topLevel = true;
    qint64 shownAtMs = 0;
};

constexpr bool kPayRun = true;

struct FakeWorld : WindowSystem, KeySender, ScriptLock, RunTime, RunnerHost {
    FakeWorld() = default;
    /// With the window "Pay Run" of process 10 there from the start.
    explicit FakeWorld(bool PayRun) {
        if (PayRun) addWindow(1, 10, "Pay Run");
    }
    // The display.
    QList<FakeWindow> windows;
    int searches = 0;
    bool activationWorks = true;
    quint64 focus = 0;
    QList<ChapWindow> present(bool topOnly) const {
        QList<ChapWindow> out;
        for (const FakeWindow& f : windows)
            if (f.appearsAtMs <= now && (f.topLevel || !topOnly)) {
                out.append(f.w);
                out.back().shown = f.w.shown && now >= f.shownAtMs;
            }
        return out;
    }
    QList<ChapWindow> allWindows() override {
        ++searches;
        return present(false);
    }
    QList<ChapWindow> topWindows() override {
        ++searches;
        return present(true);
    }
    bool display = true;
    bool available(QString* Why) override {
        if (!display) *Why = S("no display");
        return display;
    }
    bool activate(quint64 Window) override {
        if (activationWorks) focus = Window;
        return activationWorks;
    }
    // Keys: what was typed, with the window that had the focus and whether
    // the lock was held.
    QStringList typed;
    bool send(const QList<KeyStroke>& Keys, QString*) override {
        QString t;
        for (const KeyStroke& k : Keys) t += k.name.isEmpty() ? QString::fromUcs4(&k.ch, 1) : u'<' + k.name + u'>';
        typed << QStringLiteral("%1@%2%3").arg(t).arg(focus).arg(locked ? QStringLiteral(" locked") : QString());
        return true;
    }
    // The lock: busy for the first busyTries tries.
    int busyTries = 0;
    bool locked = false;
    QStringList lockEvents;
    Result tryLock(const QString& Path, QString*) override {
        lockEvents << QStringLiteral("try ") + Path;
        if (busyTries > 0) {
            --busyTries;
            return Result::Busy;
        }
        locked = true;
        return Result::Locked;
    }
    void unlock() override {
        if (locked) lockEvents << QStringLiteral("unlock");
        locked = false;
    }
    // Time.
    qint64 now = 0;
    QList<int> sleeps;
    qint64 elapsedMs() override { return now; }
    void sleep(int Ms) override {
        sleeps << Ms;
        now += Ms;
        if (cancelAtMs >= 0 && now >= cancelAtMs) cancel = true;
    }
    void processEvents() override {}
    // The chaperone's window.
    QStringList hostEvents;
    bool cancel = false;
    qint64 cancelAtMs = -1;
    void clearClipboard() override { hostEvents << QStringLiteral("clear clipboard"); }
    void exec(const QString& Target) override { hostEvents << QStringLiteral("exec ") + Target; }
    void setOnTop(bool OnTop) override {
        hostEvents << (OnTop ? QStringLiteral("on top") : QStringLiteral("not on top"));
    }
    bool cancelRequested() override { return cancel; }

    void addWindow(quint64 id, qint64 owner, const char* text, qint64 at = 0, bool top = true, bool shown = true) {
        windows.append({{id, owner, S(text), shown}, at, top});
    }
};

struct Outcome {
    bool stopped = false;
    ChapStop stop;
};

// Loads and plays a script in one world; the diagnostics list and the run
// state stay for the test to read.
class Played {
public:
    Played(FakeWorld& World, const char* Lines, const QString (&Parms)[5] = kNoParms)
        : Played(World, Rows(Lines), Parms) {}
    Played(FakeWorld& World, const QStringList& Lines, const QString (&Parms)[5] = kNoParms,
           const std::function<void(DiagList&)>& BeforeRun = {})
        : finder(World, {kOwnPid, kOwnClient}), runner(script, diag, finder, World, World, World, World) {
        script = CheckScript(Lines, diag);
        EXPECT_FALSE(script.error) << diag.shown().join(u'\n').toStdString();
        if (BeforeRun) BeforeRun(diag);
        try {
            runner.RunScript(Parms);
        } catch (const ChapStop& s) {
            out.stopped = true;
            out.stop = s;
        }
    }
    static inline const QString kNoParms[5];
    DiagList diag;
    LoadedScript script;
    WindowFinder finder;
    ScriptRunner runner;
    Outcome out;
};

TEST(ScriptRunner, JumpsFollowTheSearches) {
    struct Case {
        const char* what;
        const char* lines;
        const char* typed;
    };
    const Case cases[] = {
        {"notfound jumps when no title holds the word in that letter case",
         "[waitforwindowtitle Pay]|[checkforwindowtitle notepad]|[notfound no]|yes|[goto end]|[label no]|no|[label "
         "end]",
         "no@1"},
        {"found jumps when one does",
         "[waitforwindowtitle Pay]|[checkforwindowtitle Pay]|[found yes]|no|[exit]|[label yes]|yes|[exit]|after exit",
         "yes@1"},
        {"a text search sees windows inside the top-level ones",
         "[checkforwindowtext Ready]|[found yes]|[exit]|[label yes]|[waitforwindowtext Ready]|ok", "ok@1"},
        {"skip leaves out rows up to noskip", "[waitforwindowtitle Pay]|[skip]|skipped|[noskip]|kept", "kept@1"},
    };
    for (const Case& c : cases) {
        FakeWorld world(kPayRun);
        world.addWindow(2, 10, "Ready for input", 0, false);
        Played run(world, c.lines);
        EXPECT_FALSE(run.out.stopped) << c.what << ": " << run.out.stop.message.toStdString();
        EXPECT_EQ(world.typed, Rows(c.typed)) << c.what;
    }
}

TEST(ScriptRunner, AnUnreadableRowOfKeysStopsTheRunBeforeAnyIsTyped) {
    struct Case {
        const char* what;
        const char* lines;
        const char* refused;  // the keys of the message; "" when the run goes through
    };
    const Case cases[] = {
        {"an unknown key name on the last row", "[waitforwindowtitle Pay]|abc|{ENTER}|x{FOO}", "x{FOO}"},
        {"a parameter that makes a row unreadable", "[waitforwindowtitle Pay]|ok|{parm1}", "a{"},
        {"a row the runner never reaches in skip mode is not read", "[waitforwindowtitle Pay]|ok|[skip]|{FOO}|[noskip]",
         ""},
        {"the runner's command rule: a row with a command in front is no keys",
         "[waitforwindowtitle Pay]|[rem x] {FOO}|ok", ""},
        {"a row after exit is never reached", "[waitforwindowtitle Pay]|ok|[exit]|{FOO}", ""},
        {"a row that a goto jumps over is never reached", "[waitforwindowtitle Pay]|[goto on]|{FOO}|[label on]|ok", ""},
        {"a row that only a goto reaches is read", "[waitforwindowtitle Pay]|[goto bad]|ok|[exit]|[label bad]|x{FOO}",
         "x{FOO}"},
        {"a row that a conditional jump may reach is read, whatever this run's search finds",
         "[waitforwindowtitle Pay]|[checkforwindowtitle Absent]|[found bad]|ok|[exit]|[label bad]|x{FOO}", "x{FOO}"},
    };
    const QString parms[5] = {S("a{")};
    for (const Case& c : cases) {
        FakeWorld world(kPayRun);
        Played run(world, c.lines, parms);
        if (*c.refused) {
            EXPECT_TRUE(world.typed.isEmpty()) << c.what;
            ASSERT_TRUE(run.out.stopped) << c.what;
            EXPECT_EQ(run.out.stop.message,
                      S("MRVChap - Critical error: The following keystrokes are invalid:  \"") + S(c.refused) + u'"')
                << c.what;
            EXPECT_EQ(run.diag.row(run.diag.current()), Rows(c.lines).last()) << c.what;
        } else {
            EXPECT_FALSE(run.out.stopped) << c.what << run.out.stop.message.toStdString();
            EXPECT_EQ(world.typed, QStringList{S("ok@1")}) << c.what;
        }
    }
}

TEST(ScriptRunner, WaitsMarkTheirRowAndTimeOut) {
    struct Case {
        const char* what;
        const char* lines;
        qint64 appearsAt;     // of the "Pay Run" window; -1 never
        const char* message;  // "" when the wait succeeds
        const char* row;      // the wait's row afterwards
        qint64 endsAt;        // fake time at the end
    };
    const QString timedOut = S("MRVChap - Critical error (Timeout waiting for window ");
    const Case cases[] = {
        {"found at once", "[waitforwindowtitle Pay]", 0, "", "[waitforwindowtitle Pay] - Found", 0},
        {"found after three polls", "[delay 1]|[waitforwindowtitle Pay]", 2500, "",
         "[waitforwindowtitle Pay] - ...Found", 3000},
        {"timeout 30 with delay 1 gives up after 30 seconds", "[timeout 30]|[delay 1]|[waitforwindowtitle Pay]", -1,
         "title \"Pay\"", nullptr, 30000},
        {"timeout with no delay still gives up, polling every 100 ms", "[timeout 1]|[waitforwindowtext \"Pay Run\"]",
         -1, "text \"Pay Run\"", nullptr, 1000},
        {"a timeout shorter than the delay ends after one delay", "[timeout 0.5]|[delay 2]|[waitforwindowtitle Pay]",
         -1, "title \"Pay\"", nullptr, 2000},
    };
    for (const Case& c : cases) {
        FakeWorld world;
        if (c.appearsAt >= 0) world.addWindow(1, 10, "Pay Run", c.appearsAt);
        Played run(world, c.lines);
        EXPECT_EQ(run.out.stop.message, *c.message ? timedOut + S(c.message) : QString()) << c.what;
        EXPECT_EQ(run.out.stopped, *c.message != 0) << c.what;
        if (c.row) {
            EXPECT_EQ(run.diag.row(static_cast<int>(Rows(c.lines).size()) - 1), S(c.row)) << c.what;
        }
        EXPECT_EQ(world.now, c.endsAt) << c.what;
        for (int ms : world.sleeps) EXPECT_GE(ms, kMinPollMs) << c.what;
    }
    // With no delay and no timeout the wait polls on, at the least interval,
    // until the window comes; its row stays short however long it waits.
    FakeWorld world;
    world.addWindow(1, 10, "Pay Run", 60000);
    Played run(world, "[waitforwindowtitle Pay]");
    EXPECT_FALSE(run.out.stopped);
    EXPECT_EQ(world.searches, 601);
    EXPECT_LE(run.diag.row(0).size(), 110);
    EXPECT_TRUE(run.diag.row(0).endsWith(S("Found")));
}

TEST(ScriptRunner, TheTargetIsPinnedAtTheFirstMatch) {
    FakeWorld world;
    world.addWindow(5, kOwnPid, "Pay Run - MRVChap");  // the chaperone's own window
    world.addWindow(6, kOwnPid, "OK", 0, false);
    world.addWindow(1, 10, "Pay Run");
    world.addWindow(2, 20, "Ledger");
    world.addWindow(3, 10, "Pay Run options", 0, true, false);  // not shown: never activated
    Played run(
        world,
        "[waitforwindowtitle Pay]|[checkforwindowtitle Ledger]|[found other]|[checkforwindowtext OK]|[found own]|"
        "a|[exit]|[label other]|other|[exit]|[label own]|own");
    EXPECT_FALSE(run.out.stopped) << run.out.stop.message.toStdString();
    EXPECT_EQ(run.finder.gTargetThread, 10);
    EXPECT_EQ(world.typed, QStringList{S("a@1")});

    // A text search never matches the chaperone's own windows, even first.
    FakeWorld own;
    own.addWindow(6, kOwnPid, "OK", 0, false);
    own.addWindow(9, kOwnClient, "OK");
    Played first(own, "[timeout 1]|[waitforwindowtext OK]");
    EXPECT_TRUE(first.out.stop.message.contains(S("Timeout waiting for window text")));
    EXPECT_EQ(first.finder.gTargetThread, 0);

    // An empty search text matches the first window with any text; texts
    // are seen up to 254 characters.
    FakeWorld longText;
    longText.addWindow(7, 30, "", 0, false);
    longText.addWindow(8, 30, (QByteArray(254, 'x') + "TAIL").constData(), 0, false);
    Played empty(longText, "[checkforwindowtext TAIL]|[found bad]|[waitforwindowtext]|k|[exit]|[label bad]");
    EXPECT_EQ(empty.finder.foundWindow, 8u);
    EXPECT_EQ(longText.typed, QStringList{});  // window 8 is no top-level window to activate
    EXPECT_EQ(empty.out.stop.message, S("MRVChap - Critical error: Cannot find window for keystrokes: k"));
}

TEST(ScriptRunner, KeysNeedAWindowValidKeysAndTheLock) {
    struct Case {
        const char* what;
        const char* lines;
        const char* message;
        const char* typed;
    };
    const char* noWindow = "MRVChap - Critical error: Keystrokes cannot be sent until a window has been specified.";
    const Case cases[] = {
        {"keys before any wait", "abc", noWindow, ""},
        {"paste is keys too", "[paste]", noWindow, ""},
        {"a successful check is not a wait", "[checkforwindowtitle Pay]|abc", noWindow, ""},
        {"invalid keys are refused before the lock is taken", "[waitforwindowtitle Pay]|ab{c",
         "MRVChap - Critical error: The following keystrokes are invalid:  \"ab{c\"", ""},
        {"copy and paste", "[waitforwindowtitle Pay]|[copy]|[paste]", "", "c@1|v@1"},
    };
    for (const Case& c : cases) {
        FakeWorld world(kPayRun);
        Played run(world, c.lines);
        EXPECT_EQ(run.out.stop.message, S(c.message)) << c.what;
        EXPECT_EQ(world.typed, Rows(c.typed)) << c.what;
        EXPECT_FALSE(world.locked) << c.what;
    }

    // A busy lock is tried again after each delay; it is held around the
    // activation and the keys, and let go after the pause that follows them.
    TempDir dir;
    const QString file = dir.write(S("chap.Lck"), "");
    FakeWorld world(kPayRun);
    world.busyTries = 2;
    Played run(world, QStringList{S("[lockfile ") + file + u']'} + Rows("[delay 0.3]|[waitforwindowtitle Pay]|x"));
    EXPECT_FALSE(run.out.stopped) << run.out.stop.message.toStdString();
    EXPECT_EQ(world.typed, QStringList{S("x@1 locked")});
    EXPECT_EQ(world.lockEvents, (QStringList{S("try ") + file, S("try ") + file, S("try ") + file, S("unlock")}));
    EXPECT_EQ(world.sleeps, (QList<int>{300, 300, 300, 200}));

    // A window found before it is shown gets a moment to come up.
    FakeWorld late(kPayRun);
    late.windows[0].shownAtMs = 700;
    Played waited(late, "[waitforwindowtitle Pay]|x");
    EXPECT_FALSE(waited.out.stopped) << waited.out.stop.message.toStdString();
    EXPECT_EQ(late.typed, QStringList{S("x@1")});

    // A window that cannot be activated ends the run with the lock let go.
    FakeWorld stuck(kPayRun);
    stuck.activationWorks = false;
    Played blocked(stuck, QStringList{S("[lockfile ") + file + u']'} + Rows("[waitforwindowtitle Pay]|x~"));
    EXPECT_EQ(blocked.out.stop.message, S("MRVChap - Critical error: Cannot find window for keystrokes: x~"));
    EXPECT_EQ(stuck.lockEvents, (QStringList{S("try ") + file, S("unlock")}));
    EXPECT_FALSE(stuck.locked);

    // A lock file removed after loading ends the run at once.
    FakeWorld gone(kPayRun);
    const QString removed = dir.write(S("gone.Lck"), "");
    Played missing(gone, {S("[waitforwindowtitle Pay]"), S("[lockfile ") + removed + u']', S("x")}, Played::kNoParms,
                   [&](DiagList&) { QFile::remove(removed); });
    EXPECT_TRUE(missing.out.stopped);
    EXPECT_EQ(missing.out.stop.status, 1);
    EXPECT_TRUE(missing.diag.row(1).endsWith(S(" Lock file does not exist  ***************")));
    EXPECT_TRUE(gone.typed.isEmpty());
}

TEST(ScriptRunner, ParametersAreSubstitutedOnce) {
    const QString parms[5] = {S("{parm1}{PARM2}"), S("x"), S("three"), QString(), S("five")};
    struct Case {
        const char* row;
        const char* sent;
    };
    const Case cases[] = {
        {"abc{PARM2}", "abcx"},
        {"{parm4}end", "end"},  // a missing parameter is nothing
        {"{Parm5}{parm6}", "five{parm6}"},
        {"{parm1}", "{parm1}{PARM2}"},  // a parameter's own text is not searched again
        {"{parm3", "{parm3"},
    };
    for (const Case& c : cases) EXPECT_EQ(SubstituteParms(S(c.row), parms), S(c.sent)) << c.row;

    FakeWorld world(kPayRun);
    const QString sent[5] = {S("World"), S("{"), {}, {}, {}};
    Played run(world, "[waitforwindowtitle Pay]|Hello {parm1}+1{TAB}", sent);
    EXPECT_EQ(world.typed, QStringList{S("Hello World1<Tab>@1")});
    // The keys are checked after the parameters are put in.
    Played bad(world, "[waitforwindowtitle Pay]|x{parm2}", sent);
    EXPECT_EQ(bad.out.stop.message, S("MRVChap - Critical error: The following keystrokes are invalid:  \"x{\""));
}

TEST(ScriptRunner, WaitBoxesCancelAndWindowCommands) {
    FakeWorld world;
    ScriptedPrompter prompts;
    Played run(world, "[wait]|[wait Load the paper]|[ontop]|[notontop]|[clearclipboard]|[exec \"/opt/my app/run\"]");
    EXPECT_FALSE(run.out.stopped);
    ASSERT_EQ(prompts.messages.size(), 2);
    EXPECT_EQ(
        prompts.messages[0],
        S("Warning:  Using \"Wait\" may cause the target application to behave unexpectedly.\n\nPress OK to continue"));
    EXPECT_EQ(prompts.messages[1], S("Load the paper"));
    EXPECT_EQ(world.hostEvents,
              (QStringList{S("on top"), S("not on top"), S("clear clipboard"), S("exec /opt/my app/run")}));

    // Cancel at a wait box, or Cancel during a run, ends with a failure and no box.
    prompts.queueAnswer(MsgAnswer::Cancel);
    Played cancelled(world, "[wait]|[exec never]");
    EXPECT_TRUE(cancelled.out.stopped);
    EXPECT_EQ(cancelled.out.stop.status, 1);
    EXPECT_TRUE(cancelled.out.stop.message.isEmpty());

    // With no display a search ends the run at once instead of waiting for ever.
    FakeWorld dark;
    dark.display = false;
    Played blind(dark, "[waitforwindowtitle Pay]");
    EXPECT_EQ(blind.out.stop.message, S("MRVChap - Critical error: No windows to search (no display)"));
    EXPECT_EQ(dark.now, 0);

    FakeWorld waiting;
    waiting.cancelAtMs = 500;
    Played stopped(waiting, "[waitforwindowtitle Never]");
    EXPECT_TRUE(stopped.out.stopped);
    EXPECT_TRUE(stopped.out.stop.message.isEmpty());
    EXPECT_EQ(waiting.now, 500);
}

TEST(ScriptRunner, LogAndLongScripts) {
    TempDir dir;
    FakeClock clock(DateVal::fromDateTime(2026, 12, 8, 10, 0, 0));
    FakeWorld world;
    world.addWindow(1, 10, "Pay Run", 1000);
    // A script longer than the list shows: the rows run are still the script's.
    QStringList lines = Rows("[log]|[delay 1]|[goto start]") + QStringList(600, S("[rem filler]")) +
                        Rows("[label start]|[waitforwindowtitle Pay]|last");
    {
        Played run(world, lines, Played::kNoParms, [&](DiagList& diag) {
            EXPECT_EQ(diag.shown().size(), kMaxDiagRows);
            diag.logPath = dir.path(S("state/Morvenda/MRVChap.pay.log"));
        });
        EXPECT_FALSE(run.out.stopped) << run.out.stop.message.toStdString();
        EXPECT_EQ(world.typed, QStringList{S("last@1")});
        EXPECT_EQ(run.diag.row(604), S("[waitforwindowtitle Pay] - .Found"));
    }
    const QString log = QString::fromUtf8(dir.read(S("state/Morvenda/MRVChap.pay.log")));
    EXPECT_EQ(log, S("08 Dec 2026 10:00:00 Starting at 2026 Dec 08 10:00:00\r\n"
                     "08 Dec 2026 10:00:00  - \r\n"
                     "08 Dec 2026 10:00:00 Found\r\n"));
}

}  // namespace
