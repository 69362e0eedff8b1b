// Qt's key events in the terms the models take.
#pragma once

#include <Qt>

#include <cstdint>
#include <functional>
#include <optional>

class QKeyEvent;

namespace tilewise {

// The stored modifier word (control, option, shift, command) of Qt's flags.
int carbonModifiers(Qt::KeyboardModifiers modifiers);

// A modifier pressed on its own: held with the key that counts, and its own
// code may not be known.
bool isModifierKey(int qtKey);

// The stored code of a key pressed into a recorder: none for a modifier on
// its own, and none, after a beep, for a key no stored code names.
std::optional<int> recordedKeyCode(const QKeyEvent& key,
                                   const std::function<std::optional<int>(std::uint32_t nativeKeyCode)>& keyCodeOf);

} // namespace tilewise
