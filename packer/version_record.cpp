// Each node of a version record is: length, value length, type (0 binary, 1 text), a
// zero-terminated UTF-16 key, padding to 4 bytes, the value, then its children, each
// starting on a 4-byte boundary. A node's length leaves out padding after its end.
#include "packer/version_record.h"

#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"

namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFixedInfoVersion = 0x00010000;
constexpr uint32_t kFileFlagsMask = 0x3F;
constexpr uint32_t kFileOsNtWindows32 = 0x00040004;
constexpr uint32_t kFileTypeApp = 1;
constexpr uint16_t kBinary = 0;
constexpr uint16_t kText = 1;

void PadTo4(std::string& out) { out.resize((out.size() + 3) & ~size_t{3}, '\0'); }

std::string Node(std::u16string_view key, uint16_t type, std::string_view value, uint16_t valueLength,
                 const std::vector<std::string>& children = {}) {
  std::string out;
  AppendU16(out, 0);
  AppendU16(out, valueLength);
  AppendU16(out, type);
  out += StringToUtf16LeBytes(key);
  AppendU16(out, 0);
  PadTo4(out);
  out += value;
  for (const std::string& child : children) {
    PadTo4(out);
    out += child;
  }
  StoreU16At(out, 0, static_cast<uint16_t>(out.size()));
  return out;
}

std::string TextNode(const std::u16string& key, const std::u16string& value) {
  std::string bytes = StringToUtf16LeBytes(value);
  AppendU16(bytes, 0);
  return Node(key, kText, bytes, static_cast<uint16_t>(value.size() + 1));
}

std::string FixedInfo(const std::array<uint16_t, 4>& version) {
  const uint32_t high = uint32_t{version[0]} << 16 | version[1];
  const uint32_t low = uint32_t{version[2]} << 16 | version[3];
  std::string out;
  for (uint32_t value : {kFixedInfoSignature, kFixedInfoVersion, high, low, high, low, kFileFlagsMask, 0u,
                         kFileOsNtWindows32, kFileTypeApp, 0u, 0u, 0u}) {
    AppendU32(out, value);
  }
  return out;
}

}  // namespace

std::string WriteVersionRecord(const VersionRecordFields& fields) {
  std::vector<std::string> strings;
  for (const auto& [key, value] : fields.strings) strings.push_back(TextNode(key, value));
  std::string stringTable = Node(u"040904B0", kText, {}, 0, strings);
  std::string stringFileInfo = Node(u"StringFileInfo", kText, {}, 0, {stringTable});

  std::string translation;
  AppendU16(translation, 0x0409);  // English (United States)
  AppendU16(translation, 1200);    // Unicode
  std::string var = Node(u"Translation", kBinary, translation, 4);
  std::string varFileInfo = Node(u"VarFileInfo", kText, {}, 0, {var});

  std::string fixed = FixedInfo(fields.fileVersion);
  return Node(u"VS_VERSION_INFO", kBinary, fixed, static_cast<uint16_t>(fixed.size()),
              {stringFileInfo, varFileInfo});
}
