// The Shortcuts page: a recorder per shortcut name in the sections its model
// gives; the sections are laid out again when three-way pairing or the
// actions' shortcuts change.
#include "app/menu_model.hpp"
#include "app/settings_pages.hpp"
#include "app/tilewise_app.hpp"
#include "quickactions/quick_action.hpp"
#include "settings/storage.hpp"
#include "ui/page_context.hpp"
#include "ui/shortcut_recorder_widget.hpp"
#include "ui/store_binding.hpp"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace tilewise {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

void showExactCenterSheet(PageContext& context, QWidget* parent)
{
    QDialog sheet(parent);
    sheet.setWindowTitle(QStringLiteral("Other"));
    auto* layout = new QVBoxLayout(&sheet);
    auto* box = new QCheckBox(qs(exactCenterSwitch.label), &sheet);
    Storage& storage = context.app.storage();
    box->setChecked(switchValue(storage, exactCenterSwitch.field));
    QObject::connect(box, &QCheckBox::toggled, &sheet,
                     [&storage](bool on) { setSwitch(storage, exactCenterSwitch.field, on); });
    layout->addWidget(box);
    auto* note = new QLabel(qs(exactCenterSwitch.note), &sheet);
    note->setStyleSheet(QStringLiteral("color: gray"));
    layout->addWidget(note);
    auto* done = new QDialogButtonBox(QDialogButtonBox::Ok, &sheet);
    QObject::connect(done, &QDialogButtonBox::accepted, &sheet, &QDialog::accept);
    layout->addWidget(done);
    sheet.exec();
}

// The program's own menu keys: Super-comma opens the settings and Super-Q
// quits, as the tray menu shows.
std::optional<std::string> programMenuItem(const KeyboardShortcuts::Shortcut& s)
{
    constexpr int super = 256;
    if (s == KeyboardShortcuts::Shortcut{MenuModel::commaKeyCode, super})
        return "Settings";
    if (s == KeyboardShortcuts::Shortcut{MenuModel::qKeyCode, super})
        return "Quit";
    return std::nullopt;
}

void fillSections(QWidget* holder, PageContext& context)
{
    auto* layout = static_cast<QVBoxLayout*>(holder->layout());
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    TilewiseApp& app = context.app;
    for (const ShortcutSection& section :
         shortcutSections(app.storage(), quickActions(context.store), app.slotManager())) {
        auto* group = new QGroupBox(qs(section.title), holder);
        auto* form = new QFormLayout(group);
        form->setLabelAlignment(Qt::AlignRight);
        for (const ShortcutRow& row : section.rows) {
            auto* label = new QWidget(group);
            auto* labelRow = new QHBoxLayout(label);
            labelRow->setContentsMargins(0, 0, 0, 0);
            labelRow->addWidget(new QLabel(QString::fromStdString(row.label), label));
            if (!row.help.empty()) {
                auto* help = new QLabel(label);
                help->setPixmap(
                    group->style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(14, 14));
                help->setToolTip(qs(row.help));
                labelRow->addWidget(help);
            }
            KeyboardShortcuts::Name name{row.name, {}};
            if (const KeyboardShortcuts::Name* known = app.shortcutsManagerState().name(row.name))
                name = *known;
            form->addRow(label, new ShortcutRecorderWidget(app.shortcuts(), name, context.alerts,
                                                           context.keyCodeOf, group, programMenuItem));
        }
        if (section.hasOptions) {
            auto* options = new QToolButton(group);
            options->setText(QStringLiteral("Options…"));
            QObject::connect(options, &QToolButton::clicked, group,
                             [&context, group] { showExactCenterSheet(context, group); });
            form->addRow(QString(), options);
        }
        layout->addWidget(group);
    }
    layout->addStretch();
}

} // namespace

QWidget* createShortcutsPage(PageContext& context, QWidget* parent)
{
    auto* page = new QWidget(parent);
    new QVBoxLayout(page);
    page->layout()->setContentsMargins(0, 0, 0, 0);
    fillSections(page, context);
    auto* binding = new StoreBinding(context.store, page);
    QPointer<QWidget> guard(page);
    binding->onKeys({settings_keys::threeWayPair, settings_keys::quickActions}, [guard, &context] {
        if (guard)
            fillSections(guard, context);
    });
    // A combination changed elsewhere (tilewisectl, the settings file).
    binding->add([guard] {
        if (guard)
            for (ShortcutRecorderWidget* recorder : guard->findChildren<ShortcutRecorderWidget*>())
                recorder->refresh();
    });
    return page;
}

} // namespace tilewise
