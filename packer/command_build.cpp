// sheetpack build: a stub plus the application's items, icon and version record.
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ostream>

#include "core/encoding/utf.h"
#include "core/payload/app_identity.h"
#include "packer/app_key_choice.h"
#include "packer/app_executable.h"
#include "packer/app_items.h"
#include "packer/cli.h"
#include "packer/cli_args.h"
#include "packer/file_io.h"
#include "packer/icon_group.h"
#include "packer/output_target.h"
#include "packer/pack_config.h"
#include "packer/pack_error.h"
#include "packer/progress.h"
#include "packer/shipped_files.h"
#include "packer/app_size_check.h"
#include "packer/size_limits.h"
#include "packer/version_record.h"

namespace fs = std::filesystem;

namespace {

const CommandSpec kBuild = {
    "build",
    "usage: sheetpack build CONFIG.json -o APP.exe [--stub STUB.exe] [--strip-signature] [-q|-v]\n"
    "\n"
    "Writes a packaged application: a copy of the launcher stub carrying the workbook,\n"
    "the add-in kit, the settings and the other items the configuration names. Without\n"
    "\"addinKit\" the runtime add-ins shipped with sheetpack are packed.\n"
    "\n"
    "  -o APP.exe          the executable to write (replaced atomically)\n"
    "  --stub STUB.exe     the launcher stub to start from; by default the one shipped\n"
    "                      with sheetpack for the configuration's \"arch\" (x64 or x86)\n"
    "  --strip-signature   accept a signed stub and drop its signature (sign the result\n"
    "                      after packing instead)\n"
    "  -q, -v              print errors only / also print what was written\n"
    "\n"
    "Set SOURCE_DATE_EPOCH to make the output byte-for-byte reproducible.\n"
    "sheetpack help config lists every configuration key, option and override number;\n"
    "docs/packer.md (in the release archive) describes them in full.\n",
    1, 1, {"--strip-signature"}, {"-o", "--stub"}};

constexpr double kOleDateUnixEpoch = 25569.0;  // 1970-01-01 as days since 1899-12-30

// The pack time as an OLE Automation date (UTC): SOURCE_DATE_EPOCH when set, so that
// the same inputs give the same bytes, or the current time.
double PackTime() {
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  long long seconds = 0;
  if (epoch && *epoch) {
    char* end = nullptr;
    errno = 0;
    seconds = std::strtoll(epoch, &end, 10);
    if (*end != '\0' || errno == ERANGE || seconds < 0) {
      throw BadInput("SOURCE_DATE_EPOCH", "expected a whole number of seconds since 1970-01-01");
    }
  } else {
    seconds = std::chrono::duration_cast<std::chrono::seconds>(
                  std::chrono::system_clock::now().time_since_epoch()).count();
  }
  return kOleDateUnixEpoch + static_cast<double>(seconds) / 86400.0;
}

// The record Explorer, anti-virus products and IT departments read describes the
// application, never the packer: its title (or, without one, the workbook's name), its
// version and the author's contact, unless versionInfo says otherwise.
void ApplyVersionRecord(ResourceTree& tree, const PackConfig& config) {
  VersionRecordFields fields;
  fields.fileVersion = {config.version[0], config.version[1], config.version[2], 0};
  const std::u16string version = Utf8ToUtf16(std::to_string(config.version[0]) + "." +
                                              std::to_string(config.version[1]) + "." +
                                              std::to_string(config.version[2]) + ".0");
  const VersionInfoConfig info = config.versionInfo.value_or(VersionInfoConfig{});
  const std::string name = config.title.empty() ? PathToUtf8(config.workbook.stem()) : config.title;
  const std::string contact = config.authorContact.empty() ? "" : "Contact: " + config.authorContact;
  const std::pair<const char16_t*, std::string> texts[] = {
      {u"CompanyName", info.company},
      {u"FileDescription", info.fileDescription.empty() ? name : info.fileDescription},
      {u"LegalCopyright", info.copyright},
      {u"ProductName", info.productName.empty() ? name : info.productName},
      {u"Comments", contact},
  };
  for (const auto& [key, value] : texts) {
    if (!value.empty()) fields.strings.emplace_back(key, Utf8ToUtf16(value));
  }
  fields.strings.emplace_back(u"FileVersion", version);
  fields.strings.emplace_back(u"ProductVersion", version);

  // The stub's own record is replaced where it stands (name and language kept).
  NameTable& records = tree[ResourceName(kResourceTypeVersion)];
  ResourceName recordName(1);
  uint32_t language = kLanguageEnglishUs;
  if (!records.empty() && !records.begin()->second.empty()) {
    recordName = records.begin()->first;
    language = records.begin()->second.begin()->first;
  }
  records[recordName] = {{language, {WriteVersionRecord(fields), 0}}};
}

fs::path ChooseStub(const ParsedArgs& args, const PackConfig& config, const CommandContext& context) {
  if (auto stub = args.Value("--stub")) return PathFromUtf8(*stub);
  fs::path stub = LocateStub(config.arch, context.executable);
  context.Note("stub: " + PathToUtf8(stub));
  return stub;
}

AddInKit ChooseAddInKit(const PackConfig& config, const CommandContext& context) {
  if (config.addinKit) return AuthorKit(*config.addinKit);
  AddInKit kit{LocateRuntimeAddIn("x86", context.executable), LocateRuntimeAddIn("x64", context.executable), {}};
  context.Note("add-in kit: the runtime in " + PathToUtf8(kit.addIn64.parent_path()));
  return kit;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return fs::exists(a, error) && fs::exists(b, error) && fs::equivalent(a, b, error);
}

// Writing the application over one of its own inputs would destroy the author's file:
// compared as files, not as spellings of a path.
void RefuseOutputThatIsAnInput(const fs::path& target, const std::string& output, const fs::path& configFile,
                               const PackConfig& config, const AddInKit& kit) {
  std::vector<std::pair<std::string, fs::path>> inputs = {
      {"the configuration", configFile}, {"the workbook", config.workbook}, {"the add-in", kit.addIn32},
      {"the add-in", kit.addIn64}};
  if (config.splash) inputs.emplace_back("the splash picture", *config.splash);
  if (config.notice) inputs.emplace_back("the notice", *config.notice);
  if (config.icon) inputs.emplace_back("the icon", *config.icon);
  if (kit.folder) inputs.emplace_back("the loader workbook", *kit.folder / "loader.xls");
  for (const auto& [what, input] : inputs) {
    if (SameFile(input, target)) throw BadInput(output, "is " + what + " of this build; write the application to another file");
  }
  // The key file may not exist yet: the build would write it and then the application over it.
  std::error_code error;
  if (config.protectWorkbook && fs::weakly_canonical(target, error) == fs::weakly_canonical(config.keyFile, error)) {
    throw BadInput(output, "is the key file of this build; write the application to another file");
  }
}

bool EndsInExe(const std::string& name) {
  if (name.size() < 4) return false;
  std::string end = name.substr(name.size() - 4);
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".exe";
}

// A new key is written before the executable that carries it, and taken back when the
// executable cannot be written: a failed build leaves no key of an application that does
// not exist, and a successful one never ships an application whose key is not on disk.
size_t SaveWithKey(const LoadedExecutable& stub, const ResourceTree& tree, const fs::path& target, bool stripSignature,
                   const std::optional<AppKeyChoice>& key, const PackConfig& config, CommandContext& context) {
  if (!key || !key->isNew) return SaveExecutable(stub, tree, target, stripSignature, context);
  WriteNewKeyFile(config.keyFile, key->key);
  try {
    return SaveExecutable(stub, tree, target, stripSignature, context);
  } catch (...) {
    std::error_code ignored;
    fs::remove(config.keyFile, ignored);
    throw;
  }
}

}  // namespace

void RunBuild(const std::vector<std::string>& argv, CommandContext& context) {
  const ParsedArgs args = ParseArgs(kBuild, argv, context);
  if (args.help) {
    context.out << kBuild.help;
    return;
  }
  const std::optional<std::string> output = args.Value("-o");
  if (!output) throw BadInput("build", "missing -o APP.exe (see sheetpack build --help)");
  const fs::path target = PathFromUtf8(*output);

  const fs::path configFile = PathFromUtf8(args.positional[0]);
  const PackConfig config = LoadPackConfig(configFile);
  const fs::path stubPath = ChooseStub(args, config, context);
  if (SameFile(stubPath, target)) throw BadInput(*output, "is the stub itself; write the application to another file");
  const LoadedExecutable stub = LoadExecutable(stubPath);
  const std::string machine = MachineName(stub.image.Machine());
  if (config.archGiven && machine != config.arch) {
    throw BadInput(PathToUtf8(stubPath), "is an " + machine + " stub, but the configuration asks for " + config.arch);
  }

  const AddInKit kit = ChooseAddInKit(config, context);
  RefuseOutputThatIsAnInput(target, *output, configFile, config, kit);
  RefuseOwnFileTarget(target, context.executable);
  RefuseUnsafeTarget(target);
  if (!EndsInExe(*output)) context.Warn(*output + ": does not end in .exe, so Windows will not start it as a program");
  const uint64_t stubSize = stub.image.Bytes().size();
  CheckInputSizes(config, kit, stubSize);
  std::vector<std::string> keyWarnings;
  std::optional<AppKeyChoice> key;
  if (NeedsAppKey(config)) key = ChooseAppKey(config, keyWarnings);
  for (const std::string& warning : keyWarnings) context.Warn(warning);
  PackOptions options;
  options.key = key ? &key->key : nullptr;
  options.itemBudget = ItemBudget(stubSize);
  if (context.verbosity >= 1 && context.terminal) options.progress = &context.err;
  AppItems items = BuildAppItems(config, kit, PackTime(), options);
  for (const std::string& warning : items.warnings) context.Warn(warning);
  CheckPackedSize(items, config, stubSize);

  ResourceTree tree = stub.tree;
  NameTable& packed = tree[ResourceName(PackedItemType())];
  packed.clear();
  for (auto& [id, bytes] : items.items) {
    context.Note("item " + std::to_string(id) + ": " + std::to_string(bytes.size()) + " bytes");
    packed[ResourceName(id)][kLanguageEnglishUs] = {std::move(bytes), 0};
  }
  if (config.icon) {
    try {
      ReplaceFirstIconGroup(tree, ReadFileBytes(*config.icon));
    } catch (const IconFormatError& error) {
      throw BadInput(PathToUtf8(*config.icon), error.what());
    }
  }
  ApplyVersionRecord(tree, config);

  const size_t written = SaveWithKey(stub, tree, target, args.Has("--strip-signature"), key, config, context);
  if (key && key->isNew) context.Warn(NewApplicationNotice(config, key->key));
  const std::string application = key ? " (application " + AppFingerprint(key->key.identity) + ")" : "";
  context.Say(*output + ": " + std::to_string(written) + " bytes written" + application);
}
