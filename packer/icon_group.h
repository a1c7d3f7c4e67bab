#pragma once
// The application's icon: an .ico file becomes the executable's first icon group
// (the one Explorer shows and the launcher hands to the host's window).
#include <stdexcept>
#include <string_view>

#include "packer/resource_tree.h"

class IconFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Replaces the first icon group and the icon images it refers to by the images of
// `icoFile`, keeping the group's name and language (1 and US English when the tree has
// no icon group). Throws IconFormatError for a file that is not a well-formed .ico.
void ReplaceFirstIconGroup(ResourceTree& tree, std::string_view icoFile);
