#pragma once
// The user's session ends (log-off, shutdown) while the host runs, as Windows documents it:
// WM_QUERYENDSESSION to every top-level window, then WM_ENDSESSION to each, and once every
// application has returned from WM_ENDSESSION, every process of the session is ended,
// with nothing of theirs run any more.
struct HostState;

// logOffAfter=<ms>: that long after the packaged workbook opened, the session ends.
// Journal: session query <answer>, session end, session kill "<executable>" for each
// process ended, then session over (the host itself goes last). Processes of the system
// (their executable in the Windows folder) and those named in sessionSpares (executable
// names separated by '|', default driver.exe, the test's observer) are left running.
void ScheduleSessionEnd(HostState& host);

// Every process of the session ended at once, the host last, with no message first: as
// Windows ends the processes of a session whose applications do not answer in time, or a
// forced log-off or shutdown. Journal as above, from session kill on.
void EndEveryProcessOfTheSession(HostState& host);
