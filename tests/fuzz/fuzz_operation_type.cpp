// An operation in its JSON form ({"TopHalf":{}}) and by name: decoding
// either succeeds or throws a JSON exception, and what decodes encodes back
// to the same operation.
#include "layout/operation_type.hpp"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using tilewise::OperationType;
    std::string_view text(reinterpret_cast<const char*>(data), size);

    if (std::optional<OperationType> named = tilewise::operationFromName(text)) {
        if (tilewise::caseName(*named) != text)
            std::abort();
    }

    nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_discarded())
        return 0;
    OperationType op{};
    try {
        op = j.get<OperationType>();
    } catch (const nlohmann::json::exception&) {
        return 0;
    }
    nlohmann::json encoded = op;
    if (encoded.get<OperationType>() != op)
        std::abort();
    return 0;
}
