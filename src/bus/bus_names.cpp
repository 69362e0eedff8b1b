#include "bus/bus_names.hpp"

namespace tilewise::bus {

std::string encodeDisplay(std::string_view display)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::string out = "d";
    for (char c : display) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')) {
            out.push_back(c);
        } else {
            out.push_back('_');
            out.push_back(hex[byte >> 4]);
            out.push_back(hex[byte & 0xf]);
        }
    }
    return out;
}

std::string busNameForDisplay(std::string_view display)
{
    std::string name(namePrefix);
    name.append(encodeDisplay(display));
    return name;
}

} // namespace tilewise::bus
