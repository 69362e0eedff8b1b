// Qt's key events in the terms the models take.
#pragma once

#include <Qt>

namespace tilewise {

// The stored modifier word (control, option, shift, command) of Qt's flags.
int carbonModifiers(Qt::KeyboardModifiers modifiers);

// A modifier pressed on its own: held with the key that counts, and its own
// code may not be known.
bool isModifierKey(int qtKey);

} // namespace tilewise
