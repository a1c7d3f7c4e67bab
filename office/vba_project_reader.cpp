// Reads the module sources of a VBA project through its dir stream: the stream name and
// source offset of each module come from there, not from the stream names themselves.
#include <set>

#include "core/encoding/byte_io.h"
#include "office/loader_format_error.h"
#include "office/ovba_compression.h"
#include "office/vba_project.h"

namespace {

// Far more source than any real project holds; what a damaged or hostile project may make
// the reader allocate.
constexpr size_t kMaxProjectSource = size_t{32} << 20;

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

struct ModuleRecord {
  std::string name;
  std::string streamName;
  uint32_t offset = 0;
};

constexpr uint16_t kProjectVersion = 0x0009;
constexpr uint16_t kModuleName = 0x0019;
constexpr uint16_t kModuleStreamName = 0x001A;
constexpr uint16_t kModuleOffset = 0x0031;
constexpr uint16_t kModuleEnd = 0x002B;
constexpr uint16_t kDirEnd = 0x0010;

std::vector<ModuleRecord> ModuleRecords(const std::string& dir) {
  std::vector<ModuleRecord> modules;
  ModuleRecord current;
  ByteReader reader(dir);
  while (!reader.AtEnd()) {
    if (reader.Remaining() < 6) throw LoaderFormatError("VBA/dir: a record header is cut off");
    const uint16_t id = reader.U16();
    // PROJECTVERSION's size field says 4, but six bytes follow.
    const uint32_t size = id == kProjectVersion ? 6 : reader.U32();
    if (id == kProjectVersion) reader.Skip(4);
    if (reader.Remaining() < size) throw LoaderFormatError("VBA/dir: a record is cut off");
    const std::string_view payload = reader.Take(size);
    switch (id) {
      case kModuleName: current.name = payload; break;
      case kModuleStreamName: current.streamName = payload; break;
      case kModuleOffset: current.offset = ReadU32At(payload, 0); break;
      case kModuleEnd:
        modules.push_back(current);
        current = {};
        break;
      case kDirEnd: return modules;
      default: break;
    }
  }
  throw LoaderFormatError("VBA/dir: no end record");
}

}  // namespace

std::vector<VbaModule> ReadVbaModules(const CfbEntry& projectStorage) {
  const CfbEntry* dir = projectStorage.Find("VBA/dir");
  if (!dir || dir->storage) throw LoaderFormatError("no VBA/dir stream");
  std::vector<VbaModule> modules;
  std::set<std::string> streamNames;
  size_t sourceLeft = kMaxProjectSource;
  for (const ModuleRecord& record : ModuleRecords(OvbaDecompress(dir->data, kMaxProjectSource))) {
    // A stream read for two modules would be decompressed twice: a small file could then
    // stand for any amount of source.
    if (!streamNames.insert(UpperAscii(record.streamName)).second) {
      throw LoaderFormatError("VBA/dir: the stream " + record.streamName + " is named by two modules");
    }
    const CfbEntry* stream = projectStorage.Find("VBA/" + record.streamName);
    if (!stream || stream->storage) throw LoaderFormatError("no stream VBA/" + record.streamName + " for module " + record.name);
    if (record.offset > stream->data.size()) throw LoaderFormatError("VBA/" + record.streamName + ": source offset past its end");
    std::string source = OvbaDecompress(std::string_view(stream->data).substr(record.offset), sourceLeft);
    sourceLeft -= source.size();
    modules.push_back({record.name, std::move(source)});
  }
  return modules;
}

std::vector<VbaModule> ReadWorkbookModules(std::string_view xls) {
  const CfbEntry root = ReadCompoundFile(xls);
  const CfbEntry* project = root.Find(kVbaProjectStorage);
  if (!project || !project->storage) throw LoaderFormatError("no VBA project storage (_VBA_PROJECT_CUR)");
  return ReadVbaModules(*project);
}
