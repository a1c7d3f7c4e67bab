// Writes the VBA project storage of a workbook whose modules are all document modules.
// The project is stored as source only: VBA/_VBA_PROJECT has the version-independent
// header and no compiled code, and each module's source starts its stream.
#include <cstdint>

#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"
#include "office/ovba_compression.h"
#include "office/vba_project.h"

namespace {

// A fixed project id and fixed obfuscation bytes keep the output reproducible.
constexpr char kProjectId[] = "{5D4C2A3E-1B7F-4E28-9C61-0A8F3B2D7E45}";
constexpr char kProjectName[] = "VBAProject";
constexpr uint8_t kSeed = 0x35;  // (seed & 6) / 2 = 2 ignored bytes
constexpr uint32_t kLcidEnglishUs = 0x0409;
constexpr uint16_t kCodePageWestern = 1252;
constexpr uint32_t kSysKindWin32 = 1;

std::string Utf16Le(const std::string& text) { return StringToUtf16LeBytes(Utf8ToUtf16(text)); }

// Data Encryption of the PROJECT stream (MS-OVBA 2.4.3.2), as upper-case hexadecimal.
// It only obfuscates: each byte is mixed with the two encrypted bytes before it.
std::string Obfuscated(const std::string& data) {
  uint8_t projKey = 0;
  for (char c : std::string(kProjectId)) projKey = static_cast<uint8_t>(projKey + static_cast<uint8_t>(c));
  const uint8_t versionEnc = kSeed ^ 2;
  const uint8_t projKeyEnc = kSeed ^ projKey;
  std::string out = {static_cast<char>(kSeed), static_cast<char>(versionEnc), static_cast<char>(projKeyEnc)};
  uint8_t unencrypted1 = projKey;
  uint8_t encrypted1 = projKeyEnc;
  uint8_t encrypted2 = versionEnc;
  auto encrypt = [&](uint8_t byte) {
    const uint8_t encrypted = static_cast<uint8_t>(byte ^ ((encrypted2 + unencrypted1) & 0xFF));
    out += static_cast<char>(encrypted);
    encrypted2 = encrypted1;
    encrypted1 = encrypted;
    unencrypted1 = byte;
  };
  for (int i = 0; i < (kSeed & 6) / 2; ++i) encrypt(0);
  std::string length;
  AppendU32(length, static_cast<uint32_t>(data.size()));
  for (char c : length + data) encrypt(static_cast<uint8_t>(c));
  static const char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : out) hex += {kHex[c >> 4], kHex[c & 15]};
  return hex;
}

std::string ProjectStream(const std::vector<VbaModule>& modules) {
  std::string text = std::string("ID=\"") + kProjectId + "\"\r\n";
  for (const VbaModule& module : modules) text += "Document=" + module.name + "/&H00000000\r\n";
  text += std::string("Name=\"") + kProjectName + "\"\r\nHelpContextID=\"0\"\r\nVersionCompatible32=\"393222000\"\r\n";
  text += "CMG=\"" + Obfuscated(std::string(4, '\0')) + "\"\r\n";  // not protected
  text += "DPB=\"" + Obfuscated(std::string(1, '\0')) + "\"\r\n";  // no password
  text += "GC=\"" + Obfuscated(std::string(1, '\xFF')) + "\"\r\n";  // visible
  text += "\r\n[Host Extender Info]\r\n&H00000001={3832D640-CF90-11CF-8E43-00A0C911005A};VBE;&H00000000\r\n";
  text += "\r\n[Workspace]\r\n";
  for (const VbaModule& module : modules) text += module.name + "=0, 0, 0, 0, C\r\n";
  return text;
}

// The module names in code page 1252 and in UTF-16, each zero-terminated.
std::string NameMapStream(const std::vector<VbaModule>& modules) {
  std::string map;
  for (const VbaModule& module : modules) map += module.name + '\0' + Utf16Le(module.name) + std::string(2, '\0');
  return map + std::string(2, '\0');
}

void Record(std::string& out, uint16_t id, const std::string& payload) {
  AppendU16(out, id);
  AppendU32(out, static_cast<uint32_t>(payload.size()));
  out += payload;
}

std::string U16(uint16_t value) {
  std::string bytes;
  AppendU16(bytes, value);
  return bytes;
}

std::string U32(uint32_t value) {
  std::string bytes;
  AppendU32(bytes, value);
  return bytes;
}

// The dir stream's records (MS-OVBA 2.3.4.2) before compression: project information,
// no references, then the modules.
std::string DirStream(const std::vector<VbaModule>& modules) {
  std::string dir;
  Record(dir, 0x0001, U32(kSysKindWin32));
  Record(dir, 0x0002, U32(kLcidEnglishUs));
  Record(dir, 0x0014, U32(kLcidEnglishUs));  // LCID for Invoke
  Record(dir, 0x0003, U16(kCodePageWestern));
  Record(dir, 0x0004, kProjectName);
  Record(dir, 0x0005, "");                   // doc string and its UTF-16 twin
  Record(dir, 0x0040, "");
  Record(dir, 0x0006, "");                   // help file, twice
  Record(dir, 0x003D, "");
  Record(dir, 0x0007, U32(0));               // help context
  Record(dir, 0x0008, U32(0));               // library flags
  // PROJECTVERSION: its size field is fixed at 4 though six bytes follow.
  AppendU16(dir, 0x0009);
  AppendU32(dir, 4);
  AppendU32(dir, 1);                         // major
  AppendU16(dir, 0);                         // minor
  Record(dir, 0x000C, "");                   // constants and their UTF-16 twin
  Record(dir, 0x003C, "");
  Record(dir, 0x000F, U16(static_cast<uint16_t>(modules.size())));
  Record(dir, 0x0013, U16(0xFFFF));          // project cookie
  for (const VbaModule& module : modules) {
    Record(dir, 0x0019, module.name);
    Record(dir, 0x0047, Utf16Le(module.name));
    Record(dir, 0x001A, module.name);        // stream name and its UTF-16 twin
    Record(dir, 0x0032, Utf16Le(module.name));
    Record(dir, 0x001C, "");                 // doc string and its UTF-16 twin
    Record(dir, 0x0048, "");
    Record(dir, 0x0031, U32(0));             // the source starts the stream
    Record(dir, 0x001E, U32(0));             // help context
    Record(dir, 0x002C, U16(0xFFFF));        // module cookie
    Record(dir, 0x0022, "");                 // a document module
    Record(dir, 0x002B, "");                 // end of module
  }
  Record(dir, 0x0010, "");                   // end of dir
  return dir;
}

// Reserved1 0x61CC, Version 0xFFFF (no compiled code: compile from source), Reserved2
// 0x00, Reserved3 0.
std::string VersionIndependentProjectStream() { return std::string("\xCC\x61\xFF\xFF\x00\x00\x00", 7); }

}  // namespace

std::vector<CfbEntry> WriteVbaProject(const std::vector<VbaModule>& modules) {
  std::vector<CfbEntry> vba = {CfbEntry::Stream("dir", OvbaCompress(DirStream(modules))),
                               CfbEntry::Stream("_VBA_PROJECT", VersionIndependentProjectStream())};
  for (const VbaModule& module : modules) vba.push_back(CfbEntry::Stream(module.name, OvbaCompress(module.source)));
  return {CfbEntry::Stream("PROJECT", ProjectStream(modules)), CfbEntry::Stream("PROJECTwm", NameMapStream(modules)),
          CfbEntry::Storage("VBA", std::move(vba))};
}
