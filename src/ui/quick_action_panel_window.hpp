// The quick action panel's window. It is a popup: it holds the keyboard and
// the pointer while it shows instead of taking the input focus, so the
// user's window stays focused and stays the target. It draws the model,
// hands it keys, clicks and the search text, and hides when the model closes.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QScrollArea;
class QVBoxLayout;

namespace tilewise {

class QuickActionPanel;

class QuickActionPanelWindow : public QWidget {
public:
    struct Hooks {
        // The stored key code of an X key code; none for a key no code names.
        std::function<std::optional<int>(std::uint32_t nativeKeyCode)> keyCodeOf;
        // The panel holds the keyboard, so the hot keys come through it:
        // true when the event was one and has been handled.
        std::function<bool(QKeyEvent*)> hotKey;
    };

    QuickActionPanelWindow(QuickActionPanel& model, Hooks hooks);

    // Shows the panel as the model has it, placed and holding the keyboard;
    // an open panel is placed again.
    void present();
    // Follows the model: contents, and hiding once it is closed.
    void sync();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class Row;

    void place();
    void holdInput(int attempt = 0);
    void syncRows();

    QuickActionPanel& model_;
    Hooks hooks_;
    QLabel* title_ = nullptr;
    QLineEdit* search_ = nullptr;
    QLabel* noActions_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QVBoxLayout* column_ = nullptr;
    std::vector<Row*> rows_;
};

} // namespace tilewise
