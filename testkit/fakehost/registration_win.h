#pragma once
// The stand-in host's class registration: our own class id, reachable through the
// host's ProgID, served by this executable as a local server.
#include <windows.h>

// {5E1A3C27-8F0B-4D6E-9A41-2C7B6D0F3E18}
constexpr CLSID kFakeHostClsid = {0x5e1a3c27, 0x8f0b, 0x4d6e, {0x9a, 0x41, 0x2c, 0x7b, 0x6d, 0x0f, 0x3e, 0x18}};

// Registers this executable for the class and the ProgID "Excel.Application".
bool RegisterServer();
bool UnregisterServer();
