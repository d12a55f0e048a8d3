#pragma once

// The tests the kick pass makes on the X windows of a running job: does one
// of them show a configured run-time error text, and asking them to close.
//
// A job's windows are the top-level X windows whose _NET_WM_PID is a process
// of the job's process group (the launcher starts each job in a group of its
// own, whose id is the job's pid). Their texts are the names of all the
// windows inside them, at every depth; the title of the top-level window
// itself is not compared (an error box's message is a window inside the box).
// Without an X display a job has no windows: its failure is then seen through
// its exit status.

/// Looks through the windows of job JobIndex (of G.Jobs) for one of the texts
/// of G.gRunTimeErrorText (items separated by "|", double quotes honoured, the
/// list ending at its first empty item), each compared with the upper-cased
/// window text. A job without a process id (0) is left as it is. Otherwise
/// WinFailed is cleared and, on the first match, set to 1, with WinErrorText
/// = the matching text trimmed, its line ends and other control characters as
/// blanks, cut to 100 characters, and JobWindow = the top-level window that
/// holds it. A pid now held by a process with another start time than the
/// job's is not the job: nothing is found. An index outside the table does
/// nothing.
void CheckJobWindows(int JobIndex);

/// While an object of this class lives (the kick pass holds one), the window
/// tests share one X connection, one list of the top-level windows with the
/// process group of each, and the texts read from each window, instead of
/// opening and listing the display for every running job. Nothing is opened
/// until a test needs it. Only one may live at a time.
class JobWindowPass {
public:
    JobWindowPass();
    ~JobWindowPass();
    JobWindowPass(const JobWindowPass&) = delete;
    JobWindowPass& operator=(const JobWindowPass&) = delete;
};

/// What CloseJobWindows did.
enum class JobCloseResult {
    Nothing,         ///< no process id, or nothing left to close or signal
    WindowsAsked,    ///< WM_DELETE_WINDOW sent to JobWindow and up its transient chain
    GroupSignalled,  ///< SIGTERM sent to the job's process group
};

/// Asks the windows of a failed job to close: WM_DELETE_WINDOW to its
/// JobWindow and each window up that window's WM_TRANSIENT_FOR chain, after
/// which JobWindow holds the last window asked. A job with no such window (0,
/// gone, or no longer one of the job's processes) or without an X display
/// gets SIGTERM to its process group instead (refused when the job's pid now
/// belongs to another process). The kick pass repeats this on every pass
/// while the job runs. An index outside the table does nothing.
JobCloseResult CloseJobWindows(int JobIndex);
