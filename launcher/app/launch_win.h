#pragma once
// The launch sequence: from the settings to a running host under the add-in's control.
// Failures meant for the user leave it as notice4user; a cancelled, refused or failed
// launch ends normally with the failed flag set. Always returns true.
bool LaunchApplication();
