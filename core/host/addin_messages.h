#pragma once
// The private window messages the launcher sends the runtime add-in through the
// host's main window, and the thread messages to its own splash thread. The launch
// sequence, the shutdown and the stand-in add-in all take the numbers from here.
namespace AddInMessage {
constexpr unsigned kAnnounceProcessId = 1159;    // wParam: the launcher's process id
constexpr unsigned kHostSettings = 1181;         // wParam: default save format, lParam: UI language byte
constexpr unsigned kSilentStart = 1178;          // wParam: the silent-start value
constexpr unsigned kLauncherPathKnown = 1160;
constexpr unsigned kStep1156 = 1156;
constexpr unsigned kStep1158 = 1158;
constexpr unsigned kStep1166 = 1166;
constexpr unsigned kSettingsAvailable = 1155;    // the settings record is in the executable or saved state
constexpr unsigned kStep1157 = 1157;
constexpr unsigned kStep1164 = 1164;
constexpr unsigned kStep1168 = 1168;
constexpr unsigned kStep1163 = 1163;
constexpr unsigned kLastSynchronous = 1179;
constexpr unsigned kEndOfMessages = 1171;        // posted: the add-in runs on its own from here
constexpr unsigned kLoaderCall = 1170;           // the code the loader workbook passes to the add-in's export

// Asked once the loader's open has returned, before the numbered messages, through a
// message registered under this name: any window procedure answers a message it does
// not know with 0, so only a runtime that runs answers kStartedAnswer. An add-in of an
// author's own kit keeps to the numbered messages and is never asked.
constexpr wchar_t kStartProbeName[] = L"Sheetpack.RuntimeStarted";
constexpr unsigned kStartedAnswer = 0x53505254;  // "SPRT"
// The export by which the packer tells a runtime that answers the probe (it returns
// kStartedAnswer) from an add-in of an author's kit.
constexpr char kStartAnswerExport[] = "SheetpackStartAnswer";
}  // namespace AddInMessage

namespace SplashMessage {
constexpr unsigned kFinishSoon = 1281;  // close once shown for five seconds in all
constexpr unsigned kCloseNow = 1282;
}  // namespace SplashMessage
