#pragma once
// What a rule that forbids the host to start processes would have stopped: every process
// still running whose parent is the host, journaled as the host ends.
struct HostState;

// children <count>, then child <executable name> for each.
void JournalChildProcesses(HostState& host);
