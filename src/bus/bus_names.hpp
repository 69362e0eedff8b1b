// The names under which a running Tilewise answers on the session bus,
// shared by the program and tilewisectl. No sd-bus here.
#pragma once

#include <string>
#include <string_view>

namespace tilewise::bus {

// One well-known name per X display, so that tilewisectl reaches the
// Tilewise of its own $DISPLAY: this prefix and the encoded display.
inline constexpr std::string_view namePrefix = "org.tilewise.Tilewise.";
inline constexpr const char* objectPath = "/org/tilewise/Tilewise";
// Versioned: an incompatible change gets Tilewise2.
inline constexpr const char* interfaceName = "org.tilewise.Tilewise1";

inline constexpr const char* unknownOperationError = "org.tilewise.Tilewise1.Error.UnknownOperation";
inline constexpr const char* noFocusedWindowError = "org.tilewise.Tilewise1.Error.NoFocusedWindow";
inline constexpr const char* unknownActionError = "org.tilewise.Tilewise1.Error.UnknownAction";
inline constexpr const char* unknownPageError = "org.tilewise.Tilewise1.Error.UnknownPage";
inline constexpr const char* invalidOperationsError = "org.tilewise.Tilewise1.Error.InvalidOperations";
inline constexpr const char* invalidPositionError = "org.tilewise.Tilewise1.Error.InvalidPosition";

// The display as a bus name element: "d", then every ASCII letter and
// digit as it is and every other byte as "_" and two lowercase hex digits.
// ":0" is "d_3a0", "localhost:10.0" is "dlocalhost_3a10_2e0". The "d"
// keeps it from starting with a digit; "_" is itself escaped, so two
// displays never share a name. The display is taken as written: ":0" and
// ":0.0" are different names.
std::string encodeDisplay(std::string_view display);

// namePrefix + encodeDisplay(display).
std::string busNameForDisplay(std::string_view display);

} // namespace tilewise::bus
