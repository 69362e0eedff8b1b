#include "platform/hot_key_registrar.hpp"

namespace tilewise {

std::string_view describe(HotKeyStatus status)
{
    switch (status) {
    case HotKeyStatus::held:
        return "held";
    case HotKeyStatus::taken:
        return "taken by another program";
    case HotKeyStatus::rejected:
        return "the server rejects it";
    case HotKeyStatus::noSuchKey:
        return "no such key on this keyboard";
    }
    return "unknown";
}

} // namespace tilewise
