#pragma once
// The built-in message-text tables. Texts are stored in the text code and decoded
// only when used. The readable source is message_texts.txt beside this file.
#include <cstdint>
#include <string>

enum class TextTable { Main, Second };

// The entry decoded, as UTF-16; empty when the id is missing.
std::u16string GetText(int id, TextTable table = TextTable::Main);
// The entry's decoded bytes up to the first zero byte (UTF-8); empty when missing.
std::string GetTextUtf8(int id, TextTable table = TextTable::Main);

// The name of the resident event of the launcher with this process id: text 54 with the
// id in its one conversion. The launcher creates the event, the add-in signals it.
std::u16string ResidentEventName(uint32_t processId);

// Ids of the main table that the code fetches by number.
namespace TextId {
constexpr int kWarningCaption = 8;
constexpr int kNoticeTitle = 17;
constexpr int kNoticeAccept = 18;
constexpr int kNoticeDecline = 19;
constexpr int kHostNotCreated = 21;
constexpr int kSettingsInvalid = 22;
constexpr int kAppTitle = 23;
constexpr int kHostWindowClass = 24;
constexpr int kResourceType = 25;
constexpr int kContactSubject = 26;
constexpr int kContactButton = 27;
constexpr int kHostTooOld = 28;
constexpr int kWrongPassword = 29;
constexpr int kPasswordAccept = 30;
constexpr int kPasswordCancel = 31;
constexpr int kPasswordHeading = 32;
constexpr int kPasswordPrompt = 33;
constexpr int kFormatNeedsNewerHost = 34;
constexpr int kWorkbookNotOpened = 35;  // shown by the runtime add-in
constexpr int kUpdateQuestion = 40;     // a saved-state application's first start after an update
constexpr int kAlreadyRunning = 43;
constexpr int kHostProgId = 44;
constexpr int kExtensionXlsm = 45;
constexpr int kExtensionXlsb = 46;
constexpr int kExtensionXls = 47;
constexpr int kAddInFileName = 48;
constexpr int kLauncherExtension = 49;
constexpr int kAddInNotWritten = 50;
constexpr int kStartupInfoFileName = 52;
constexpr int kSilentStartPrefix = 53;
constexpr int kResidentEventFormat = 54;
// Why the runtime add-in did not start, with what to ask the administrator for.
constexpr int kMacrosBlocked = 55;
constexpr int kAddInBlocked = 56;
constexpr int kLoaderFileBlocked = 57;
constexpr int kHostEndedByScan = 58;
// Said after one of these when the host also refused to load the add-in as an XLL.
constexpr int kXllRefused = 59;
constexpr int kPasswordTitlePrefix = 71;  // the password dialog's title, before the application's title
// The runtime's box when the saved state cannot be written: where the work is instead.
constexpr int kStateNotSaved = 67;
constexpr int kWorkKeptIn = 68;
constexpr int kWorkComesBack = 69;
constexpr int kWorkKeptNowhere = 70;
// What the runtime add-in tells the user about saves the saved state does not take as they are.
constexpr int kSavedInOtherFormat = 63;
constexpr int kPasswordPutBack = 64;
constexpr int kPlainSaveRefused = 65;
constexpr int kPlainLastSaveRefused = 66;
// Fixed names kept with the texts: the temporary-folder fallback and the web prefixes.
constexpr int kTempRegistryKey = 9;
constexpr int kTempRegistryToken = 10;
constexpr int kWebPrefix1 = 11;
constexpr int kWebPrefix2 = 12;
constexpr int kWebPrefix3 = 13;
}  // namespace TextId

// Ids of the second table: the pieces of the contact mail link.
namespace SecondTextId {
constexpr int kMailPrefix = 1;
constexpr int kSubjectField = 2;
constexpr int kBodyField = 3;
}  // namespace SecondTextId

// Override keys, paired with the built-in ids above for GetMessageText.
namespace OverrideKey {
constexpr int kPasswordAccept = 3;
constexpr int kPasswordCancel = 4;
constexpr int kContactButton = 6;
constexpr int kWarningCaption = 7;
constexpr int kNoticeTitle = 11;
constexpr int kNoticeAccept = 12;
constexpr int kNoticeDecline = 13;
constexpr int kPasswordHeading = 14;
constexpr int kPasswordPrompt = 15;
constexpr int kWrongPassword = 16;
constexpr int kContactSubject = 39;
constexpr int kContactBody = 40;
constexpr int kAlreadyRunning = 41;
constexpr int kUpdateQuestion = 42;
constexpr int kMacrosBlocked = 55;
constexpr int kAddInBlocked = 56;
constexpr int kLoaderFileBlocked = 57;
constexpr int kHostEndedByScan = 58;
constexpr int kXllRefused = 59;
constexpr int kPasswordTitlePrefix = 71;
// The box shown when Excel cannot be started: its caption (the warning caption without
// it) and its text (built-in 21).
constexpr int kHostMissingCaption = 72;
constexpr int kHostMissingText = 73;
// Every key above: the packer refuses a text for any other, which nothing would show.
// A new key goes here too.
constexpr int kAll[] = {kPasswordAccept,   kPasswordCancel, kContactButton, kWarningCaption, kNoticeTitle,
                        kNoticeAccept,     kNoticeDecline,  kPasswordHeading, kPasswordPrompt, kWrongPassword,
                        kContactSubject,   kContactBody,    kAlreadyRunning, kUpdateQuestion,  kMacrosBlocked,
                        kAddInBlocked,     kLoaderFileBlocked, kHostEndedByScan, kXllRefused,
                        kPasswordTitlePrefix, kHostMissingCaption, kHostMissingText};
}  // namespace OverrideKey
