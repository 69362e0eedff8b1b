#include "ui/shortcut_recorder_widget.hpp"

#include "ui/qt_keys.hpp"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace tilewise {

ShortcutRecorderWidget::ShortcutRecorderWidget(KeyboardShortcuts& shortcuts, KeyboardShortcuts::Name name,
                                               Alerts& alerts, KeyCodeOf keyCodeOf, QWidget* parent,
                                               ShortcutRecorder::MenuItemLookup menuItemFor)
    : QWidget(parent),
      model_(std::make_unique<ShortcutRecorder>(shortcuts, std::move(name), alerts, menuItemFor)),
      keyCodeOf_(std::move(keyCodeOf))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    field_ = new QLineEdit(this);
    field_->setReadOnly(true);
    field_->setAlignment(Qt::AlignCenter);
    field_->setFixedWidth(160);
    field_->installEventFilter(this);
    refusal_ = new QLabel(this);
    refusal_->setStyleSheet(QStringLiteral("color: #b00020"));
    QFont small = refusal_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    refusal_->setFont(small);
    layout->addWidget(field_);
    layout->addWidget(refusal_);
    refresh();
}

ShortcutRecorderWidget::~ShortcutRecorderWidget() = default;

void ShortcutRecorderWidget::refresh()
{
    field_->setText(QString::fromStdString(model_->text()));
    const std::string why = model_->refusalText();
    refusal_->setText(QString::fromStdString(why));
    refusal_->setVisible(!why.empty());
}

bool ShortcutRecorderWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != field_)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn:
        model_->startRecording();
        refresh();
        return false;
    case QEvent::FocusOut:
        model_->endRecording();
        refresh();
        return false;
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        const std::optional<int> code = recordedKeyCode(*key, keyCodeOf_);
        if (!code)
            return true;
        switch (model_->keyDown(*code, carbonModifiers(key->modifiers()))) {
        case ShortcutRecorder::KeyOutcome::ignored:
            return false;
        case ShortcutRecorder::KeyOutcome::passedOn:
            refresh();
            focusNextChild();
            return true;
        case ShortcutRecorder::KeyOutcome::refused:
            QApplication::beep();
            return true;
        case ShortcutRecorder::KeyOutcome::takenByMenuItem:
        case ShortcutRecorder::KeyOutcome::takenBySystem:
            refresh();
            return true;
        case ShortcutRecorder::KeyOutcome::cancelled:
        case ShortcutRecorder::KeyOutcome::cleared:
        case ShortcutRecorder::KeyOutcome::accepted:
            field_->clearFocus();
            refresh();
            return true;
        }
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

} // namespace tilewise
