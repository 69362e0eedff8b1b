// A stored shortcut ({"carbonKeyCode":...,"carbonModifiers":...}) as any
// text: it decodes or is refused, and what decodes re-encodes to the same
// shortcut.
#include "shortcuts/keyboard_shortcuts.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using Shortcut = tilewise::KeyboardShortcuts::Shortcut;
    std::string text(reinterpret_cast<const char*>(data), size);
    std::optional<Shortcut> decoded = Shortcut::fromJson(text);
    if (!decoded)
        return 0;
    std::optional<Shortcut> again = Shortcut::fromJson(decoded->toJson());
    if (!again || *again != *decoded)
        std::abort();
    return 0;
}
