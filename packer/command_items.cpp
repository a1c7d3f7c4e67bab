// sheetpack extract and put: one packed item out of or into an executable, byte for byte.
#include <ostream>
#include <system_error>

#include "core/payload/packed_item.h"
#include "packer/app_executable.h"
#include "packer/app_items.h"
#include "packer/cli.h"
#include "packer/cli_args.h"
#include "packer/file_io.h"
#include "packer/item_table.h"
#include "packer/output_target.h"
#include "packer/pack_error.h"
#include "packer/put_item.h"
#include "packer/put_workbook.h"
#include "packer/size_limits.h"

namespace fs = std::filesystem;

namespace {

const CommandSpec kExtract = {
    "extract",
    "usage: sheetpack extract APP.exe ID [-o FILE] [--raw] [-q|-v]\n"
    "\n"
    "Writes packed item ID as the launcher reads it: unpacked when it is a container\n"
    "that unpacks, else its stored bytes. To standard output unless -o is given.\n"
    "\n"
    "  -o FILE   write the item to FILE (a regular file, replaced atomically)\n"
    "  --raw     the stored bytes, never unpacked\n",
    2, 2, {"--raw"}, {"-o"}};

const CommandSpec kPut = {
    "put",
    "usage: sheetpack put APP.exe ID FILE [--raw|--packed] [--strip-signature] [-q|-v]\n"
    "\n"
    "Stores FILE as packed item ID of APP.exe, which is rewritten in place (atomically).\n"
    "The item keeps its language (US English for a new item).\n"
    "\n"
    "  --packed           store a container of FILE\n"
    "  --raw              store FILE's bytes unchanged\n"
    "  --strip-signature  accept a signed executable and drop its signature\n"
    "\n"
    "Without --raw or --packed, a FILE that already is a container is stored unchanged;\n"
    "otherwise the items the launcher unpacks (1018, 1020, 1025, 1027, 1043, 1045) are\n"
    "packed and the others stored plain. So `extract` followed by `put` of the same\n"
    "file gives back the same item. Item 1020 is the workbook marker and the workbook:\n"
    "a workbook FILE without the marker gets it, unless --raw is given; an application\n"
    "whose workbook is encrypted gets it encrypted with its own password. An empty FILE\n"
    "is refused.\n",
    3, 3, {"--raw", "--packed", "--strip-signature"}, {}};

LanguageTable* FindItem(ResourceTree& tree, uint32_t id) {
  auto type = tree.find(ResourceName(PackedItemType()));
  if (type == tree.end()) return nullptr;
  auto item = type->second.find(ResourceName(id));
  return item == type->second.end() || item->second.empty() ? nullptr : &item->second;
}

}  // namespace

void RunExtract(const std::vector<std::string>& argv, CommandContext& context) {
  const ParsedArgs args = ParseArgs(kExtract, argv, context);
  if (args.help) {
    context.out << kExtract.help;
    return;
  }
  const fs::path file = PathFromUtf8(args.positional[0]);
  const uint32_t id = ParseItemId(kExtract, args.positional[1]);
  LoadedExecutable executable = LoadExecutable(file);
  LanguageTable* item = FindItem(executable.tree, id);
  if (!item) throw BadInput(PathToUtf8(file), "has no packed item " + std::to_string(id));

  // US English first: the packer stores every item under it.
  auto chosen = item->find(kLanguageEnglishUs);
  std::string bytes = (chosen != item->end() ? chosen : item->begin())->second.bytes;
  if (!args.Has("--raw")) InflatePackedItem(bytes);
  if (auto output = args.Value("-o")) {
    std::error_code error;
    if (fs::equivalent(PathFromUtf8(*output), file, error)) {
      throw BadInput(*output, "is the executable the item is read from; write the item to another file");
    }
    RefuseOwnFileTarget(PathFromUtf8(*output), context.executable);
    WriteFileAtomically(PathFromUtf8(*output), bytes);
    context.Say(*output + ": item " + std::to_string(id) + " (" + ItemName(id) + "), " + std::to_string(bytes.size()) +
                " bytes written");
  } else {
    context.out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    context.out.flush();
    if (!context.out) throw PackingFailed("standard output", "write failed");
  }
}

void RunPut(const std::vector<std::string>& argv, CommandContext& context) {
  const ParsedArgs args = ParseArgs(kPut, argv, context);
  if (args.help) {
    context.out << kPut.help;
    return;
  }
  if (args.Has("--raw") && args.Has("--packed")) {
    throw BadInput("put", "--raw and --packed exclude each other (see sheetpack put --help)");
  }
  const fs::path file = PathFromUtf8(args.positional[0]);
  const uint32_t id = ParseItemId(kPut, args.positional[1]);
  const std::string source = args.positional[2];
  CheckItemFileSize(PathFromUtf8(source), id == ItemId::kWorkbook ? sizeof kWorkbookMarker : 0);
  std::string content = ReadFileBytes(PathFromUtf8(source));
  // The launcher reads a 0-byte item as a missing one.
  if (content.empty()) throw BadInput(source, "is empty (0 bytes); an item needs at least one byte");
  // --raw is how a damaged item is planted on purpose: it is stored unchecked.
  std::vector<std::string> warnings;
  std::optional<int32_t> workbookFormat;
  std::optional<LoadedExecutable> loaded;
  bool pack = ItemIsPacked(id) && !HasContainerMagic(content);
  std::optional<std::string> password;
  if (id == ItemId::kWorkbook && !args.Has("--raw")) {
    loaded = LoadExecutable(file);
    password = ApplicationPassword(loaded->tree, PathToUtf8(file));
  }
  if (password) {
    PutWorkbook workbook = EncryptPutWorkbook(source, content, *password, warnings);
    content = MarkWorkbook(workbook.encrypted);
    workbookFormat = workbook.format;
    pack = false;  // an encrypted workbook does not compress
  } else if (!args.Has("--raw")) {
    workbookFormat = CheckPutItem(id, source, content, warnings);
  }
  for (const std::string& warning : warnings) context.Warn(warning);
  const LoadedExecutable executable = loaded ? std::move(*loaded) : LoadExecutable(file);

  if (args.Has("--raw")) pack = false;
  if (args.Has("--packed")) pack = true;
  // A workbook item without its marker reaches the host as an empty workbook file, so
  // a workbook gets the marker the launcher looks for.
  if (id == ItemId::kWorkbook && pack && !HasWorkbookMarker(content)) content = MarkWorkbook(content);
  ResourceTree tree = executable.tree;
  if (workbookFormat) {
    const int32_t format = *workbookFormat;
    if (auto old = SetWorkbookFormat(tree, PathToUtf8(file), format)) {
      context.Note("item 1100: workbook format " + std::to_string(*old) + " becomes " + std::to_string(format));
    }
  }
  // The language extract reads: US English when present, else the item's first.
  LanguageTable* item = FindItem(tree, id);
  uint32_t language = kLanguageEnglishUs;
  if (item && !item->count(kLanguageEnglishUs)) language = item->begin()->first;
  const std::string stored = pack ? PackItem(content) : content;
  tree[ResourceName(PackedItemType())][ResourceName(id)][language] = {stored, 0};
  if (id == ItemId::kWorkbook) {
    // A workbook put in is a new one: the next update asks the user again.
    tree[ResourceName(PackedItemType())][ResourceName(ItemId::kWorkbookDigest)][kLanguageEnglishUs] = {
        WorkbookDigest(stored), 0};
  }
  context.Note("item " + std::to_string(id) + ": " + (pack ? "packed" : "stored unchanged"));
  const size_t written = SaveExecutable(executable, tree, file, args.Has("--strip-signature"), context);
  context.Say(PathToUtf8(file) + ": item " + std::to_string(id) + " (" + ItemName(id) + ") replaced, " +
              std::to_string(written) + " bytes written");
}
