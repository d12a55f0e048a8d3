#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

// Our own programs started by the tests as real child processes.

/// The path of a program of this build: MRV_BUILD_DIR/bin/Name (the test
/// mains set MRV_BUILD_DIR).
QString BuiltProgram(const char* Name);

/// This process's environment for one of our programs, without the command
/// line an ancestor left for its own child (MRV_CMDLINE, MRV_CMDLINE_PID), with
/// each variable of Set given its value, or taken out when the value is null.
QProcessEnvironment ProgramEnvironment(const std::vector<std::pair<const char*, QString>>& Set);

/// Starts Program with Args in ProgramEnvironment(Env) and the output
/// channels Channels; a test failure when it did not start.
std::unique_ptr<QProcess> StartProgram(const QString& Program, const QStringList& Args,
                                       const std::vector<std::pair<const char*, QString>>& Env = {},
                                       QProcess::ProcessChannelMode Channels = QProcess::SeparateChannels);

/// Calls Step every EveryMs milliseconds of real time, sleeping first, until
/// it returns true or TimeoutMs have passed; whether it returned true.
bool PollUntil(const std::function<bool()>& Step, int TimeoutMs, int EveryMs = 100);
