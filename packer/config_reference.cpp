#include "packer/config_reference.h"

#include <cstdio>
#include <sstream>

#include "core/text/message_texts.h"
#include "packer/pack_config.h"

namespace {

const ConfigKeyHelp* Find(const std::string& key) {
  for (const ConfigKeyHelp& help : ConfigKeyDescriptions()) {
    if (key == help.key) return &help;
  }
  return nullptr;
}

constexpr size_t kColumn = 22;

// The key and its value, padded so the values line up, and the meaning below the value;
// `value` replaces the description's own when given.
void Line(std::ostream& out, const std::string& key, const std::string& shown, const std::string& value = "") {
  const ConfigKeyHelp* help = Find(key);
  out << "  " << shown << std::string(shown.size() + 2 < kColumn ? kColumn - 2 - shown.size() : 1, ' ');
  if (help) out << (value.empty() ? help->value : value) << "\n" << std::string(kColumn, ' ') << help->meaning;
  out << "\n";
}

std::string Hex(uint32_t bit) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(bit));
  return text;
}

}  // namespace

const std::vector<ConfigKeyHelp>& ConfigKeyDescriptions() {
  static const std::vector<ConfigKeyHelp> keys = {
      {"title", "text, at most 127 UTF-16 characters", "the application's title (APPNAME)"},
      {"info", "text", "information text (APPINFO)"},
      {"version", "text \"1.2.3\", one to three numbers 0-255", "the application's version (APPVER)"},
      {"authorContact", "text", "mail or web address the password dialog's contact button opens"},
      {"password", "text", "start-up password the launcher asks for; empty or absent: none"},
      {"options", "object of true/false", "option bits, below; absent options are off"},
      {"workbook", "file name, .xlsm, .xlsb or .xls", "the packaged workbook (required)"},
      {"splash", "file name, JPEG", "splash picture shown while the host starts"},
      {"notice", "file name, .txt or .rtf", "start notice the user accepts or declines"},
      {"texts", "object: override number (as text) to text", "replaces built-in texts, below; \\n is a line break"},
      {"icon", "file name, .ico", "the program's icon"},
      {"addinKit", "folder", "an add-in kit of the author's own; absent: the runtime sheetpack ships"},
      {"arch", "\"x64\" (default) or \"x86\"", "which stub to start from"},
      {"versionInfo", "object of texts: productName, fileDescription, company, copyright",
       "the executable's version record"},
      {"savedStateLocation", "\"user\" (default) or \"beside\"", "where the saved state is kept"},
      {"protectWorkbook", "true (default) or false",
       "encrypt the packaged .xlsm/.xlsb workbook with the application's key (CONFIG.sheetpack-key)"},
      {"onUpdate", "\"ask\" (default), \"keepUserWorkbook\" or \"useNewWorkbook\"",
       "what a new version does with the workbook its users saved with an earlier one"},
      {"keyFingerprint", "text \"xxxx-xxxx-xxxx-xxxx\", as build and inspect show it",
       "the application's key: a build whose key file is missing or another is refused"},
      {"options.splash", "true or false", "show the splash picture while the host starts"},
      {"options.singleInstance", "true or false", "only one copy of the application may run"},
      {"options.savedState", "true or false", "keep the application's state, written at every save"},
      {"options.keepHostHidden", "true or false", "leave the host invisible at the end of the start"},
      {"options.checkHostVersion", "true or false", "refuse too old host versions"},
  };
  return keys;
}

const std::vector<OverrideHelp>& OverrideNumbers() {
  static const std::vector<OverrideHelp> numbers = {
      {OverrideKey::kPasswordAccept, TextId::kPasswordAccept, "password dialog: OK button"},
      {OverrideKey::kPasswordCancel, TextId::kPasswordCancel, "password dialog: Cancel button"},
      {OverrideKey::kContactButton, TextId::kContactButton, "password dialog: contact button"},
      {OverrideKey::kWarningCaption, TextId::kWarningCaption, "caption of the launcher's warning boxes"},
      {OverrideKey::kNoticeTitle, TextId::kNoticeTitle, "notice dialog: end of its title"},
      {OverrideKey::kNoticeAccept, TextId::kNoticeAccept, "notice dialog: accept button"},
      {OverrideKey::kNoticeDecline, TextId::kNoticeDecline, "notice dialog: decline button"},
      {OverrideKey::kPasswordHeading, TextId::kPasswordHeading, "password dialog: heading"},
      {OverrideKey::kPasswordPrompt, TextId::kPasswordPrompt, "password dialog: prompt"},
      {OverrideKey::kWrongPassword, TextId::kWrongPassword, "wrong password"},
      {OverrideKey::kContactSubject, TextId::kContactSubject, "subject of the contact mail"},
      {OverrideKey::kContactBody, -1, "body of the contact mail"},
      {OverrideKey::kAlreadyRunning, TextId::kAlreadyRunning, "the application is already running"},
      {OverrideKey::kUpdateQuestion, TextId::kUpdateQuestion,
       "the question after an update of a saved-state application"},
      {OverrideKey::kMacrosBlocked, TextId::kMacrosBlocked, "start failed: the host did not run the loader's macro"},
      {OverrideKey::kAddInBlocked, TextId::kAddInBlocked, "start failed: the add-in did not start"},
      {OverrideKey::kLoaderFileBlocked, TextId::kLoaderFileBlocked, "start failed: the host refused to open the loader"},
      {OverrideKey::kHostEndedByScan, TextId::kHostEndedByScan, "start failed: the host ended during the loader's open"},
      {OverrideKey::kXllRefused, TextId::kXllRefused,
       "start failed: the host also refused the add-in as an XLL (said after the above)"},
      {OverrideKey::kPasswordTitlePrefix, TextId::kPasswordTitlePrefix,
       "password dialog: start of its title (before the application title)"},
      {OverrideKey::kHostMissingCaption, TextId::kWarningCaption,
       "Excel cannot be started: the box's caption (without it, that of 7)"},
      {OverrideKey::kHostMissingText, TextId::kHostNotCreated, "Excel cannot be started: the box's text"},
  };
  return numbers;
}

std::string ConfigReference() {
  std::ostringstream out;
  out << "The configuration of sheetpack build: a JSON object (UTF-8) with these keys.\n"
         "Relative file names count from the configuration file's folder.\n\n";
  for (const std::string& key : ConfigKeys()) Line(out, key, key);
  out << "\noptions (each true or false; shown with the option bit it sets):\n";
  for (const auto& option : ConfigOptionBits()) {
    Line(out, "options." + option.first, option.first, Hex(option.second));
  }
  out << "\ntexts (override number: the text it replaces):\n";
  for (const OverrideHelp& number : OverrideNumbers()) {
    const std::string shown = std::to_string(number.key);
    out << "  " << shown << std::string(kColumn - 2 - shown.size(), ' ') << number.text << "\n";
  }
  return out.str();
}
