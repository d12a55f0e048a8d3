#include "morvenda/core/launcher.h"

#include "platform/process.h"

namespace {

ProcessStamp StampOf(const ProcessInfo& ProcInfo) {
    return ProcessStamp{static_cast<pid_t>(ProcInfo.dwProcessId), static_cast<std::uint32_t>(ProcInfo.hProcess)};
}

}  // namespace

bool StartProcess(const QString& CmdLine, ProcessInfo& ProcInfo, QString* Error) {
    ProcessStamp started;
    if (!LaunchProcess(CmdLine, &started, Error))
        return false;
    ProcInfo.dwProcessId = static_cast<std::int32_t>(started.pid);
    ProcInfo.dwThreadId = static_cast<std::int32_t>(started.pid);
    ProcInfo.hProcess = static_cast<std::int32_t>(started.startTime);
    ProcInfo.hThread = 0;
    return true;
}

bool JobWindowGone(const ProcessInfo& ProcInfo) {
    if (ProcInfo.dwProcessId <= 0)
        return true;
    return !ProcessRunning(StampOf(ProcInfo));
}

JobEnding JobExitStatus(const ProcessInfo& ProcInfo) {
    ProcessExit e;
    if (ProcInfo.dwProcessId > 0)
        e = ProcessExitStatus(StampOf(ProcInfo));
    if (e.succeeded())
        return JobEnding{true, QString()};
    return JobEnding{false, ExitStatusText(e)};
}
