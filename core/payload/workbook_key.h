#pragma once
// The workbook key item: the password that opens the packaged workbook, stored so that no
// byte of it is printable text (neither UTF-8 nor UTF-16 shows up to `strings`). This is a
// mask, not encryption: the launcher holds everything needed to unmask it.
#include <optional>
#include <string>
#include <string_view>

// The password is printable ASCII (the packer makes it so); anything else is refused.
std::string MaskWorkbookKey(std::string_view password);

// nullopt when the item is not a masked password (wrong size, a byte that unmasks to a
// character outside printable ASCII).
std::optional<std::string> UnmaskWorkbookKey(std::string_view item);
