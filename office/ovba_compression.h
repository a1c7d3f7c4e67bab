#pragma once
// The run-length compression of VBA projects (MS-OVBA 2.4.1): a compressed container is
// a signature byte 0x01 followed by chunks, each of which decompresses to at most 4096
// bytes and is stored either as tokens (literals and copy tokens) or raw.
#include <cstdint>
#include <string>
#include <string_view>

std::string OvbaCompress(std::string_view data);

// Throws LoaderFormatError when the container is malformed or would grow past `limit`
// bytes (a few compressed bytes can stand for a whole 4096-byte chunk).
std::string OvbaDecompress(std::string_view container, size_t limit = SIZE_MAX);
