#pragma once
// userHost=<title>: the user's own host runs beside the one the launcher started, in a
// process of its own whose main window has the host's class and that title, as the
// user's Excel 2007 has when it shows the same caption. It opens as the loader is being
// opened, so its window lies in front of the started host's, where a search by class and
// title finds it first. It is ended with the host.
struct HostState;

// Starts it once, when the scenario asks for it, and waits until its window is there.
void StartUserHost(HostState& host);
// Ends it, when it was started, before the host journals its own end.
void EndUserHost();
// The process's life under /userhost: its window shown, every add-in message that reaches
// it journaled as `user host msg <number> <wParam> <lParam>`, until it is ended. Returns
// the exit code.
int RunAsUserHost();
