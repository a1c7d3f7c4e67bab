#pragma once
// The names a PE file exports, read from its export directory through the checked reads
// of PeImage: a directory that points outside the file reads as no names at all.
#include <string>
#include <vector>

#include "packer/pe_image.h"

std::vector<std::string> ExportedNames(const PeImage& image);
bool ExportsName(const PeImage& image, const std::string& name);
