#pragma once
// Saved-state mode: the state follows the workbook wherever the user saves it. After a
// Save As to another folder every later save goes to the new file, and with AutoSave the
// host keeps the workbook in the cloud: a watch of the workspace's file alone would see no
// save again and end with a stale state. So at every look the runtime asks the host where
// the workbook is (FullName):
// - a file of the same format elsewhere: the state is taken from that file from now on,
//   at once (a Save As is a save) and at every later save;
// - a web address: the host's copy is no file the runtime can read; at each save (Saved
//   turning true) the host writes a copy into the workspace (SaveCopyAs), and the state is
//   taken from that;
// - another format: it is not followed (the next start writes the workbook under the
//   application's own extension, which the host would refuse to open); the state keeps
//   the last save in the application's format and the user is told so, once.
struct RuntimeState;

// From the watch, while the workbook is open and `saved` is its Saved. Raises _com_error
// when the host is busy; any other refusal leaves things as they were.
void FollowWorkbook(RuntimeState& state, bool saved);
