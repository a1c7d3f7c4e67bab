#pragma once
// The resource directory of a PE file: read from data directory 2 of an image, and
// written as the whole content of a resource section.
#include <cstdint>
#include <string>

#include "packer/byte_runs.h"
#include "packer/pe_image.h"
#include "packer/resource_tree.h"

// The image's resources; empty when it has none. Throws PeFormatError for a directory
// that is truncated, points outside the file, loops back on itself or is deeper than
// three levels.
ResourceTree ReadResourceTree(const PeImage& image);

// The directory tables, data entries, names and data of `tree`, for a section whose
// first byte has the RVA `sectionRva`. Time stamps are 0, so equal trees give equal bytes.
std::string WriteResourceSection(const ResourceTree& tree, uint32_t sectionRva);
// The same section with the resources' data held by reference: `tree` must outlive it.
ByteRuns WriteResourceSectionRuns(const ResourceTree& tree, uint32_t sectionRva);
