#include "ui/action_editor_sheet.hpp"

#include "app/tilewise_app.hpp"
#include "quickactions/action_editor.hpp"
#include "quickactions/shortcuts_slot_manager.hpp"
#include "ui/operation_editors.hpp"
#include "ui/page_context.hpp"
#include "ui/reorderable_list.hpp"
#include "ui/shortcut_recorder_widget.hpp"
#include "ui/store_binding.hpp"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace tilewise {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

class ActionEditorSheet : public QDialog {
public:
    ActionEditorSheet(PageContext& context, ActionEditor& editor, std::string actionId, QWidget* parent)
        : QDialog(parent), context_(context), editor_(editor), actionId_(std::move(actionId))
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowModality(Qt::WindowModal);
        setObjectName(QStringLiteral("actionEditorSheet"));
        setMinimumWidth(620);
        auto* layout = new QVBoxLayout(this);

        auto* basic = new QGroupBox(QStringLiteral("Basic"), this);
        auto* form = new QFormLayout(basic);
        title_ = new QLineEdit(basic);
        title_->setObjectName(QStringLiteral("title"));
        connect(title_, &QLineEdit::textEdited, this,
                [this](const QString& text) { editor_.rename(actionId_, text.toStdString()); });
        form->addRow(QStringLiteral("Title"), title_);
        shortcutSwitch_ = new QCheckBox(basic);
        shortcutSwitch_->setObjectName(QStringLiteral("shortcutEnabled"));
        connect(shortcutSwitch_, &QCheckBox::toggled, this, [this](bool on) {
            const bool now = editor_.setShortcutEnabled(actionId_, on);
            const QSignalBlocker block(shortcutSwitch_);
            shortcutSwitch_->setChecked(now);
        });
        form->addRow(QStringLiteral("Enable shortcut"), shortcutSwitch_);
        recorderHolder_ = new QWidget(basic);
        new QHBoxLayout(recorderHolder_);
        recorderHolder_->layout()->setContentsMargins(0, 0, 0, 0);
        recorderLabel_ = new QLabel(QStringLiteral("Shortcut"), basic);
        form->addRow(recorderLabel_, recorderHolder_);
        layout->addWidget(basic);

        auto* operations = new QGroupBox(QStringLiteral("Operations"), this);
        auto* column = new QVBoxLayout(operations);
        list_ = new ReorderableList(operations);
        list_->setObjectName(QStringLiteral("operations"));
        list_->moved = [this](const std::vector<std::size_t>& from, std::size_t to) {
            editor_.moveOperations(actionId_, from, to);
        };
        list_->deletePressed = [this] { removeSelected(); };
        column->addWidget(list_);
        empty_ = new QLabel(qs(ActionEditor::noOperationsText), operations);
        empty_->setAlignment(Qt::AlignCenter);
        column->addWidget(empty_);
        auto* buttons = new QHBoxLayout;
        auto* add = new QToolButton(operations);
        add->setObjectName(QStringLiteral("addOperation"));
        add->setText(QStringLiteral("+"));
        add->setPopupMode(QToolButton::InstantPopup);
        auto* menu = new QMenu(add);
        addMenu(menu);
        add->setMenu(menu);
        auto* remove = new QToolButton(operations);
        remove->setObjectName(QStringLiteral("removeOperations"));
        remove->setText(QStringLiteral("−"));
        connect(remove, &QToolButton::clicked, this, [this] { removeSelected(); });
        buttons->addWidget(add);
        buttons->addWidget(remove);
        buttons->addStretch();
        column->addLayout(buttons);
        layout->addWidget(operations, 1);

        auto* done = new QDialogButtonBox(QDialogButtonBox::Close, this);
        connect(done, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(done);

        auto* binding = new StoreBinding(context_.store, this);
        QPointer<ActionEditorSheet> guard(this);
        binding->onKeys({settings_keys::quickActions}, [guard] {
            if (guard)
                guard->refresh();
        });
        // A slot's combination changed elsewhere.
        binding->add([guard] {
            if (guard && guard->recorder_)
                guard->recorder_->refresh();
        });
        refresh();
    }

private:
    void addMenu(QMenu* menu)
    {
        for (const OperationMenuGroup& group : addOperationMenu()) {
            std::size_t count = 0;
            for (const auto& row : group.rows)
                count += row.size();
            QMenu* target = count == 1 ? menu : menu->addMenu(qs(group.label));
            for (std::size_t i = 0; i < group.rows.size(); ++i) {
                if (i > 0)
                    target->addSeparator();
                for (QuickAction::OperationType type : group.rows[i])
                    connect(target->addAction(qs(label(type))), &QAction::triggered, this,
                            [this, type] { editor_.appendOperation(actionId_, type); });
            }
        }
    }

    void removeSelected()
    {
        std::set<std::string> ids;
        for (QListWidgetItem* item : list_->selectedItems())
            ids.insert(item->data(Qt::UserRole).toString().toStdString());
        if (!ids.empty())
            editor_.removeOperations(actionId_, ids);
    }

    void refresh()
    {
        std::optional<QuickAction::Action> action;
        for (QuickAction::Action& a : editor_.actions())
            if (a.id == actionId_)
                action = std::move(a);
        if (!action) {
            // Deleted elsewhere: nothing left to edit. Not at once, as this
            // may run while the sheet is being built.
            QTimer::singleShot(0, this, &QWidget::close);
            return;
        }
        if (title_->text().toStdString() != action->name)
            title_->setText(QString::fromStdString(action->name));
        // The window manager's title names the action edited.
        setWindowTitle(QString::fromStdString(action->name.empty() ? std::string("Action") : action->name));
        {
            const QSignalBlocker block(shortcutSwitch_);
            shortcutSwitch_->setChecked(action->shortcutEnabled);
        }
        showRecorder(action->shortcutSlot);
        showOperations(action->operations);
    }

    void showRecorder(std::optional<std::int64_t> slot)
    {
        ShortcutsSlotManager& slots = context_.app.slotManager();
        const KeyboardShortcuts::Name* name = slots.slotName(slot);
        if (!name)
            slot.reset();
        recorderLabel_->setVisible(name != nullptr);
        recorderHolder_->setVisible(name != nullptr);
        if (slot == recorderSlot_ && (recorder_ != nullptr) == slot.has_value())
            return;
        recorderSlot_ = slot;
        delete recorder_;
        recorder_ = nullptr;
        if (name) {
            recorder_ = new ShortcutRecorderWidget(context_.app.shortcuts(), *name, context_.alerts,
                                                   context_.keyCodeOf, recorderHolder_);
            recorderHolder_->layout()->addWidget(recorder_);
        }
    }

    void showOperations(const std::vector<QuickAction::Operation>& operations)
    {
        empty_->setVisible(operations.empty());
        bool sameRows = static_cast<std::size_t>(list_->count()) == operations.size();
        for (std::size_t i = 0; sameRows && i < operations.size(); ++i)
            sameRows = list_->item(static_cast<int>(i))->data(Qt::UserRole).toString().toStdString() ==
                       operations[i].id;
        if (sameRows) {
            for (std::size_t i = 0; i < operations.size(); ++i) {
                QListWidgetItem* item = list_->item(static_cast<int>(i));
                auto* row = static_cast<OperationRow*>(list_->itemWidget(item));
                row->setOperation(operations[i]);
                item->setSizeHint(row->sizeHint());
            }
            return;
        }
        list_->clear();
        for (const QuickAction::Operation& op : operations) {
            auto* item = new QListWidgetItem(list_);
            item->setData(Qt::UserRole, QString::fromStdString(op.id));
            auto* row = new OperationRow(context_, op,
                                         [this](const QuickAction::Operation& edited) {
                                             editor_.updateOperation(actionId_, edited);
                                         },
                                         list_);
            item->setSizeHint(row->sizeHint());
            list_->setItemWidget(item, row);
        }
    }

    PageContext& context_;
    ActionEditor& editor_;
    std::string actionId_;
    QLineEdit* title_ = nullptr;
    QCheckBox* shortcutSwitch_ = nullptr;
    QLabel* recorderLabel_ = nullptr;
    QWidget* recorderHolder_ = nullptr;
    ShortcutRecorderWidget* recorder_ = nullptr;
    std::optional<std::int64_t> recorderSlot_;
    ReorderableList* list_ = nullptr;
    QLabel* empty_ = nullptr;
};

} // namespace

QDialog* openActionEditorSheet(PageContext& context, ActionEditor& editor, const std::string& actionId,
                               QWidget* parent)
{
    auto* sheet = new ActionEditorSheet(context, editor, actionId, parent);
    sheet->open();
    return sheet;
}

} // namespace tilewise
