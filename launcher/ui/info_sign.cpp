#include "launcher/ui/info_sign.h"

namespace {
#include "launcher/ui/info_sign_png.inc"
}  // namespace

std::string_view InfoSignPng() { return std::string_view(reinterpret_cast<const char*>(kInfoSignPng), sizeof kInfoSignPng); }
