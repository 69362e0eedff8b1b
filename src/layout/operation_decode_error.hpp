// The failure of decoding an operation from JSON. It is a JSON exception, so
// callers that already guard a decode with nlohmann::json::exception catch
// it, but its message is exactly the text given, without a library prefix.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace tilewise {

class OperationDecodeError : public nlohmann::json::exception {
public:
    explicit OperationDecodeError(const std::string& message) : nlohmann::json::exception(0, message.c_str())
    {
    }
};

} // namespace tilewise
