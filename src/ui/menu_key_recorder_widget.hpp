// The field that sets or clears one quick action's menu key. It draws what
// its model says; while it records, every key press and every left or right
// click anywhere in the program goes to the model instead of its target.
#pragma once

#include "quickactions/menu_key_recorder.hpp"

#include <QLineEdit>

#include <cstdint>
#include <functional>
#include <optional>

class QAction;

namespace tilewise {

class MenuKeyRecorderWidget : public QLineEdit {
    // findChildren tells these fields from other line edits by their meta-object.
    Q_OBJECT

public:
    using KeyCodeOf = std::function<std::optional<int>(std::uint32_t nativeKeyCode)>;

    MenuKeyRecorderWidget(MenuKeyRecorder::Services services, std::int64_t keyCode,
                          MenuKeyRecorder::OnChange onChange, KeyCodeOf keyCodeOf, QWidget* parent);
    ~MenuKeyRecorderWidget() override;

    MenuKeyRecorder& model() { return model_; }
    // The action's key changed elsewhere.
    void setKeyCode(std::int64_t keyCode);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void stopRecording();
    bool handleKey(QKeyEvent* key);
    bool onClearButton(QPointF globalPosition) const;

    MenuKeyRecorder model_;
    KeyCodeOf keyCodeOf_;
    QAction* clear_ = nullptr;
    bool filtering_ = false;
};

} // namespace tilewise
