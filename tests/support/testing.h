#pragma once

#include "common/clock.h"
#include "common/prompter.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <optional>
#include <ostream>

// Helpers for the tests: a clock the test sets, a prompter that answers from a
// script and records every text, temporary folders and files.

/// A clock that shows whatever the test sets. Installs itself while alive.
/// Its zone is UTC unless the test gives another (setZone), so by default
/// wall-clock and real time run alike.
class FakeClock : public Clock {
public:
    explicit FakeClock(DateVal at = DateVal::fromDateTime(2026, 12, 8, 10, 0, 0));
    ~FakeClock() override;
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    DateVal now() const override { return WallOf(real_, zone_); }
    qint64 nowReal() const override { return real_; }
    QTimeZone zone() const override { return zone_; }
    /// The first moment the zone's clocks show At.
    void set(DateVal at) { real_ = RealOf(at, zone_).first; }
    /// A real moment (seconds since 1970).
    void setReal(qint64 real) { real_ = real; }
    /// Real seconds pass (the wall clock follows, changes included).
    void advance(qint64 seconds) { real_ += seconds; }
    /// Another zone; the wall clock keeps its time.
    void setZone(const QTimeZone& zone) {
        const DateVal wall = now();
        zone_ = zone;
        set(wall);
    }

private:
    qint64 real_ = 0;
    QTimeZone zone_ = QTimeZone::utc();
};

/// A prompter that records every message and input prompt and answers from
/// queued answers; with none queued it answers the first button (Ok, Yes,
/// Retry) and inputs "". Installs itself while alive.
class ScriptedPrompter : public Prompter {
public:
    ScriptedPrompter();
    ~ScriptedPrompter() override;
    ScriptedPrompter(const ScriptedPrompter&) = delete;
    ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;

    MsgAnswer message(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) override;
    QString input(const QString& prompt, const QString& title, const QString& initial) override;

    void queueAnswer(MsgAnswer a) { answers_.push_back(a); }
    void queueInput(const QString& s) { inputs_.push_back(s); }

    /// Every message text shown, in order.
    QStringList messages;
    /// Every input prompt shown, in order.
    QStringList prompts;

private:
    std::deque<MsgAnswer> answers_;
    std::deque<QString> inputs_;
};

/// A temporary folder removed at the end of the test.
class TempDir {
public:
    TempDir();
    /// Path of a name inside the folder.
    QString path(const QString& name = QString()) const;
    /// Writes bytes to a file inside the folder (folders created); returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;
    /// Reads a file inside the folder (or any absolute path); "" when missing.
    QByteArray read(const QString& nameOrPath) const;

private:
    QTemporaryDir dir_;
};

/// Sets an environment variable for the life of the object, restoring the old value.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    QByteArray name_;
    std::optional<QByteArray> old_;
};

/// Copies the bundled demo installation (examples/demo) into Dir with every
/// "@BASE@" replaced by Dir's path, and makes the folders it leaves empty.
void InstallDemo(const TempDir& Dir);

/// Text literal for tests: QString from UTF-8.
inline QString S(const char* utf8) { return QString::fromUtf8(utf8); }

/// Readable test failures for texts and dates.
void PrintTo(const QString& s, std::ostream* os);
void PrintTo(const DateVal& d, std::ostream* os);
