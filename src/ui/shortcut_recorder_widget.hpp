// A field that records one shortcut name's combination: it draws what its
// model says and forwards key presses, beeping or moving the focus on when
// told. A combination the X server refuses is reported under it.
#pragma once

#include "shortcuts/shortcut_recorder.hpp"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;

namespace tilewise {

class ShortcutRecorderWidget : public QWidget {
    // findChildren tells recorders from other widgets by their meta-object.
    Q_OBJECT

public:
    using KeyCodeOf = std::function<std::optional<int>(std::uint32_t nativeKeyCode)>;

    // `menuItemFor` names the menu item that shows a combination, if one does.
    ShortcutRecorderWidget(KeyboardShortcuts& shortcuts, KeyboardShortcuts::Name name, Alerts& alerts,
                           KeyCodeOf keyCodeOf, QWidget* parent,
                           ShortcutRecorder::MenuItemLookup menuItemFor = {});
    ~ShortcutRecorderWidget() override;

    ShortcutRecorder& model() { return *model_; }
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<ShortcutRecorder> model_;
    KeyCodeOf keyCodeOf_;
    QLineEdit* field_ = nullptr;
    QLabel* refusal_ = nullptr;
};

} // namespace tilewise
