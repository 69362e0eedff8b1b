// The stored quick action list, read strictly: a list that reads must write
// back to text that reads as the same list, and the check of
// `tilewisectl defaults write` must accept exactly the lists that read.
#include "quickactions/quick_action.hpp"
#include "settings/json_array.hpp"
#include "settings/stored_value_check.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using tilewise::QuickAction;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<std::vector<QuickAction::Action>> decoded =
        tilewise::decodeJsonArray<QuickAction::Action>(text);
    const bool accepted =
        !tilewise::storedValueFault(tilewise::settings_keys::quickActions, tilewise::DefaultsValue(text));
    if (accepted != decoded.has_value())
        std::abort();
    if (!decoded)
        return 0;
    const std::optional<std::vector<QuickAction::Action>> again =
        tilewise::decodeJsonArray<QuickAction::Action>(tilewise::encodeQuickActions(*decoded));
    if (!again || *again != *decoded)
        std::abort();
    return 0;
}
