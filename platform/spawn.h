#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <vector>

// The part of starting a program that LaunchProcess (platform/start.h) and
// LaunchHeld (platform/keepers.h) share. Not for use outside platform/.

/// A program ready to start: everything the child needs is built before the
/// fork, since the child may not allocate.
struct LaunchPlan {
    QString shownName;  ///< the program as the command line names it
    QByteArray path;
    std::vector<QByteArray> args;
    std::vector<QByteArray> env;
    bool setPid = false;  ///< MRV_CMDLINE is set: MRV_CMDLINE_PID must be the child's pid
};

/// Splits cmdLine and finds its program (a name ending in ".exe" is tried
/// without it too) and the environment it gets, as LaunchProcess describes.
/// False, with *error (when given) as LaunchProcess gives it, for an empty
/// line or a program that cannot be found or run.
bool PlanLaunch(const QString& cmdLine, LaunchPlan* plan, QString* error);

/// Starts path with args and env in a process group of its own, stdin from
/// /dev/null. With pidVar the child's pid is written into an MRV_CMDLINE_PID
/// entry added to env; reportFd and goFd (or -1) become its descriptors 3 and
/// 4. Returns the pid, or 0 with *err the errno when the program could not be
/// started (the child is then reaped).
pid_t Spawn(const QByteArray& path, std::vector<QByteArray>& args, std::vector<QByteArray>& env, bool pidVar,
            int reportFd, int goFd, int* err);

/// "Cannot start \"<program>\": <the system's text for err>".
QString CannotStart(const QString& program, int err);
