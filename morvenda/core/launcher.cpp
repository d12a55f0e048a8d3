#include "morvenda/core/launcher.h"

#include "morvenda/core/state.h"
#include "platform/children.h"
#include "platform/keepers.h"
#include "platform/start.h"

namespace {

ProcessStamp StampOf(const ProcessInfo& ProcInfo) {
    return ProcessStamp{static_cast<pid_t>(ProcInfo.dwProcessId), static_cast<std::uint32_t>(ProcInfo.hProcess)};
}

}  // namespace

bool StartProcess(const QString& CmdLine, ProcessInfo& ProcInfo, QString* Error) {
    ProcessStamp started;
    if (!LaunchProcess(CmdLine, &started, Error)) return false;
    ProcInfo.dwProcessId = static_cast<std::int32_t>(started.pid);
    ProcInfo.dwThreadId = static_cast<std::int32_t>(started.pid);
    ProcInfo.hProcess = static_cast<std::int32_t>(started.startTime);
    ProcInfo.hThread = 0;
    return true;
}

bool JobWindowGone(const ProcessInfo& ProcInfo) {
    if (ProcInfo.dwProcessId <= 0) return true;
    if (ProcInfo.hThread > 0)
        return !KeptProcessRunning(JobEndsFolder(), StampOf(ProcInfo), static_cast<pid_t>(ProcInfo.hThread));
    return !ProcessRunning(StampOf(ProcInfo));
}

JobEnding JobExitStatus(const ProcessInfo& ProcInfo) {
    ProcessExit e;
    if (ProcInfo.dwProcessId > 0 && ProcInfo.hThread > 0)
        e = KeptExit(JobEndsFolder(), StampOf(ProcInfo));
    else if (ProcInfo.dwProcessId > 0)
        e = ProcessExitStatus(StampOf(ProcInfo));
    if (e.succeeded()) return JobEnding{true, QString()};
    return JobEnding{false, ExitStatusText(e), e.how == ProcessExit::How::NotStarted};
}

bool JobSubmissionSettled(const ProcessInfo& ProcInfo) {
    if (ProcInfo.dwProcessId <= 0 || ProcInfo.hThread <= 0) return true;
    return JobWindowGone(ProcInfo) || KeptProgramStarted(StampOf(ProcInfo), static_cast<pid_t>(ProcInfo.hThread));
}

QString JobEndsFolder() { return G.gSchedFile + QStringLiteral(".ends"); }

bool PrepareJob(const QString& CmdLine, ProcessInfo& ProcInfo, HeldJob& Held, QString* Error) {
    if (!LaunchHeld(CmdLine, JobEndsFolder(), &Held.Held, Error)) return false;
    ProcInfo.dwProcessId = static_cast<std::int32_t>(Held.Held.stamp.pid);
    ProcInfo.dwThreadId = static_cast<std::int32_t>(Held.Held.stamp.pid);
    ProcInfo.hProcess = static_cast<std::int32_t>(Held.Held.stamp.startTime);
    ProcInfo.hThread = static_cast<std::int32_t>(Held.Held.keeper);
    return true;
}

bool ReleaseJob(HeldJob& Held, QString* Error) { return ReleaseHeld(&Held.Held, Error); }

void AbandonJob(HeldJob& Held) { AbandonHeld(&Held.Held); }

qint64 JobEndedAt(const ProcessInfo& ProcInfo) {
    qint64 at = 0;
    if (ProcInfo.dwProcessId > 0 && ProcInfo.hThread > 0) KeptExit(JobEndsFolder(), StampOf(ProcInfo), &at);
    return at;
}

void ForgetJobEnding(const ProcessInfo& ProcInfo) {
    if (ProcInfo.dwProcessId > 0 && ProcInfo.hThread > 0) RemoveKeptExit(JobEndsFolder(), StampOf(ProcInfo));
}

qint64 JobStartMoment(const ProcessInfo& ProcInfo) {
    if (ProcInfo.dwProcessId <= 0) return 0;
    return ProcessStartMoment(static_cast<std::uint32_t>(ProcInfo.hProcess));
}
