#pragma once
// Small PE images made in memory for the packer's tests: headers, a section table and
// section data, laid out the way linkers do it (sections one after the other, raw data
// and addresses aligned).
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/encoding/byte_io.h"
#include "packer/pe_image.h"

struct FixtureSection {
  std::string name;
  std::string raw;
  uint32_t virtualSize = 0;  // 0: the raw data's size
  uint32_t characteristics = 0x40000040;
};

struct FixtureImage {
  bool pe32Plus = true;
  uint32_t sectionAlignment = 0x1000;
  uint32_t fileAlignment = 0x200;
  uint32_t sizeOfHeaders = 0x400;
  std::vector<FixtureSection> sections;
  std::map<size_t, std::pair<uint32_t, uint32_t>> directories;  // index -> rva, size
  std::string overlay;

  // Sections follow each other from the first aligned address after the headers.
  uint32_t SectionRva(size_t index) const {
    uint64_t rva = AlignUp(sizeOfHeaders, sectionAlignment);
    for (size_t i = 0; i < index; ++i) {
      const FixtureSection& s = sections[i];
      rva = AlignUp(rva + (s.virtualSize ? s.virtualSize : s.raw.size()), sectionAlignment);
    }
    return static_cast<uint32_t>(rva);
  }

  std::string Build() const {
    const size_t peOffset = 0x80;
    const size_t optionalSize = pe32Plus ? 240 : 224;
    std::string out(sizeOfHeaders, '\0');
    out[0] = 'M';
    out[1] = 'Z';
    StoreU32At(out, 0x3C, peOffset);
    out.replace(peOffset, 4, std::string("PE\0\0", 4));
    const size_t coff = peOffset + 4;
    StoreU16At(out, coff, pe32Plus ? kMachineAmd64 : kMachineI386);
    StoreU16At(out, coff + 2, static_cast<uint16_t>(sections.size()));
    StoreU16At(out, coff + 16, static_cast<uint16_t>(optionalSize));
    StoreU16At(out, coff + 18, 0x0022);
    const size_t optional = coff + 20;
    StoreU16At(out, optional, pe32Plus ? 0x20B : 0x10B);
    StoreU32At(out, optional + 32, sectionAlignment);
    StoreU32At(out, optional + 36, fileAlignment);
    StoreU32At(out, optional + 60, sizeOfHeaders);
    StoreU16At(out, optional + 68, 2);
    const size_t directoriesAt = optional + (pe32Plus ? 112 : 96);
    StoreU32At(out, directoriesAt - 4, 16);
    for (const auto& [index, entry] : directories) {
      StoreU32At(out, directoriesAt + 8 * index, entry.first);
      StoreU32At(out, directoriesAt + 8 * index + 4, entry.second);
    }

    uint32_t initialized = 0;
    uint64_t imageEnd = sizeOfHeaders;
    for (size_t i = 0; i < sections.size(); ++i) {
      const FixtureSection& s = sections[i];
      const uint32_t rawOffset = static_cast<uint32_t>(AlignUp(out.size(), fileAlignment));
      const uint32_t rawSize = static_cast<uint32_t>(AlignUp(s.raw.size(), fileAlignment));
      out.resize(rawOffset, '\0');
      out += s.raw;
      out.resize(rawOffset + size_t{rawSize}, '\0');
      const size_t header = optional + optionalSize + i * kSectionHeaderSize;
      const std::string name = s.name.substr(0, 8);
      out.replace(header, name.size(), name);
      const uint32_t virtualSize = s.virtualSize ? s.virtualSize : static_cast<uint32_t>(s.raw.size());
      StoreU32At(out, header + 8, virtualSize);
      StoreU32At(out, header + 12, SectionRva(i));
      StoreU32At(out, header + 16, s.raw.empty() ? 0 : rawSize);
      StoreU32At(out, header + 20, s.raw.empty() ? 0 : rawOffset);
      StoreU32At(out, header + 36, s.characteristics);
      if (s.characteristics & 0x40) initialized += rawSize;
      imageEnd = SectionRva(i) + uint64_t{virtualSize};
    }
    StoreU32At(out, optional + 8, initialized);
    StoreU32At(out, optional + 56, static_cast<uint32_t>(AlignUp(imageEnd, sectionAlignment)));
    return out + overlay;
  }
};
