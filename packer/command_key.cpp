// sheetpack key: the key file back from a shipped executable. Every executable of an
// application carries its identity (item 1240) and, when its workbook is encrypted, its
// password (item 1210, masked): together they are the key file, so an author who lost
// theirs can go on building versions of the same application.
#include "core/payload/app_identity.h"
#include "core/payload/item_ids.h"
#include "core/payload/packed_item.h"
#include "core/payload/workbook_key.h"
#include "packer/app_executable.h"
#include "packer/cli.h"
#include "packer/cli_args.h"
#include "packer/file_io.h"
#include "packer/key_file.h"
#include "packer/pack_error.h"

namespace fs = std::filesystem;

namespace {

const CommandSpec kKey = {
    "key",
    "usage: sheetpack key APP.exe -o CONFIG.sheetpack-key [-q|-v]\n"
    "\n"
    "Recovers the application's key file from an executable built with it, so that the\n"
    "next version is the same application (its users' saved states open). The file is\n"
    "written readable by you alone and never over an existing file.\n"
    "\n"
    "  -o FILE   the key file to write; name it after the configuration\n"
    "            (app.json: app.sheetpack-key)\n",
    1, 1, {}, {"-o"}};

// The item as the launcher reads it, or empty.
std::string Item(const NameTable* items, int id) {
  if (!items) return std::string();
  auto item = items->find(ResourceName(static_cast<uint32_t>(id)));
  if (item == items->end() || item->second.empty()) return std::string();
  std::string bytes = item->second.begin()->second.bytes;
  InflatePackedItem(bytes);
  return bytes;
}

}  // namespace

void RunKey(const std::vector<std::string>& argv, CommandContext& context) {
  const ParsedArgs args = ParseArgs(kKey, argv, context);
  if (args.help) {
    context.out << kKey.help;
    return;
  }
  const std::optional<std::string> output = args.Value("-o");
  if (!output) throw BadInput("key", "missing -o CONFIG.sheetpack-key (see sheetpack key --help)");
  const fs::path target = PathFromUtf8(*output);
  std::error_code error;
  if (fs::exists(fs::symlink_status(target, error))) {
    throw BadInput(*output, "exists already; a key file is never replaced (move it away first if it is not the key "
                            "of this application)");
  }

  const fs::path file = PathFromUtf8(args.positional[0]);
  const LoadedExecutable executable = LoadExecutable(file);
  const NameTable* items = PackedItems(executable.tree);
  const std::optional<std::string> password = UnmaskWorkbookKey(Item(items, ItemId::kWorkbookKey));
  std::optional<std::string> identity = ReadAppIdentityItem(Item(items, ItemId::kAppIdentity));
  // Executables built before there was an identity item: the identity their key file stood for.
  if (!identity && password) identity = IdentityFromPassword(*password);
  if (!identity) {
    throw BadInput(PathToUtf8(file), "carries no application key (its workbook is not encrypted and it keeps no "
                                     "saved state, or it was not built by sheetpack)");
  }
  // Without an encrypted workbook any password serves: the identity is what later
  // versions must share.
  AppKey key = NewAppKey();
  if (password) key.password = *password;
  key.identity = *identity;
  WriteNewKeyFile(target, key);
  context.Say(*output + ": key of the application " + AppFingerprint(key.identity) + " written" +
              (password ? "" : " (the executable's workbook is not encrypted: the password is new)"));
}
