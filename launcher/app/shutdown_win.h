#pragma once
// Ends what the launcher started. Safe to run more than once: every handle it frees
// is cleared.

// After a cancelled, refused or failed launch it also closes and quits the host and
// deletes the workspace files. A host that no longer answers raises _com_error here,
// before the files are deleted.
void ShutdownLauncher();

// The same at process exit, where nothing may escape: a host that no longer answers
// is left to itself and the files are still deleted.
void ShutdownLauncherAtExit();
