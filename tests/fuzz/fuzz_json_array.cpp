// Array settings stored as one JSON string: the clip lists, the per-screen
// clip lists and the excluded applications. The first byte picks the element
// type ('c' clips, 's' screen clips, anything else strings), the rest is the
// stored text. What decodes must encode to text that decodes to the same list.
#include "settings/clip.hpp"
#include "settings/json_array.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

template <typename T>
void roundTrip(const std::string& text)
{
    std::optional<std::vector<T>> decoded = tilewise::decodeJsonArray<T>(text);
    if (!decoded)
        return;
    std::optional<std::vector<T>> again = tilewise::decodeJsonArray<T>(tilewise::encodeJsonArray(*decoded));
    if (!again || *again != *decoded)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0]) {
    case 'c':
        roundTrip<tilewise::Clip>(text);
        break;
    case 's':
        roundTrip<tilewise::ScreenClip>(text);
        break;
    default:
        roundTrip<std::string>(text);
        break;
    }
    return 0;
}
