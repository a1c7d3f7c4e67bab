#include "packer/pack_config.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/messages/contact_link.h"
#include "core/payload/app_settings.h"
#include "core/text/message_texts.h"
#include "core/encoding/utf.h"
#include "packer/file_io.h"
#include "packer/key_file.h"
#include "packer/key_suggestion.h"
#include "packer/pack_error.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// The names of a table of keys, for "did you mean".
template <typename Table>
std::vector<std::string> KeysOf(const Table& table) {
  std::vector<std::string> keys;
  for (const auto& entry : table) keys.push_back(entry.first);
  return keys;
}

// The settings record stores the title's length in bytes in one byte, so at most
// 127 UTF-16 code units fit; the author contact's in a signed 16-bit field.
constexpr size_t kMaxTitleUnits = 127;
constexpr size_t kMaxAuthorContactUnits = 16383;
constexpr size_t kMaxInfoUnits = 32767;
// The launcher cuts override texts at this many bytes.
constexpr size_t kMaxOverrideTextBytes = 131070;
constexpr size_t kMaxVersionInfoUnits = 256;

std::string WorkbookRefusal(const fs::path& workbook) {
  const std::string extension = LowerExtension(workbook);
  if (extension == ".xlsx") {
    return "a macro-free workbook (.xlsx) cannot carry the application's macros; "
           "save it as a macro-enabled workbook (.xlsm) and name that file";
  }
  return "unknown workbook type '" + extension + "'; use a .xlsm, .xlsb or .xls workbook";
}

std::string OverrideKeyList() {
  std::vector<int> keys(std::begin(OverrideKey::kAll), std::end(OverrideKey::kAll));
  std::sort(keys.begin(), keys.end());
  std::string list;
  for (int key : keys) list += (list.empty() ? "" : ", ") + std::to_string(key);
  return list;
}

// JSON must be UTF-8; an editor's other encodings get a message that says so, instead
// of the parser's complaint about a byte.
void RequireUtf8(std::string_view text, const std::string& name) {
  if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF" ||
      text.substr(0, 16).find('\0') != std::string_view::npos) {
    throw BadInput(name, "is UTF-16 text; save the file as UTF-8");
  }
  size_t line = 1;
  for (size_t start = 0; start < text.size(); ++line) {
    const size_t end = std::min(text.find('\n', start), text.size());
    if (!IsValidUtf8(text.substr(start, end - start))) {
      throw BadInput(name, "line " + std::to_string(line) +
                               " is not UTF-8 (saved in an ANSI code page?); save the file as UTF-8");
    }
    start = end + 1;
  }
}

// The parsed text, and in `duplicate` the first key that an object holds twice, with the
// keys of the objects around it ("options.splash"): the parser alone would silently keep
// the last.
json ParseNotingDuplicates(std::string_view text, std::optional<std::string>& duplicate) {
  struct Object {
    std::set<std::string> keys;
    std::string path;
  };
  std::vector<Object> objects;
  std::string lastKey;
  const json::parser_callback_t note = [&](int, json::parse_event_t event, json& parsed) {
    if (event == json::parse_event_t::object_start) {
      objects.push_back({{}, objects.empty() ? "" : objects.back().path + lastKey + "."});
    } else if (event == json::parse_event_t::object_end && !objects.empty()) {
      objects.pop_back();
    } else if (event == json::parse_event_t::key && !objects.empty()) {
      lastKey = parsed.get<std::string>();
      if (!objects.back().keys.insert(lastKey).second && !duplicate) duplicate = objects.back().path + lastKey;
    }
    return true;
  };
  return json::parse(text.begin(), text.end(), note);
}

class ConfigReader {
 public:
  explicit ConfigReader(const fs::path& file) : file_(file), name_(PathToUtf8(file)) {}

  using Handler = std::function<void(const std::string&, const json&)>;

  // The keys of the configuration, each with what reads its value into `config`.
  std::map<std::string, Handler> Handlers(PackConfig& config) {
    return {
        {"title", [&](auto& key, auto& v) { config.title = Text(key, v, kMaxTitleUnits); }},
        {"info", [&](auto& key, auto& v) { config.info = Text(key, v, kMaxInfoUnits); }},
        {"version", [&](auto& key, auto& v) { config.version = Version(key, v); }},
        {"authorContact", [&](auto& key, auto& v) { config.authorContact = Contact(key, v); }},
        {"password", [&](auto& key, auto& v) { config.password = Text(key, v, 0); }},
        {"options", [&](auto& key, auto& v) { config.optionFlags = Options(key, v); }},
        {"workbook", [&](auto& key, auto& v) { config.workbook = Workbook(key, v, config.workbookFormat); }},
        {"splash", [&](auto& key, auto& v) { config.splash = Path(key, v); }},
        {"notice", [&](auto& key, auto& v) { config.notice = Notice(key, v); }},
        {"texts", [&](auto& key, auto& v) { config.texts = Texts(key, v); }},
        {"icon", [&](auto& key, auto& v) { config.icon = Path(key, v); }},
        {"addinKit", [&](auto& key, auto& v) { config.addinKit = Path(key, v); }},
        {"arch", [&](auto& key, auto& v) { config.arch = Arch(key, v); config.archGiven = true; }},
        {"versionInfo", [&](auto& key, auto& v) { config.versionInfo = VersionInfo(key, v); }},
        {"savedStateLocation", [&](auto& key, auto& v) { config.savedStateLocation = StateLocation(key, v); }},
        {"protectWorkbook", [&](auto& key, auto& v) { config.protectWorkbook = Flag(key, v); }},
        {"onUpdate", [&](auto& key, auto& v) { config.onUpdate = OnUpdate(key, v); }},
        {"keyFingerprint", [&](auto& key, auto& v) { config.keyFingerprint = Fingerprint(key, v); }},
    };
  }

  PackConfig Read(const json& root) {
    if (!root.is_object()) throw Fail("", "the configuration must be a JSON object");
    PackConfig config;
    const std::map<std::string, Handler> handlers = Handlers(config);
    for (const auto& [key, value] : root.items()) {
      auto handler = handlers.find(key);
      if (handler == handlers.end()) throw Fail("", UnknownKeyProblem("", key, KeysOf(handlers)));
      handler->second(key, value);
    }
    if (!root.contains("workbook")) throw Fail("", "missing key 'workbook'");
    config.keyFile = KeyFileFor(file_);
    return config;
  }

 private:
  PackError Fail(const std::string& key, const std::string& problem) const {
    return BadInput(name_, key.empty() ? problem : "key '" + key + "': " + problem);
  }

  std::string Text(const std::string& key, const json& value, size_t maxUnits) const {
    if (!value.is_string()) throw Fail(key, "expected a text");
    const std::string& text = value.get_ref<const std::string&>();
    if (maxUnits && Utf8ToUtf16(text).size() > maxUnits) {
      throw Fail(key, "longer than " + std::to_string(maxUnits) + " UTF-16 characters");
    }
    return text;
  }

  // The password dialog's contact button opens a web address as it stands and makes a
  // mail link of anything else: a contact that is neither would open nothing useful.
  std::string Contact(const std::string& key, const json& value) const {
    std::string contact = Text(key, value, kMaxAuthorContactUnits);
    const std::u16string units = Utf8ToUtf16(contact);
    if (!contact.empty() && !IsWebAddress(units, BuiltInContactLinkTexts()) && !IsMailAddress(units)) {
      throw Fail(key, "'" + contact + "' is neither a mail address (name@example.com) nor a web address "
                      "(https://example.com, www.example.com)");
    }
    return contact;
  }

  std::array<uint8_t, 3> Version(const std::string& key, const json& value) const {
    const std::string text = Text(key, value, 0);
    std::array<uint8_t, 3> parts{};
    size_t count = 0;
    size_t start = 0;
    while (true) {
      const size_t dot = text.find('.', start);
      const std::string part = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
      const bool digits = !part.empty() && part.size() <= 3 &&
                          std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isdigit(c); });
      if (!digits || std::stoi(part) > 255 || count == parts.size()) {
        throw Fail(key, "expected one to three numbers from 0 to 255 separated by dots, like \"1.2.3\"");
      }
      parts[count++] = static_cast<uint8_t>(std::stoi(part));
      if (dot == std::string::npos) break;
      start = dot + 1;
    }
    return parts;
  }

  bool Flag(const std::string& key, const json& value) const {
    if (!value.is_boolean()) throw Fail(key, "expected true or false");
    return value.get<bool>();
  }

  uint32_t Options(const std::string& key, const json& value) const {
    if (!value.is_object()) throw Fail(key, "expected an object");
    const std::map<std::string, uint32_t>& bits = ConfigOptionBits();
    uint32_t flags = 0;
    for (const auto& [name, flag] : value.items()) {
      auto bit = bits.find(name);
      if (bit == bits.end()) throw Fail("", UnknownKeyProblem(key + ".", name, KeysOf(bits)));
      if (!flag.is_boolean()) throw Fail(key + "." + name, "expected true or false");
      if (flag.get<bool>()) flags |= bit->second;
    }
    return flags;
  }

  fs::path Path(const std::string& key, const json& value) const {
    if (!value.is_string() || value.get_ref<const std::string&>().empty()) throw Fail(key, "expected a file name");
    fs::path path = PathFromUtf8(value.get_ref<const std::string&>());
    return path.is_absolute() ? path : file_.parent_path() / path;
  }

  fs::path Workbook(const std::string& key, const json& value, int32_t& format) const {
    fs::path path = Path(key, value);
    std::optional<int32_t> known = WorkbookFormatFor(path);
    if (!known) throw Fail(key, WorkbookRefusal(path));
    format = *known;
    return path;
  }

  fs::path Notice(const std::string& key, const json& value) const {
    fs::path path = Path(key, value);
    const std::string extension = LowerExtension(path);
    if (extension != ".txt" && extension != ".rtf") throw Fail(key, "the notice must be a .txt or .rtf file");
    return path;
  }

  std::map<int32_t, std::string> Texts(const std::string& key, const json& value) const {
    if (!value.is_object()) throw Fail(key, "expected an object of override keys and texts");
    std::map<int32_t, std::string> texts;
    for (const auto& [name, text] : value.items()) {
      const std::string where = key + "." + name;
      char* end = nullptr;
      const long long number = std::strtoll(name.c_str(), &end, 10);
      if (name.empty() || *end != '\0' || number < INT32_MIN || number > INT32_MAX) {
        throw Fail(where, "override keys are whole numbers");
      }
      if (std::find(std::begin(OverrideKey::kAll), std::end(OverrideKey::kAll), number) == std::end(OverrideKey::kAll)) {
        throw Fail(where, "no text of the launcher has this override key; the keys are " + OverrideKeyList());
      }
      if (!text.is_string()) throw Fail(where, "expected a text");
      const std::string& bytes = text.get_ref<const std::string&>();
      if (bytes.size() > kMaxOverrideTextBytes) {
        throw Fail(where, "longer than " + std::to_string(kMaxOverrideTextBytes) + " bytes");
      }
      // The launcher reads a text only up to its first U+0000; the rest would be lost.
      if (bytes.find('\0') != std::string::npos) throw Fail(where, "holds the character U+0000");
      texts[static_cast<int32_t>(number)] = bytes;
    }
    return texts;
  }

  std::string Arch(const std::string& key, const json& value) const {
    if (!value.is_string() || (value != "x64" && value != "x86")) throw Fail(key, "expected \"x64\" or \"x86\"");
    return value.get<std::string>();
  }

  SavedStateLocation StateLocation(const std::string& key, const json& value) const {
    if (value == "user") return SavedStateLocation::kUser;
    if (value == "beside") return SavedStateLocation::kBeside;
    throw Fail(key, "expected \"user\" or \"beside\"");
  }

  UpdatePolicy OnUpdate(const std::string& key, const json& value) const {
    const std::optional<UpdatePolicy> policy =
        value.is_string() ? UpdatePolicyFromName(value.get_ref<const std::string&>()) : std::nullopt;
    if (!policy) throw Fail(key, "expected \"keepUserWorkbook\", \"useNewWorkbook\" or \"ask\"");
    return *policy;
  }

  std::string Fingerprint(const std::string& key, const json& value) const {
    const std::optional<std::string> fingerprint =
        value.is_string() ? NormalizeFingerprint(value.get_ref<const std::string&>()) : std::nullopt;
    if (!fingerprint) throw Fail(key, "expected the key's fingerprint as build prints it, \"xxxx-xxxx-xxxx-xxxx\"");
    return *fingerprint;
  }

  VersionInfoConfig VersionInfo(const std::string& key, const json& value) const {
    if (!value.is_object()) throw Fail(key, "expected an object");
    VersionInfoConfig info;
    const std::map<std::string, std::string*> fields = {
        {"productName", &info.productName},
        {"fileDescription", &info.fileDescription},
        {"company", &info.company},
        {"copyright", &info.copyright},
    };
    for (const auto& [name, text] : value.items()) {
      auto field = fields.find(name);
      if (field == fields.end()) throw Fail("", UnknownKeyProblem(key + ".", name, KeysOf(fields)));
      *field->second = Text(key + "." + name, text, kMaxVersionInfoUnits);
    }
    return info;
  }

  const fs::path& file_;
  std::string name_;
};

}  // namespace

std::vector<std::string> ConfigKeys() {
  const fs::path noFile;
  ConfigReader reader(noFile);
  PackConfig unused;
  std::vector<std::string> keys;
  for (const auto& handler : reader.Handlers(unused)) keys.push_back(handler.first);
  return keys;
}

const std::map<std::string, uint32_t>& ConfigOptionBits() {
  static const std::map<std::string, uint32_t> bits = {
      {"splash", OPT_SHOW_SPLASH},           {"singleInstance", OPT_SINGLE_INSTANCE},
      {"savedState", OPT_SAVED_STATE},       {"keepHostHidden", OPT_KEEP_HOST_HIDDEN},
      {"checkHostVersion", OPT_CHECK_HOST_VERSION},
  };
  return bits;
}

std::optional<int32_t> WorkbookFormatFor(const fs::path& workbook) {
  const std::string extension = LowerExtension(workbook);
  if (extension == ".xlsm") return 52;
  if (extension == ".xlsb") return 50;
  if (extension == ".xls") return -4143;
  return std::nullopt;
}

PackConfig ParsePackConfig(std::string_view text, const fs::path& file) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a UTF-8 byte-order mark
  RequireUtf8(text, PathToUtf8(file));
  json root;
  try {
    std::optional<std::string> duplicate;
    root = ParseNotingDuplicates(text, duplicate);
    if (duplicate) throw BadInput(PathToUtf8(file), "key '" + *duplicate + "' is given twice; keep one");
  } catch (const json::parse_error& error) {
    // Editors and other formats allow comments, so an author writes them; say so plainly.
    if (error.byte >= 1 && error.byte <= text.size() && text[error.byte - 1] == '/') {
      const size_t line = 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + error.byte, '\n'));
      throw BadInput(PathToUtf8(file), "line " + std::to_string(line) + ": JSON allows no comments; remove it");
    }
    std::string what = error.what();
    const size_t bracket = what.find("] ");
    throw BadInput(PathToUtf8(file), "malformed JSON: " + (bracket == std::string::npos ? what : what.substr(bracket + 2)));
  }
  try {
    return ConfigReader(file).Read(root);
  } catch (const std::runtime_error& error) {
    if (dynamic_cast<const PackError*>(&error)) throw;
    // Invalid UTF-8 in a text (the JSON parser accepts it in some positions).
    throw BadInput(PathToUtf8(file), error.what());
  }
}

PackConfig LoadPackConfig(const fs::path& file) { return ParsePackConfig(ReadFileBytes(file), file); }

fs::path KeyFileFor(const fs::path& configFile) {
  fs::path key = configFile;
  key.replace_extension(".sheetpack-key");
  return key;
}
