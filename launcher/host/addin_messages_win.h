#pragma once
#include <cstdint>

struct LauncherState;

// Sends the add-in its synchronous messages, in their fixed order, with the host
// calls that stand between them. `languageByte` was read before the add-in started.
void SendAddInMessages(LauncherState& state, uint8_t languageByte);
