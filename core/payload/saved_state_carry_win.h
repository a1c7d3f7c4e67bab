#pragma once
// Work that reached the saved state by another way than the runtime's write at a save:
// the last save of a run that was killed before the runtime took it, or a state the
// runtime could not write at its place. Such work is carried into the state the way an
// update sets a state aside: the state that was there is kept beside it under its
// set-aside name, so that nothing the user had is overwritten.
#include <windows.h>

#include <cstdint>
#include <string>

// Replaces the state at `statePath` by `stateBytes` (a whole saved-state file), the state
// that was there first renamed to its free set-aside name. False, with the old state
// where it was, when either step fails.
bool CarryIntoState(const std::wstring& statePath, const std::string& stateBytes, uint32_t settingsMagic);

// Writes `stateBytes` to the recovery place of the state at `statePath`
// (RecoveryStatePath), as safely as the state itself. Its path, or empty when it could not
// be written.
std::wstring WriteRecoveryState(const std::wstring& statePath, const std::string& stateBytes);

// Carries the work into the state, or keeps it at the recovery place when the state's
// place cannot be written. Where the work now is; empty when nowhere.
std::wstring KeepWorkInState(const std::wstring& statePath, const std::string& stateBytes, uint32_t settingsMagic);

// The state a start reads: a recovery state of `place` that is newer than the state (or
// the only one) wins. With `carry` (the launcher, before the runtime reads the same) it
// is carried into the state and removed, and the state is read; where that fails it is
// read where it is. A recovery state older than the state is stale: `carry` removes it.
std::wstring StateToRead(const std::wstring& writePath, const std::wstring& readPath, uint32_t settingsMagic,
                         bool carry);

// True when the file at `path` was last written after the one at `than`, or `than` does
// not exist.
bool WrittenAfter(const std::wstring& path, const std::wstring& than);
