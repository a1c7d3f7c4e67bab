#pragma once
// Puts a new resource tree into a PE image and returns the new file. The resource
// section grows in place when nothing but the base relocations follows it (those are
// moved up behind it, as MinGW lays out its executables); otherwise the tree goes into
// a new section at the end. Headers, data directories and the checksum are updated;
// data after the last section (the overlay) is carried over unchanged.
#include <string>

#include "packer/byte_runs.h"
#include "packer/pe_image.h"
#include "packer/resource_tree.h"

enum class ResourcePlacement {
  kInPlace,             // the resource section was last and was rewritten
  kInPlaceMovingReloc,  // rewritten, and the relocation section moved behind it
  kNewSection,          // a new resource section was appended
};

// The new file holds the tree's data by reference: the tree must outlive it.
struct UpdatedImage {
  ByteRuns bytes;
  ResourcePlacement placement;
};

// A signed image is refused (PeFormatError) unless `stripSignature`: a changed file
// would carry a signature that no longer verifies.
UpdatedImage ReplaceResources(const PeImage& image, const ResourceTree& tree, bool stripSignature);

const char* PlacementName(ResourcePlacement placement);
