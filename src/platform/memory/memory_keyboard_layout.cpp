#include "platform/memory/memory_keyboard_layout.hpp"

#include <algorithm>
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

std::optional<std::string> MemoryKeyboardLayout::translate(int group, int keyCode, int modifierState) const
{
    auto it = texts_.find({group, keyCode, modifierState});
    if (it == texts_.end())
        return std::nullopt;
    return it->second;
}

void MemoryKeyboardLayout::set(int group, int keyCode, std::string text, int modifierState)
{
    texts_[{group, keyCode, modifierState}] = std::move(text);
    groupCount_ = std::max(groupCount_, group + 1);
}

void MemoryKeyboardLayout::clear(int group)
{
    std::erase_if(texts_, [group](const auto& entry) { return std::get<0>(entry.first) == group; });
}

void MemoryKeyboardLayout::loadRows(int group, const char* plain, const char* shifted)
{
    clear(group);
    for (int code = 0; plain[code] != '\0'; ++code) {
        if (plain[code] == '\1')
            continue;
        set(group, code, std::string(1, plain[code]));
        char upper = shifted ? shifted[code]
                             : static_cast<char>(std::toupper(static_cast<unsigned char>(plain[code])));
        set(group, code, std::string(1, upper), shiftState);
    }
}

void MemoryKeyboardLayout::loadUs(int group)
{
    loadRows(group, usPlain, usShifted);
}

void MemoryKeyboardLayout::loadDvorak(int group)
{
    loadRows(group, dvorakPlain, nullptr);
}

} // namespace tilewise
