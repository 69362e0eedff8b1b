#include "ui/qt_keys.hpp"

#include "shortcuts/keyboard_shortcuts.hpp"

#include <QApplication>
#include <QKeyEvent>

namespace tilewise {

int carbonModifiers(Qt::KeyboardModifiers m)
{
    return (m & Qt::ControlModifier ? KeyboardShortcuts::control : 0) |
           (m & Qt::AltModifier ? KeyboardShortcuts::option : 0) |
           (m & Qt::ShiftModifier ? KeyboardShortcuts::shift : 0) |
           (m & Qt::MetaModifier ? KeyboardShortcuts::command : 0);
}

bool isModifierKey(int key)
{
    return key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Shift || key == Qt::Key_Meta ||
           key == Qt::Key_Super_L || key == Qt::Key_Super_R || key == Qt::Key_AltGr ||
           key == Qt::Key_CapsLock;
}

std::optional<int> recordedKeyCode(const QKeyEvent& key,
                                   const std::function<std::optional<int>(std::uint32_t nativeKeyCode)>& keyCodeOf)
{
    if (isModifierKey(key.key()))
        return std::nullopt;
    const std::optional<int> code = keyCodeOf ? keyCodeOf(key.nativeScanCode()) : std::nullopt;
    if (!code)
        QApplication::beep();
    return code;
}

} // namespace tilewise
