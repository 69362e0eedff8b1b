// The settings pages drawn from their models: General, Advanced and About.
#include "app/settings_pages.hpp"
#include "app/tilewise_app.hpp"
#include "quickactions/quick_action.hpp"
#include "settings/defaults_store.hpp"
#include "settings/storage.hpp"
#include "ui/icon.hpp"
#include "ui/page_context.hpp"
#include "ui/store_binding.hpp"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QUrl>
#include <QVBoxLayout>

namespace tilewise {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

QLabel* note(std::string_view text, QWidget* parent)
{
    auto* label = new QLabel(qs(text), parent);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: gray"));
    return label;
}

// A switch bound to its setting both ways.
void addSwitch(QVBoxLayout* column, const SwitchRow& row, PageContext& context, StoreBinding* binding,
               QWidget* parent)
{
    auto* box = new QCheckBox(qs(row.label), parent);
    Storage& storage = context.app.storage();
    QObject::connect(box, &QCheckBox::toggled, parent, [&storage, field = row.field](bool on) {
        if (switchValue(storage, field) != on)
            setSwitch(storage, field, on);
    });
    binding->add([box, &storage, field = row.field] {
        const QSignalBlocker quiet(box);
        box->setChecked(switchValue(storage, field));
    });
    column->addWidget(box);
    if (!row.note.empty())
        column->addWidget(note(row.note, parent));
}

QWidget* column(QWidget* parent, QVBoxLayout*& layout)
{
    auto* page = new QWidget(parent);
    layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    return page;
}

std::optional<std::string> present(const std::string& text)
{
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

} // namespace

QWidget* createGeneralPage(PageContext& context, QWidget* parent)
{
    QVBoxLayout* layout = nullptr;
    QWidget* page = column(parent, layout);
    auto* binding = new StoreBinding(context.store, page);
    const GeneralPage model = generalPage(present(context.version), present(context.build));
    for (const SwitchRow& row : model.switches)
        addSwitch(layout, row, context, binding, page);
    for (const GeneralPage::LinkButton& link : model.buttons) {
        auto* row = new QHBoxLayout();
        row->addWidget(new QLabel(qs(link.label), page));
        auto* button = new QPushButton(qs(link.button), page);
        QObject::connect(button, &QPushButton::clicked, page, [address = link.address] {
            QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
        });
        row->addWidget(button);
        row->addStretch();
        layout->addLayout(row);
    }
    auto* version = note(model.versionLine, page);
    QFont small = version->font();
    small.setPointSizeF(11 * 0.75);
    version->setFont(small);
    layout->addWidget(version);
    layout->addStretch();
    return page;
}

QWidget* createAdvancedPage(PageContext& context, QWidget* parent)
{
    QVBoxLayout* layout = nullptr;
    QWidget* page = column(parent, layout);
    auto* binding = new StoreBinding(context.store, page);
    auto* selector = new QTabBar(page);
    auto* modes = new QStackedWidget(page);
    for (AdvancedMode mode : {AdvancedMode::advanced, AdvancedMode::experimental}) {
        const AdvancedModeContent content = advancedMode(mode);
        selector->addTab(qs(content.title));
        QVBoxLayout* modeLayout = nullptr;
        QWidget* modePage = column(modes, modeLayout);
        if (!content.warning.empty())
            modeLayout->addWidget(new QLabel(qs(content.warning), modePage));
        if (!content.feedback.empty())
            modeLayout->addWidget(note(content.feedback, modePage));
        for (const SwitchRow& row : content.switches)
            addSwitch(modeLayout, row, context, binding, modePage);
        if (content.hasSizingChoice) {
            auto* box = new QGroupBox(qs(sizingLabel), modePage);
            auto* choices = new QVBoxLayout(box);
            auto* group = new QButtonGroup(box);
            Storage& storage = context.app.storage();
            for (const SizingChoice& choice : sizingChoices()) {
                auto* radio = new QRadioButton(qs(choice.label), box);
                group->addButton(radio);
                choices->addWidget(radio);
                QObject::connect(radio, &QRadioButton::toggled, box,
                                 [&storage, value = choice.value](bool on) {
                                     if (on && storage.smartPairModeSizing() != value)
                                         storage.setSmartPairModeSizing(value);
                                 });
                binding->add([radio, &storage, value = choice.value] {
                    const QSignalBlocker quiet(radio);
                    radio->setChecked(storage.smartPairModeSizing() == value);
                });
            }
            QString help;
            for (std::string_view paragraph : sizingHelp())
                help += (help.isEmpty() ? QString() : QStringLiteral("\n\n")) + qs(paragraph);
            box->setToolTip(help);
            modeLayout->addWidget(box);
        }
        modeLayout->addStretch();
        modes->addWidget(modePage);
    }
    QObject::connect(selector, &QTabBar::currentChanged, modes, &QStackedWidget::setCurrentIndex);
    layout->addWidget(selector, 0, Qt::AlignHCenter);
    layout->addWidget(modes);
    return page;
}

QWidget* createAboutPage(PageContext& context, QWidget* parent)
{
    QVBoxLayout* layout = nullptr;
    QWidget* page = column(parent, layout);
    const AboutPage model = aboutPage(present(context.version));
    auto* icon = new QLabel(page);
    icon->setPixmap(tilewiseIcon().pixmap(64, 64));
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    auto* name = new QLabel(qs(model.productName), page);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    name->setFont(big);
    layout->addWidget(name, 0, Qt::AlignHCenter);
    layout->addWidget(
        new QLabel(qs(model.versionLabel) + QStringLiteral(" ") + QString::fromStdString(model.version),
                   page),
        0, Qt::AlignHCenter);
    layout->addWidget(note(model.rights, page), 0, Qt::AlignHCenter);
    auto link = [page](const PageLink& l) {
        auto* label = new QLabel(
            QStringLiteral("<a href=\"%1\">%2</a>")
                .arg(QString::fromStdString(l.address).toHtmlEscaped(), qs(l.label).toHtmlEscaped()),
            page);
        label->setOpenExternalLinks(true);
        return label;
    };
    auto* links = new QHBoxLayout();
    links->addStretch();
    for (const PageLink& l : model.links)
        links->addWidget(link(l));
    links->addStretch();
    layout->addLayout(links);
    auto* components = new QGroupBox(QStringLiteral("Open-source components"), page);
    auto* list = new QVBoxLayout(components);
    for (const PageLink& l : model.components)
        list->addWidget(link(l));
    layout->addWidget(components);
    layout->addStretch();
    return page;
}

} // namespace tilewise
