#include "platform/memory/memory_keyboard_layout.hpp"

#include <cctype>
#include <cstring>

namespace tilewise {

namespace {

// Key codes 0 to 50 in ANSI order; '\1' marks a code that is not a
// character key (the ISO key, Return, Tab).
constexpr const char usPlain[] = "asdfhgzxcv\1bqweryt123465=97-80]ou[ip\1lj'k;\\,/nm.\1 `";
constexpr const char usShifted[] = "ASDFHGZXCV\1BQWERYT!@#$^%+(&_*)}OU{IP\1LJ\"K:|<?NM>\1 ~";
constexpr const char dvorakPlain[] = "aoeudi;qjk\1x',.pfy123465]97[80=rg/cl\1nh-ts\\wzbmv\1 `";
static_assert(sizeof(usPlain) == 52 && sizeof(usShifted) == 52 && sizeof(dvorakPlain) == 52);

} // namespace

std::optional<std::string> MemoryKeyboardLayout::translate(Source source, int keyCode,
                                                           int modifierState) const
{
    auto it = texts_.find({source, keyCode, modifierState});
    if (it == texts_.end())
        return std::nullopt;
    return it->second;
}

void MemoryKeyboardLayout::set(Source source, int keyCode, std::string text, int modifierState)
{
    texts_[{source, keyCode, modifierState}] = std::move(text);
}

void MemoryKeyboardLayout::clear(Source source)
{
    std::erase_if(texts_, [source](const auto& entry) { return std::get<0>(entry.first) == source; });
}

void MemoryKeyboardLayout::loadRows(const char* plain, const char* shifted)
{
    for (Source source : {Source::Current, Source::AsciiCapable}) {
        clear(source);
        for (int code = 0; plain[code] != '\0'; ++code) {
            if (plain[code] == '\1')
                continue;
            set(source, code, std::string(1, plain[code]));
            char upper = shifted ? shifted[code]
                                 : static_cast<char>(std::toupper(static_cast<unsigned char>(plain[code])));
            set(source, code, std::string(1, upper), shiftState);
        }
    }
}

void MemoryKeyboardLayout::loadUs()
{
    loadRows(usPlain, usShifted);
}

void MemoryKeyboardLayout::loadDvorak()
{
    loadRows(dvorakPlain, nullptr);
}

} // namespace tilewise
