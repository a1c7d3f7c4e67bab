#include "office/ovba_compression.h"

#include <algorithm>
#include <cstdint>

#include "core/encoding/byte_io.h"
#include "office/loader_format_error.h"

namespace {

constexpr char kSignature = 0x01;
constexpr size_t kChunkSize = 4096;
constexpr uint16_t kChunkSignatureBits = 0x3000;
constexpr uint16_t kChunkCompressedFlag = 0x8000;

// A copy token splits its 16 bits into an offset and a length; the further into the
// chunk, the more bits the offset needs. The split depends only on the position.
struct TokenLayout {
  unsigned offsetShift;  // bits kept for the length
  uint16_t lengthMask;
  size_t maximumLength;
};

TokenLayout LayoutAt(size_t positionInChunk) {
  unsigned bitCount = 4;
  while ((size_t{1} << bitCount) < positionInChunk) ++bitCount;
  const unsigned lengthBits = 16 - bitCount;
  const auto mask = static_cast<uint16_t>(0xFFFFu >> bitCount);
  return {lengthBits, mask, size_t{mask} + 3};
}

struct Match {
  size_t offset = 0;
  size_t length = 0;
};

// The longest earlier run within the chunk, the nearest one among equals. A match may
// run on into the bytes it copies, which is how a repeated byte compresses.
Match LongestMatch(std::string_view data, size_t chunkStart, size_t current, size_t end) {
  const size_t maximum = LayoutAt(current - chunkStart).maximumLength;
  Match best;
  for (size_t candidate = current; candidate-- > chunkStart;) {
    size_t length = 0;
    while (current + length < end && length < maximum && data[candidate + length] == data[current + length]) {
      ++length;
    }
    if (length > best.length) best = {current - candidate, length};
  }
  return best.length >= 3 ? best : Match{};
}

// The tokens of one chunk; empty when they would not fit in a chunk, so that the caller
// stores it raw.
std::string CompressTokens(std::string_view data, size_t chunkStart, size_t end) {
  std::string tokens;
  size_t current = chunkStart;
  while (current < end) {
    const size_t flagIndex = tokens.size();
    tokens += '\0';
    for (unsigned token = 0; token < 8 && current < end; ++token) {
      const Match match = LongestMatch(data, chunkStart, current, end);
      if (match.length == 0) {
        tokens += data[current++];
        continue;
      }
      const TokenLayout layout = LayoutAt(current - chunkStart);
      AppendU16(tokens, static_cast<uint16_t>(((match.offset - 1) << layout.offsetShift) | (match.length - 3)));
      tokens[flagIndex] = static_cast<char>(tokens[flagIndex] | (1 << token));
      current += match.length;
    }
    if (tokens.size() > kChunkSize) return {};
  }
  return tokens;
}

void DecompressTokens(std::string_view tokens, std::string& out) {
  const size_t chunkStart = out.size();
  ByteReader reader(tokens);
  while (!reader.AtEnd()) {
    const uint8_t flags = reader.U8();
    for (unsigned token = 0; token < 8 && !reader.AtEnd(); ++token) {
      if (!(flags & (1 << token))) {
        out += static_cast<char>(reader.U8());
        continue;
      }
      if (reader.Remaining() < 2) throw LoaderFormatError("compressed data: a copy token is cut off");
      const uint16_t copy = reader.U16();
      const size_t written = out.size() - chunkStart;
      const TokenLayout layout = LayoutAt(written);
      const size_t offset = static_cast<size_t>(copy >> layout.offsetShift) + 1;
      const size_t length = static_cast<size_t>(copy & layout.lengthMask) + 3;
      if (offset > written) throw LoaderFormatError("compressed data: a copy token reaches before its chunk");
      for (size_t i = 0; i < length; ++i) out += out[out.size() - offset];
    }
  }
  if (out.size() - chunkStart > kChunkSize) throw LoaderFormatError("compressed data: a chunk holds more than 4096 bytes");
}

}  // namespace

std::string OvbaCompress(std::string_view data) {
  std::string out(1, kSignature);
  for (size_t chunkStart = 0; chunkStart < data.size(); chunkStart += kChunkSize) {
    const size_t end = std::min(data.size(), chunkStart + kChunkSize);
    const std::string tokens = CompressTokens(data, chunkStart, end);
    if (!tokens.empty()) {
      AppendU16(out, static_cast<uint16_t>(kChunkCompressedFlag | kChunkSignatureBits | (tokens.size() + 2 - 3)));
      out += tokens;
      continue;
    }
    // A raw chunk always holds 4096 bytes: a short last one is padded with zeros.
    AppendU16(out, static_cast<uint16_t>(kChunkSignatureBits | (kChunkSize + 2 - 3)));
    std::string raw(data.substr(chunkStart, end - chunkStart));
    raw.resize(kChunkSize, '\0');
    out += raw;
  }
  return out;
}

std::string OvbaDecompress(std::string_view container, size_t limit) {
  if (container.empty() || container[0] != kSignature) throw LoaderFormatError("compressed data: no signature byte 0x01");
  std::string out;
  ByteReader reader(container, 1);
  while (!reader.AtEnd()) {
    if (reader.Remaining() < 2) throw LoaderFormatError("compressed data: a chunk header is cut off");
    const uint16_t header = reader.U16();
    if ((header & 0x7000) != kChunkSignatureBits) throw LoaderFormatError("compressed data: bad chunk signature");
    const size_t dataSize = size_t{header & 0x0FFFu} + 3 - 2;
    if (reader.Remaining() < dataSize) throw LoaderFormatError("compressed data: a chunk is cut off");
    const std::string_view chunk = reader.Take(dataSize);
    if (out.size() > limit || limit - out.size() < kChunkSize) {
      throw LoaderFormatError("compressed data: grows past " + std::to_string(limit) + " bytes");
    }
    if (header & kChunkCompressedFlag) {
      DecompressTokens(chunk, out);
    } else if (chunk.size() == kChunkSize) {
      out += chunk;
    } else {
      throw LoaderFormatError("compressed data: a raw chunk does not hold 4096 bytes");
    }
  }
  return out;
}
