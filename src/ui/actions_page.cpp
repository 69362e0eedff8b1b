// The actions page: the quick action panel's settings and one row per
// stored action. Every rule is ActionEditor's; the page draws what the store
// holds and forwards the user's edits.
#include "app/tilewise_app.hpp"
#include "platform/event_loop.hpp"
#include "quickactions/action_editor.hpp"
#include "quickactions/quick_action.hpp"
#include "quickactions/quick_action_perform.hpp"
#include "quickactions/shortcuts_slot_manager.hpp"
#include "settings/notification_center.hpp"
#include "settings/storage.hpp"
#include "ui/action_editor_sheet.hpp"
#include "ui/menu_key_recorder_widget.hpp"
#include "ui/reorderable_list.hpp"
#include "ui/page_context.hpp"
#include "ui/shortcut_recorder_widget.hpp"
#include "ui/store_binding.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDropEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <utility>

namespace tilewise {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

constexpr std::array<std::pair<std::string_view, ScreenOption>, 3> screenChoices{{
    {"Screen Containing Mouse", ScreenOption::mouseScreen},
    {"Screen Containing Active Window", ScreenOption::activeScreen},
    {"Primary Screen", ScreenOption::primaryScreen},
}};

class ActionsPage;

// One stored action: its name, Edit, Debug, its shortcut and its menu key.
class ActionRow : public QWidget {
public:
    ActionRow(ActionsPage& page, const QuickAction::Action& action, bool menuEnabled);
    ~ActionRow() override;

    const std::string& id() const { return id_; }
    void update(const QuickAction::Action& action, bool menuEnabled);

private:
    ActionsPage& page_;
    // Not reached through the page: rows outlive its members when it goes.
    NotificationCenter& notifications_;
    std::string id_;
    QLabel* name_;
    QCheckBox* shortcut_;
    QHBoxLayout* line_;
    ShortcutRecorderWidget* slotRecorder_ = nullptr;
    std::optional<std::int64_t> slotShown_;
    QLabel* menuKeyLabel_ = nullptr;
    MenuKeyRecorderWidget* menuKey_ = nullptr;
    NotificationCenter::ObserverId observer_ = 0;
};

class ActionsPage : public QWidget {
public:
    ActionsPage(PageContext& context, QWidget* parent);
    // The sheets and rows use the editor: they go before it does.
    ~ActionsPage() override
    {
        for (auto& [id, sheet] : sheets_)
            delete sheet.data();
        delete list_;
    }

    PageContext& context() { return context_; }
    TilewiseApp& app() { return context_.app; }
    ActionEditor& editor() { return editor_; }
    void openSheet(const std::string& id);
    void refresh();

private:
    QWidget* configuration();
    void addSwitch(QFormLayout* form, std::string_view label, bool (Storage::*get)() const,
                   void (Storage::*set)(bool));
    void rebuild(const std::vector<QuickAction::Action>& actions, bool menuEnabled);

    PageContext& context_;
    ActionEditor editor_;
    StoreBinding* binding_;
    ReorderableList* list_ = nullptr;
    QLabel* empty_ = nullptr;
    std::vector<std::string> ids_;
    std::map<std::string, QPointer<QDialog>> sheets_;
};

ActionRow::ActionRow(ActionsPage& page, const QuickAction::Action& action, bool menuEnabled)
    : page_(page), notifications_(page.app().notifications()), id_(action.id)
{
    setObjectName(QStringLiteral("actionRow"));
    // Two lines, so that the row fits the window's width: the name with its
    // buttons, then the shortcut and the menu key.
    auto* lines = new QVBoxLayout(this);
    lines->setContentsMargins(6, 2, 6, 2);
    lines->setSpacing(2);
    auto* top = new QHBoxLayout;
    lines->addLayout(top);
    line_ = new QHBoxLayout;
    lines->addLayout(line_);
    name_ = new QLabel(this);
    // A long name is cut rather than widening the list.
    name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    top->addWidget(name_, 1);
    auto* edit = new QPushButton(QStringLiteral("Edit"), this);
    connect(edit, &QPushButton::clicked, this, [this] { page_.openSheet(id_); });
    top->addWidget(edit);
    auto* debug = new QPushButton(QStringLiteral("Debug"), this);
    connect(debug, &QPushButton::clicked, this, [this] {
        for (const QuickAction::Action& a : page_.editor().actions())
            if (a.id == id_)
                page_.app().quickActionPerformer().runOnFocusedWindow(a);
    });
    top->addWidget(debug);
    shortcut_ = new QCheckBox(QStringLiteral("Shortcut"), this);
    connect(shortcut_, &QCheckBox::toggled, this, [this](bool on) {
        const bool now = page_.editor().setShortcutEnabled(id_, on);
        // Refused ("No shortcuts left"): nothing stored, so nothing redraws it.
        const QSignalBlocker quiet(shortcut_);
        shortcut_->setChecked(now);
    });
    line_->addWidget(shortcut_);
    line_->addStretch(1);
    observer_ = notifications_.addObserver(
        notification_names::editAction, [this](const NotificationCenter::UserInfo& info) {
            if (auto it = info.find(notification_keys::actionId); it != info.end() && it->second == id_)
                page_.openSheet(id_);
        });
    update(action, menuEnabled);
}

ActionRow::~ActionRow()
{
    notifications_.removeObserver(observer_);
}

void ActionRow::update(const QuickAction::Action& action, bool menuEnabled)
{
    name_->setText(QString::fromStdString(action.name));
    {
        const QSignalBlocker quiet(shortcut_);
        shortcut_->setChecked(action.shortcutEnabled);
    }
    ShortcutsSlotManager& slots = page_.app().slotManager();
    const KeyboardShortcuts::Name* slotName = slots.slotName(action.shortcutSlot);
    const std::optional<std::int64_t> slot = slotName ? action.shortcutSlot : std::nullopt;
    if (slot != slotShown_) {
        if (slotRecorder_) {
            slotRecorder_->hide();
            slotRecorder_->deleteLater();
            slotRecorder_ = nullptr;
        }
        if (slotName) {
            slotRecorder_ = new ShortcutRecorderWidget(
                page_.app().shortcuts(), *slotName, page_.context().alerts, page_.context().keyCodeOf, this);
            line_->insertWidget(line_->indexOf(shortcut_) + 1, slotRecorder_);
        }
        slotShown_ = slot;
    }
    if (menuEnabled && !menuKey_) {
        menuKeyLabel_ = new QLabel(QStringLiteral("Menu key"), this);
        MenuKeyRecorder::Services services{slots, page_.app().shortcuts(), page_.context().alerts,
                                           page_.context().loop};
        menuKey_ = new MenuKeyRecorderWidget(
            services, action.key, [this](std::int64_t key) { page_.editor().setKey(id_, key); },
            page_.context().keyCodeOf, this);
        line_->addWidget(menuKeyLabel_);
        line_->addWidget(menuKey_);
    } else if (!menuEnabled && menuKey_) {
        for (QWidget* gone : std::initializer_list<QWidget*>{menuKeyLabel_, menuKey_}) {
            gone->hide();
            gone->setParent(nullptr);
            gone->deleteLater();
        }
        menuKeyLabel_ = nullptr;
        menuKey_ = nullptr;
    } else if (menuKey_) {
        menuKey_->setKeyCode(action.key);
    }
}

ActionsPage::ActionsPage(PageContext& context, QWidget* parent)
    : QWidget(parent), context_(context), editor_(context.store, context.app.slotManager(), context.alerts,
                                                  context.loop, context.app.notifications()),
      binding_(new StoreBinding(context.store, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(configuration());

    auto* actions = new QGroupBox(QStringLiteral("Actions"), this);
    auto* column = new QVBoxLayout(actions);
    list_ = new ReorderableList(actions);
    list_->setObjectName(QStringLiteral("actionList"));
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->deletePressed = [this] { editor_.deleteSelected(); };
    list_->moved = [this](const std::vector<std::size_t>& from, std::size_t to) {
        editor_.moveActions(from, to);
    };
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        editor_.selected.clear();
        for (QListWidgetItem* item : list_->selectedItems())
            editor_.selected.insert(item->data(Qt::UserRole).toString().toStdString());
    });
    column->addWidget(list_);
    empty_ = new QLabel(qs(ActionEditor::noActionsText), actions);
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setStyleSheet(QStringLiteral("color: gray"));
    column->addWidget(empty_);
    auto* buttons = new QHBoxLayout();
    auto* add = new QToolButton(actions);
    add->setObjectName(QStringLiteral("addAction"));
    add->setText(QStringLiteral("+"));
    connect(add, &QToolButton::clicked, this, [this] { editor_.addAction(); });
    auto* remove = new QToolButton(actions);
    remove->setObjectName(QStringLiteral("removeAction"));
    remove->setText(QStringLiteral("\u2212"));
    connect(remove, &QToolButton::clicked, this, [this] { editor_.deleteSelected(); });
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    column->addLayout(buttons);
    layout->addWidget(actions, 1);

    binding_->add([this] { refresh(); });
}

QWidget* ActionsPage::configuration()
{
    auto* box = new QGroupBox(QStringLiteral("Configuration"), this);
    auto* form = new QFormLayout(box);
    Storage& storage = context_.app.storage();
    addSwitch(form, "Enable Menu", &Storage::quickActionEnabled, &Storage::setQuickActionEnabled);

    auto* screen = new QComboBox(box);
    screen->setObjectName(QStringLiteral("showMenuOn"));
    for (const auto& [label, option] : screenChoices)
        screen->addItem(qs(label));
    connect(screen, &QComboBox::currentIndexChanged, this, [&storage](int i) {
        if (i >= 0 && static_cast<std::size_t>(i) < screenChoices.size() &&
            storage.quickActionShowScreenOn() != screenChoices[static_cast<std::size_t>(i)].second)
            storage.setQuickActionShowScreenOn(screenChoices[static_cast<std::size_t>(i)].second);
    });
    binding_->add([screen, &storage] {
        const QSignalBlocker quiet(screen);
        for (std::size_t i = 0; i < screenChoices.size(); ++i)
            if (screenChoices[i].second == storage.quickActionShowScreenOn())
                screen->setCurrentIndex(static_cast<int>(i));
    });
    form->addRow(QStringLiteral("Show Menu On"), screen);

    TilewiseApp& app = context_.app;
    KeyboardShortcuts::Name name{Storage::quickActionShortcut, {}};
    if (const KeyboardShortcuts::Name* known = app.shortcutsManagerState().name(Storage::quickActionShortcut))
        name = *known;
    form->addRow(QStringLiteral("Shortcut"),
                 new ShortcutRecorderWidget(app.shortcuts(), name, context_.alerts, context_.keyCodeOf, box));

    // Switching it on shows the one-time notice.
    addSwitch(form, "Enable Search", &Storage::quickActionSearchEnabled,
              &Storage::setQuickActionSearchEnabled);
    addSwitch(form, "Show Actions in Menubar", &Storage::showActionsInMenubar,
              &Storage::setShowActionsInMenubar);
    return box;
}

void ActionsPage::addSwitch(QFormLayout* form, std::string_view label, bool (Storage::*get)() const,
                            void (Storage::*set)(bool))
{
    auto* box = new QCheckBox(qs(label), form->parentWidget());
    Storage& storage = context_.app.storage();
    connect(box, &QCheckBox::toggled, this, [&storage, get, set](bool on) {
        if ((storage.*get)() != on)
            (storage.*set)(on);
    });
    binding_->add([box, &storage, get] {
        const QSignalBlocker quiet(box);
        box->setChecked((storage.*get)());
    });
    form->addRow(QString(), box);
}

void ActionsPage::refresh()
{
    const std::vector<QuickAction::Action> actions = editor_.actions();
    const bool menuEnabled = context_.app.storage().quickActionEnabled();
    std::vector<std::string> ids;
    for (const QuickAction::Action& a : actions)
        ids.push_back(a.id);
    if (ids != ids_) {
        ids_ = std::move(ids);
        rebuild(actions, menuEnabled);
    } else {
        for (int i = 0; i < list_->count(); ++i) {
            auto* row = static_cast<ActionRow*>(list_->itemWidget(list_->item(i)));
            row->update(actions[static_cast<std::size_t>(i)], menuEnabled);
            list_->item(i)->setSizeHint(row->sizeHint());
        }
    }
    list_->setVisible(!actions.empty());
    empty_->setVisible(actions.empty());
    // A combination changed elsewhere (tilewisectl, the settings file).
    for (ShortcutRecorderWidget* recorder : findChildren<ShortcutRecorderWidget*>())
        recorder->refresh();
}

void ActionsPage::rebuild(const std::vector<QuickAction::Action>& actions, bool menuEnabled)
{
    const QSignalBlocker quiet(list_);
    // The rows go later: one of them may be what changed the list.
    list_->clear();
    std::erase_if(editor_.selected,
                  [this](const std::string& id) { return std::ranges::find(ids_, id) == ids_.end(); });
    for (const QuickAction::Action& a : actions) {
        auto* item = new QListWidgetItem(list_);
        item->setData(Qt::UserRole, QString::fromStdString(a.id));
        auto* row = new ActionRow(*this, a, menuEnabled);
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
        item->setSelected(editor_.selected.contains(a.id));
    }
}

void ActionsPage::openSheet(const std::string& id)
{
    QPointer<QDialog>& sheet = sheets_[id];
    if (sheet) {
        sheet->raise();
        sheet->activateWindow();
        return;
    }
    sheet = openActionEditorSheet(context_, editor_, id, this);
}

} // namespace

QWidget* createActionsPage(PageContext& context, QWidget* parent)
{
    return new ActionsPage(context, parent);
}

} // namespace tilewise
