#pragma once
// The application's identity: sixteen bytes that every version of one application
// carries (item 1240) and no other application does. It comes from the author's key file,
// so that an update built anywhere from that file is the same application; the user's
// saved state is named after it, not after the executable's path, so that an update
// saved under another name or moved to another folder finds the state of the version
// before it.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

constexpr std::size_t kAppIdentitySize = 16;

// Item 1240 holds the identity's bytes as they are; anything of another size is no identity.
std::optional<std::string> ReadAppIdentityItem(std::string_view item);

// What an author compares: the identity's first eight bytes as four groups of four
// lower-case hex digits, "3f2a-91c0-77de-05b4".
std::string AppFingerprint(std::string_view identity);

// The per-user saved state of the application: "app-" and the whole identity in hex,
// ".vstg".
std::u16string IdentitySavedStateName(std::string_view identity);
