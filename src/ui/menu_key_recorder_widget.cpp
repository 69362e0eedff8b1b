#include "ui/menu_key_recorder_widget.hpp"

#include "shortcuts/keyboard_shortcuts.hpp"
#include "ui/qt_keys.hpp"

#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QToolButton>

#include <utility>

namespace tilewise {

MenuKeyRecorderWidget::MenuKeyRecorderWidget(MenuKeyRecorder::Services services, std::int64_t keyCode,
                                             MenuKeyRecorder::OnChange onChange, KeyCodeOf keyCodeOf,
                                             QWidget* parent)
    : QLineEdit(parent), model_(services, keyCode, std::move(onChange)), keyCodeOf_(std::move(keyCodeOf))
{
    // Typing never edits the text: the model sets it.
    setReadOnly(true);
    setAlignment(Qt::AlignCenter);
    setFixedWidth(static_cast<int>(MenuKeyRecorder::intrinsicWidth));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setContextMenuPolicy(Qt::NoContextMenu);
    clear_ = addAction(style()->standardIcon(QStyle::SP_LineEditClearButton), QLineEdit::TrailingPosition);
    connect(clear_, &QAction::triggered, this, [this] {
        model_.clearButtonPressed();
        refresh();
        if (hasFocus()) {
            if (!filtering_) {
                qApp->installEventFilter(this);
                filtering_ = true;
            }
        } else {
            setFocus(Qt::MouseFocusReason);
        }
    });
    refresh();
}

MenuKeyRecorderWidget::~MenuKeyRecorderWidget()
{
    if (filtering_)
        qApp->removeEventFilter(this);
}

void MenuKeyRecorderWidget::setKeyCode(std::int64_t keyCode)
{
    if (keyCode == model_.keyCode())
        return;
    model_.setKeyCode(keyCode);
    refresh();
}

void MenuKeyRecorderWidget::refresh()
{
    setText(QString::fromStdString(model_.text()));
    clear_->setVisible(model_.showsClearButton());
}

void MenuKeyRecorderWidget::stopRecording()
{
    model_.endRecording();
    if (filtering_) {
        qApp->removeEventFilter(this);
        filtering_ = false;
    }
    refresh();
}

void MenuKeyRecorderWidget::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    // Activating the window alone, or moving on from it by keyboard right
    // after, does not start recording.
    if (event->reason() != Qt::MouseFocusReason && event->reason() != Qt::OtherFocusReason &&
        !model_.canBecomeKey()) {
        clearFocus();
        return;
    }
    model_.startRecording();
    if (!filtering_) {
        qApp->installEventFilter(this);
        filtering_ = true;
    }
    refresh();
}

void MenuKeyRecorderWidget::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    stopRecording();
}

void MenuKeyRecorderWidget::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow()) {
        model_.windowDidBecomeKey();
        return;
    }
    model_.windowDidResignKey();
    // Otherwise the field would take the focus back, and record, when the
    // window is activated again.
    if (hasFocus())
        clearFocus();
    stopRecording();
}

void MenuKeyRecorderWidget::hideEvent(QHideEvent* event)
{
    QLineEdit::hideEvent(event);
    model_.removedFromWindow();
    if (hasFocus())
        clearFocus();
    stopRecording();
}

bool MenuKeyRecorderWidget::onClearButton(QPointF globalPosition) const
{
    for (const QToolButton* button : findChildren<QToolButton*>())
        if (button->isVisible() &&
            QRectF(button->mapToGlobal(QPointF(0, 0)), QSizeF(button->size())).contains(globalPosition))
            return true;
    return false;
}

bool MenuKeyRecorderWidget::handleKey(QKeyEvent* key)
{
    const std::optional<int> code = recordedKeyCode(*key, keyCodeOf_);
    if (!code)
        return true;
    switch (model_.keyDown(*code, carbonModifiers(key->modifiers()))) {
    case MenuKeyRecorder::KeyOutcome::ignored:
        break;
    case MenuKeyRecorder::KeyOutcome::refused:
        QApplication::beep();
        break;
    case MenuKeyRecorder::KeyOutcome::cleared:
        refresh();
        break;
    case MenuKeyRecorder::KeyOutcome::cancelled:
    case MenuKeyRecorder::KeyOutcome::inUse:
    case MenuKeyRecorder::KeyOutcome::accepted:
        clearFocus();
        stopRecording();
        break;
    }
    return true;
}

bool MenuKeyRecorderWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (!model_.isRecording())
        return QLineEdit::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // No menu or button shortcut takes the key from the recorder.
        event->accept();
        return true;
    case QEvent::KeyPress:
        return handleKey(static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton)
            return false;
        // The field's own clear button still works while it records.
        if (onClearButton(mouse->globalPosition()))
            return false;
        const QPointF origin = mapToGlobal(QPointF(0, 0));
        const QPointF at = mouse->globalPosition();
        if (model_.clickAt({at.x(), at.y()}, Rect(origin.x(), origin.y(), width(), height()))) {
            clearFocus();
            stopRecording();
        }
        return true;
    }
    default:
        return QLineEdit::eventFilter(watched, event);
    }
}

} // namespace tilewise
