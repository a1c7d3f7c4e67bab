#include "packer/app_items.h"

#include "core/payload/app_settings.h"
#include "core/payload/packed_item.h"
#include "core/text/text_overrides.h"
#include "core/encoding/utf.h"
#include "office/crypto_primitives.h"
#include "packer/file_io.h"
#include "packer/item_checks.h"
#include "packer/item_table.h"
#include "packer/kit_text.h"
#include "packer/loader/loader_workbook.h"
#include "packer/pack_error.h"
#include "core/host/addin_messages.h"
#include "packer/pe_exports.h"
#include "packer/pe_image.h"
#include "packer/progress.h"
#include "packer/size_limits.h"
#include "packer/workbook_check.h"
#include "packer/workbook_item.h"
#include "packer/workbook_protection.h"

namespace fs = std::filesystem;

namespace {

// The one-byte items the runtime add-in looks for.
const std::string kFlagOne(1, '\x01');
// The name tables of a kit without them: the header row alone.
const std::u16string kFunctionNamesHeader = u"Index;English\r\n";
const std::u16string kErrorNamesHeader = u"English\r\n";

class ItemBuilder {
 public:
  ItemBuilder(const PackConfig& config, const AddInKit& kit, const PackOptions& options, AppItems& out)
      : config_(config), kit_(kit), options_(options), out_(out) {}

  void Build(double packTime) {
    Items()[ItemId::kSettings] = BuildSettingsRecord(config_, packTime);
    AddWorkbook();
    Items()[ItemId::kWorkbookDigest] = WorkbookDigest(Items()[ItemId::kWorkbook]);
    AddAddInKit();
    AddSplash();
    AddNotice();
    AddTexts();
    Items()[ItemId::kAddInFlag1060] = kFlagOne;
    Items()[ItemId::kAddInFlag1070] = kFlagOne;
    Items()[ItemId::kAddInFlag1107] = "1";
    if (config_.savedStateLocation != SavedStateLocation::kUser) {
      Items()[ItemId::kSavedStateLocation] = SavedStateLocationItem(config_.savedStateLocation);
    }
    AddUpdatePolicy();
    if (options_.key) Items()[ItemId::kAppIdentity] = options_.key->identity;
  }

 private:
  std::map<uint32_t, std::string>& Items() { return out_.items; }
  void Warn(const std::string& line) { out_.warnings.push_back(line); }

  // A workbook that is neither encrypted here nor a compound file to look into is
  // compressed as it is read; the others are read whole.
  void AddWorkbook() {
    const fs::path& file = config_.workbook;
    const uint64_t size = WorkbookSize(file);
    // By its contents, before any work: a picture or a workbook of another format under a
    // workbook's name must fail here, not on the user's machine.
    CheckWorkbook(PathToUtf8(file), FileSource(file), false, out_.warnings);
    Progress progress(options_.progress, "packing " + PathToUtf8(file.filename()), size);
    if (!WorkbookStoredPlain(config_) && !StartsAsCompoundFile(file)) {
      Items()[ItemId::kWorkbook] = PackWorkbookFile(file, size, options_.itemBudget, progress);
      return;
    }
    std::string workbook = ReadWorkbookFile(file, size, progress);
    if (WorkbookStoredPlain(config_)) progress.SetLabel("encrypting " + PathToUtf8(file.filename()), 0);
    ProtectedWorkbook packed =
        ProtectWorkbook(config_, options_.key ? options_.key->password : "", std::move(workbook), out_.warnings);
    // An encrypted workbook does not compress: it is stored plain, which spares the deflate.
    if (packed.keyItem) {
      // The marker goes in front of the encrypted file in its own buffer, which has room for it.
      Items()[ItemId::kWorkbook] = std::move(packed.workbook.insert(0, MarkWorkbook({})));
    } else {
      Items()[ItemId::kWorkbook] = PackItem(MarkWorkbook(packed.workbook));
    }
    if (packed.keyItem) Items()[ItemId::kWorkbookKey] = PackItem(*packed.keyItem);
  }

  void AddAddInKit() {
    const std::string addIn32 = AddInDll(kit_.addIn32, kMachineI386);
    const std::string addIn64 = AddInDll(kit_.addIn64, kMachineAmd64);
    // Only a start that both add-ins prove is checked by the launcher: an author's kit
    // that keeps the numbered messages alone starts as it always did.
    if (AnswersStartProbe(addIn32) && AnswersStartProbe(addIn64)) Items()[ItemId::kRuntimeAnswers] = kFlagOne;
    Items()[ItemId::kAddIn32] = PackItem(addIn32);
    Items()[ItemId::kAddIn64] = PackItem(addIn64);
    if (!kit_.folder) {
      // The built-in runtime reads none of the kit's optional items: each gets what an
      // author's kit without that file gets, with nothing to warn about.
      Items()[ItemId::kLoaderWorkbook] = PackItem(WriteLoaderWorkbook());
      Items()[ItemId::kFunctionNames] = PackItem(StringToUtf16LeBytes(kFunctionNamesHeader));
      Items()[ItemId::kErrorNames] = PackItem(StringToUtf16LeBytes(kErrorNamesHeader));
      Items()[ItemId::kAddInData] = kPlaceholder;
      return;
    }
    const fs::path& kit = *kit_.folder;
    Items()[ItemId::kLoaderWorkbook] = PackItem(LoaderWorkbook(kit / "loader.xls"));
    Items()[ItemId::kFunctionNames] = PackItem(NameTable(kit / "1043.txt", kFunctionNamesHeader));
    Items()[ItemId::kErrorNames] = PackItem(NameTable(kit / "1045.txt", kErrorNamesHeader));
    const fs::path data = kit / "1200.bin";
    // Every item of the table is written: a kit without add-in data gets the placeholder.
    std::error_code error;
    if (fs::exists(data, error)) {
      Items()[ItemId::kAddInData] = ReadFileBytes(data);
    } else {
      Items()[ItemId::kAddInData] = kPlaceholder;
      Warn(PathToUtf8(data) + ": not in the add-in kit; item 1200 is one 0 byte");
    }
  }

  std::string RequiredKitFile(const fs::path& file) const {
    std::error_code error;
    if (!fs::exists(file, error)) {
      throw BadInput(PathToUtf8(file), "missing from the add-in kit (it needs addin-x86.dll and addin-x64.dll)");
    }
    return ReadFileBytes(file);
  }

  // A kit may bring its own loader workbook; without one, the packer writes it.
  static std::string LoaderWorkbook(const fs::path& file) {
    std::error_code error;
    return fs::exists(file, error) ? ReadFileBytes(file) : WriteLoaderWorkbook();
  }

  std::string AddInDll(const fs::path& file, uint16_t machine) {
    std::string bytes = RequiredKitFile(file);
    CheckAddInDll(PathToUtf8(file), bytes, machine, out_.warnings);
    return bytes;
  }

  static bool AnswersStartProbe(const std::string& dll) {
    try {
      return ExportsName(PeImage(dll), AddInMessage::kStartAnswerExport);
    } catch (const PeFormatError&) {
      return false;  // already warned about
    }
  }

  std::string NameTable(const fs::path& file, const std::u16string& headerOnly) {
    std::error_code error;
    if (!fs::exists(file, error)) {
      Warn(PathToUtf8(file) + ": not in the add-in kit; a table with only its header row is written");
      return StringToUtf16LeBytes(headerOnly);
    }
    const std::string text = ReadFileBytes(file);
    try {
      return KitTextToNameTable(text);
    } catch (const std::runtime_error& malformed) {
      throw BadInput(PathToUtf8(file), malformed.what());
    }
  }

  void AddSplash() {
    const bool shown = config_.optionFlags & OPT_SHOW_SPLASH;
    if (!config_.splash) {
      if (shown) Warn("options.splash is set, but no splash image is given, so none is shown");
      Items()[ItemId::kSplash] = kPlaceholder;
      return;
    }
    std::string image = ReadFileBytes(*config_.splash);
    CheckSplashPicture(PathToUtf8(*config_.splash), image);
    if (!shown) Warn(PathToUtf8(*config_.splash) + ": packed, but options.splash is not set, so it is not shown");
    // JPEG data does not compress; stored plain, the launcher uses it as it is.
    Items()[ItemId::kSplash] = std::move(image);
  }

  void AddNotice() {
    if (!config_.notice) {
      Items()[ItemId::kNotice] = kPlaceholder;
      return;
    }
    std::string text = ReadFileBytes(*config_.notice);
    CheckNotice(PathToUtf8(*config_.notice), text, LowerExtension(*config_.notice) == ".rtf", out_.warnings);
    Items()[ItemId::kNotice] = text.empty() ? kPlaceholder : std::move(text);
  }

  void AddUpdatePolicy() {
    if (config_.onUpdate && !(config_.optionFlags & OPT_SAVED_STATE)) {
      Warn("onUpdate has no effect without options.savedState: the application keeps no saved workbook");
    }
    Items()[ItemId::kUpdatePolicy] = WriteUpdatePolicy(config_.onUpdate.value_or(kDefaultUpdatePolicy));
  }

  // The launcher ignores an empty override, so one is left out of the table.
  void AddTexts() {
    std::map<int32_t, std::string> texts;
    for (const auto& [key, text] : config_.texts) {
      if (text.empty()) {
        Warn("texts." + std::to_string(key) + ": empty, so it is left out and the built-in text stays in force");
      } else {
        texts.emplace(key, text);
      }
    }
    Items()[ItemId::kTextOverrides] = texts.empty() ? kPlaceholder : WriteTextOverrides(texts);
  }

  const PackConfig& config_;
  const AddInKit& kit_;
  const PackOptions& options_;
  AppItems& out_;
};

}  // namespace

std::string WorkbookDigest(const std::string& storedWorkbookItem) {
  return crypto::Sha512(storedWorkbookItem).substr(0, 16);
}

std::string BuildSettingsRecord(const PackConfig& config, double packTime) {
  AppSettingsRecord record;
  record.appVersion = uint32_t{config.version[0]} << 24 | uint32_t{config.version[1]} << 16 |
                      uint32_t{config.version[2]} << 8;
  record.optionFlags = config.optionFlags;
  record.packTime = packTime;
  record.workbookFormat = config.workbookFormat;
  record.appTitle = Utf8ToUtf16(config.title);
  record.appInfo = Utf8ToUtf16(config.info);
  record.authorContact = Utf8ToUtf16(config.authorContact);
  record.startPassword = Utf8ToUtf16(config.password);
  return WriteAppSettings(record);
}

AddInKit AuthorKit(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) throw BadInput(PathToUtf8(folder), "the add-in kit folder does not exist");
  return {folder / "addin-x86.dll", folder / "addin-x64.dll", folder};
}

AppItems BuildAppItems(const PackConfig& config, const AddInKit& kit, double packTime, const PackOptions& options) {
  AppItems out;
  ItemBuilder(config, kit, options, out).Build(packTime);
  return out;
}
