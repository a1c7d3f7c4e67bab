#include "core/text/message_texts.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "core/encoding/text_code.h"
#include "core/encoding/utf.h"

namespace {

struct StoredText {
  int id;
  const char* stored;
};

// Constant tables need no run-time construction, so texts are available to every
// static constructor regardless of initialisation order.
#include "core/text/message_texts_table.inc"

const char* FindStored(int id, TextTable table) {
  const StoredText* begin = table == TextTable::Main ? std::begin(kMainTable) : std::begin(kSecondTable);
  const StoredText* end = table == TextTable::Main ? std::end(kMainTable) : std::end(kSecondTable);
  const StoredText* row =
      std::lower_bound(begin, end, id, [](const StoredText& r, int wanted) { return r.id < wanted; });
  return row != end && row->id == id ? row->stored : nullptr;
}

}  // namespace

std::string GetTextUtf8(int id, TextTable table) {
  std::string bytes;
  const char* stored = FindStored(id, table);
  if (stored == nullptr) return bytes;
  DecodeTextCode(stored, bytes);
  const size_t zero = bytes.find('\0');
  if (zero != std::string::npos) bytes.resize(zero);
  return bytes;
}

std::u16string GetText(int id, TextTable table) { return Utf8ToUtf16(GetTextUtf8(id, table)); }

std::u16string ResidentEventName(uint32_t processId) {
  char name[512] = {};
  std::snprintf(name, sizeof name, GetTextUtf8(TextId::kResidentEventFormat).c_str(), static_cast<unsigned>(processId));
  return Utf8ToUtf16(name);
}
