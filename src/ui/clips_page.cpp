// The clips page: chip rows for the default lists and for each screen's own
// lists. Every rule is ClipEditor's; the page draws what the store holds and
// shows the alerts the editor returns.
#include "ui/page_context.hpp"

#include "platform/alerts.hpp"
#include "platform/event_loop.hpp"
#include "platform/window_access.hpp"
#include "settings/clip_editor.hpp"
#include "settings/defaults_store.hpp"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <utility>

namespace tilewise {
namespace {

constexpr int pageWidth = 600;
constexpr int chipsPerLine = 8;

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

QString clipText(const Clip& clip)
{
    return QString::number(clip.numerator) + QLatin1Char('/') + QString::number(clip.denominator);
}

QLabel* boldLabel(const QString& text)
{
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QString rowName(const ClipRowRef& row)
{
    QString axis =
        row.axis == ClipRowRef::Axis::horizontal ? QStringLiteral("horizontal") : QStringLiteral("vertical");
    if (!row.screenIndex)
        return QStringLiteral("clips-") + axis;
    return QStringLiteral("clips-%1-%2").arg(*row.screenIndex).arg(axis);
}

// One list: its label, a chip per clip, the add and remove buttons. The
// selection lives here and is gone when the row is built again.
class ClipRow : public QWidget {
public:
    struct Actions {
        std::function<void(QWidget* anchor)> add;
        std::function<void(const Clip&)> remove;
        // Runs the context menu of a chip; the page guards it like its own work.
        std::function<void(const std::function<void()>&)> guarded;
    };

    ClipRow(const QString& label, const std::vector<Clip>& clips, Actions actions)
        : actions_(std::move(actions))
    {
        auto* line = new QHBoxLayout(this);
        line->setContentsMargins(0, 0, 0, 0);
        auto* title = new QLabel(label);
        title->setFixedWidth(80);
        line->addWidget(title, 0, Qt::AlignTop);

        auto* chips = new QGridLayout;
        chips->setSpacing(4);
        for (std::size_t i = 0; i < clips.size(); ++i)
            chips->addWidget(chip(clips[i]), static_cast<int>(i) / chipsPerLine,
                             static_cast<int>(i) % chipsPerLine);
        line->addLayout(chips);
        line->addStretch(1);

        auto* add = new QToolButton;
        add->setObjectName(QStringLiteral("addClip"));
        add->setText(QStringLiteral("+"));
        connect(add, &QToolButton::clicked, this, [this, add] { actions_.add(add); });
        auto* remove = new QToolButton;
        remove->setObjectName(QStringLiteral("removeClip"));
        remove->setText(QStringLiteral("\u2212"));
        connect(remove, &QToolButton::clicked, this, [this] {
            if (selected_)
                actions_.remove(*selected_);
        });
        line->addWidget(add, 0, Qt::AlignTop);
        line->addWidget(remove, 0, Qt::AlignTop);
    }

private:
    QPushButton* chip(const Clip& clip)
    {
        auto* button = new QPushButton(clipText(clip));
        button->setObjectName(QStringLiteral("clipChip"));
        button->setCheckable(true);
        button->setFixedWidth(48);
        connect(button, &QPushButton::clicked, this, [this, button, clip](bool checked) {
            for (QPushButton* other : chips_)
                if (other != button)
                    other->setChecked(false);
            selected_ = checked ? std::optional<Clip>(clip) : std::nullopt;
        });

        auto* erase = new QAction(QStringLiteral("Delete"), button);
        connect(erase, &QAction::triggered, this, [this, clip] { actions_.remove(clip); });
        button->addAction(erase);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this, [this, button](const QPoint& at) {
            const QPoint global = button->mapToGlobal(at);
            actions_.guarded([button, global] { QMenu::exec(button->actions(), global, nullptr, button); });
        });
        chips_.push_back(button);
        return button;
    }

    Actions actions_;
    std::vector<QPushButton*> chips_;
    std::optional<Clip> selected_;
};

class ClipsPage : public QWidget {
public:
    ClipsPage(PageContext& context, QWidget* parent)
        : QWidget(parent), store_(context.store), alerts_(context.alerts), windows_(context.windows),
          editor_(context.store, context.loop)
    {
        setFixedWidth(pageWidth);
        column_ = new QVBoxLayout(this);
        column_->setContentsMargins(24, 12, 24, 12);
        auto* header = new QLabel(qs(clip_texts::pageHeader));
        header->setWordWrap(true);
        column_->addWidget(header);

        sections_ = new QWidget;
        column_->addWidget(sections_);
        rebuild();

        auto* create = new QHBoxLayout;
        auto* menuButton = new QToolButton;
        menuButton->setObjectName(QStringLiteral("createForScreen"));
        menuButton->setText(qs(clip_texts::createForScreen));
        menuButton->setPopupMode(QToolButton::InstantPopup);
        screenMenu_ = new QMenu(menuButton);
        menuButton->setMenu(screenMenu_);
        connect(screenMenu_, &QMenu::aboutToShow, this, [this] { fillScreenMenu(); });
        fillScreenMenu();
        auto* help = new QToolButton;
        help->setObjectName(QStringLiteral("createHelp"));
        help->setIcon(style()->standardIcon(QStyle::SP_MessageBoxQuestion));
        help->setToolTip(qs(clip_texts::createHelp));
        connect(help, &QToolButton::clicked, this, [help] {
            QToolTip::showText(help->mapToGlobal(QPoint(0, help->height())), help->toolTip(), help);
        });
        create->addWidget(menuButton);
        create->addWidget(help);
        create->addStretch(1);
        column_->addLayout(create);
        column_->addStretch(1);

        observer_ = store_.addChangeObserver([this](const std::vector<std::string>& keys) {
            const bool clipsChanged = std::any_of(keys.begin(), keys.end(), [](const std::string& key) {
                return key == settings_keys::clipHorizontal || key == settings_keys::clipVertical ||
                       key == settings_keys::separateScreenConfiguration;
            });
            if (!clipsChanged)
                return;
            if (busy_ > 0)
                rebuildPending_ = true;
            else
                rebuild();
        });
    }

    ~ClipsPage() override { store_.removeChangeObserver(observer_); }

private:
    // The rows must not be rebuilt under a handler of theirs that is still
    // running (an alert or a menu turns the loop inside it): a change seen
    // meanwhile rebuilds once the outermost handler is done.
    void guarded(const std::function<void()>& work)
    {
        ++busy_;
        work();
        if (--busy_ == 0 && rebuildPending_)
            rebuild();
    }

    void notify(const std::optional<std::string>& message)
    {
        if (message)
            alerts_.showNotice(*message);
    }

    void rebuild()
    {
        rebuildPending_ = false;
        auto* sections = new QWidget;
        auto* column = new QVBoxLayout(sections);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(12);

        auto* defaults = new QVBoxLayout;
        if (std::optional<std::string> title = editor_.defaultSectionTitle())
            defaults->addWidget(boldLabel(qs(*title)));
        addRows(defaults, std::nullopt);
        column->addLayout(defaults);

        const std::vector<ScreenClip> configurations = screenClips(store_);
        for (std::size_t i = 0; i < configurations.size(); ++i)
            column->addLayout(screenSection(i, configurations[i].name));

        // The old rows may still be on the stack below a guarded handler:
        // hidden and detached now, deleted once control is back in the loop.
        QWidget* old = sections_;
        delete column_->replaceWidget(old, sections);
        old->hide();
        old->setParent(nullptr);
        old->deleteLater();
        sections_ = sections;
    }

    void addRows(QVBoxLayout* section, std::optional<std::size_t> screenIndex)
    {
        for (auto axis : {ClipRowRef::Axis::horizontal, ClipRowRef::Axis::vertical}) {
            const ClipRowRef ref{screenIndex, axis};
            const char* label =
                axis == ClipRowRef::Axis::horizontal ? clip_texts::horizontal : clip_texts::vertical;
            ClipRow::Actions actions{
                [this, ref](QWidget* anchor) { guarded([&] { beginAdd(ref, anchor); }); },
                [this, ref](const Clip& clip) { guarded([&] { notify(editor_.remove(ref, clip)); }); },
                [this](const std::function<void()>& work) { guarded(work); }};
            auto* row = new ClipRow(qs(label), editor_.clips(ref), std::move(actions));
            row->setObjectName(rowName(ref));
            section->addWidget(row);
        }
    }

    QVBoxLayout* screenSection(std::size_t index, const std::string& name)
    {
        auto* section = new QVBoxLayout;
        auto* titleLine = new QHBoxLayout;
        titleLine->addWidget(boldLabel(qs(name)));
        titleLine->addStretch(1);
        auto* trash = new QToolButton;
        trash->setObjectName(QStringLiteral("deleteConfiguration"));
        trash->setIcon(
            QIcon::fromTheme(QStringLiteral("user-trash"), style()->standardIcon(QStyle::SP_TrashIcon)));
        connect(trash, &QToolButton::clicked, this, [this, name] { guarded([&] { askDelete(name); }); });
        titleLine->addWidget(trash);
        section->addLayout(titleLine);
        addRows(section, index);
        return section;
    }

    void askDelete(const std::string& name)
    {
        const ClipEditor::Confirmation question = ClipEditor::deleteConfirmation(name);
        const int answer = alerts_.ask(question.message, question.informativeText, question.buttons);
        editor_.answerDelete(name, answer == 0   ? ClipEditor::DeleteAnswer::confirm
                                   : answer == 1 ? ClipEditor::DeleteAnswer::cancel
                                                 : ClipEditor::DeleteAnswer::closed);
    }

    void fillScreenMenu()
    {
        screenMenu_->clear();
        for (const Screen& screen : windows_.screens()) {
            const std::string name = screen.localizedName;
            QAction* item = screenMenu_->addAction(qs(name));
            connect(item, &QAction::triggered, this,
                    [this, name] { guarded([&] { notify(editor_.createScreenConfiguration(name)); }); });
        }
    }

    static QComboBox* picker(int preset)
    {
        auto* box = new QComboBox;
        for (long long n : clipPickerNumerators(false))
            box->addItem(QString::number(n), QVariant::fromValue(n));
        box->setCurrentIndex(box->findData(QVariant::fromValue(static_cast<long long>(preset))));
        return box;
    }

    // The popover belongs to the page, not to the row, so a rebuild while it
    // is open leaves it alone; it edits the row it was opened for.
    void beginAdd(const ClipRowRef& row, QWidget* anchor)
    {
        notify(editor_.beginAdd(row));
        if (popover_)
            popover_->close();

        auto* popover = new QDialog(this);
        popover->setObjectName(QStringLiteral("addClipPopover"));
        popover->setAttribute(Qt::WA_DeleteOnClose);
        popover->setWindowModality(Qt::WindowModal);
        auto* numerator = picker(1);
        numerator->setObjectName(QStringLiteral("numerator"));
        auto* denominator = picker(2);
        denominator->setObjectName(QStringLiteral("denominator"));
        auto* warning = new QLabel;
        warning->setObjectName(QStringLiteral("pickerWarning"));
        warning->hide();

        auto current = [numerator, denominator] {
            return Clip{numerator->currentData().toLongLong(), denominator->currentData().toLongLong()};
        };
        auto showWarning = [warning, current] {
            const std::optional<std::string> text = clipPickerWarning(current());
            warning->setText(text ? qs(*text) : QString());
            warning->setVisible(text.has_value());
        };
        connect(numerator, &QComboBox::currentIndexChanged, popover, showWarning);
        connect(denominator, &QComboBox::currentIndexChanged, popover, showWarning);

        auto* cancel = new QPushButton(qs(clip_texts::cancel));
        connect(cancel, &QPushButton::clicked, popover, &QDialog::close);
        auto* confirm = new QPushButton(qs(clip_texts::confirm));
        confirm->setDefault(true);
        connect(confirm, &QPushButton::clicked, popover, [this, popover, row, current] {
            guarded([&] {
                const std::optional<std::string> refusal = editor_.add(row, current());
                if (refusal)
                    alerts_.showNotice(*refusal);
                else
                    popover->close();
            });
        });

        auto* form = new QFormLayout(popover);
        form->addRow(qs(clip_texts::numerator), numerator);
        form->addRow(qs(clip_texts::denominator), denominator);
        form->addRow(warning);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(cancel);
        buttons->addWidget(confirm);
        form->addRow(buttons);

        popover->adjustSize();
        popover->move(anchor->mapToGlobal(QPoint(0, anchor->height())));
        popover->open();
        popover_ = popover;
    }

    DefaultsStore& store_;
    Alerts& alerts_;
    WindowAccess& windows_;
    ClipEditor editor_;
    DefaultsStore::ObserverId observer_ = 0;
    QVBoxLayout* column_ = nullptr;
    QWidget* sections_ = nullptr;
    QMenu* screenMenu_ = nullptr;
    QPointer<QDialog> popover_;
    int busy_ = 0;
    bool rebuildPending_ = false;
};

} // namespace

QWidget* createClipsPage(PageContext& context, QWidget* parent)
{
    return new ClipsPage(context, parent);
}

} // namespace tilewise
