// Packed items as they come out of the executable's resources: a container header that
// may claim anything, followed by a zlib stream that may be cut short or corrupt; and
// the splash item's own rule on top.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "core/encoding/byte_io.h"
#include "core/payload/packed_item.h"
#include "launcher/ui/splash_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string item(reinterpret_cast<const char*>(data), size);

  std::string unpacked;
  const bool unpacks = UnpackContainer(item, unpacked);
  if (unpacks) {
    // The header's inflated size bounds the output; a stream that says more fails.
    FUZZ_CHECK(HasContainerMagic(item));
    FUZZ_CHECK(unpacked.size() <= ReadU32At(item, 16));
  } else {
    FUZZ_CHECK(unpacked.empty());
  }

  std::string buffer = item;
  const bool inflated = InflatePackedItem(buffer);
  FUZZ_CHECK(inflated == !buffer.empty());
  FUZZ_CHECK(buffer == (unpacks ? unpacked : item));

  // Whatever an item holds, packing it again must give it back unchanged.
  if (!item.empty()) {
    std::string again;
    FUZZ_CHECK(UnpackContainer(PackItem(item), again));
    FUZZ_CHECK(again == item);
  }
  // The splash picture: nothing from 10 bytes or fewer or from a container that does
  // not unpack, any other item as it stands.
  const std::string picture = SplashPictureBytes(item);
  if (item.size() <= 10) {
    FUZZ_CHECK(picture.empty());
  } else if (!HasContainerMagic(item)) {
    FUZZ_CHECK(picture == item);
  } else {
    FUZZ_CHECK(picture == unpacked);
  }
  return 0;
}
