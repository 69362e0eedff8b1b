// The settings file as the user's editor may leave it: any bytes must parse
// or be refused, never crash or recurse without bound, and what parsed must
// survive a write unchanged (a write must never lose a member).
#include "settings/file_defaults_store.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string why;
    std::optional<tilewise::ParsedDefaults> parsed = tilewise::parseDefaultsText(text, &why);
    if (!parsed)
        return 0;
    std::string written = tilewise::serializeDefaults(parsed->members);
    std::optional<tilewise::ParsedDefaults> again = tilewise::parseDefaultsText(written, &why);
    if (!again || again->members != parsed->members)
        std::abort();
    return 0;
}
