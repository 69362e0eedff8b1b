#include "ui/settings_window.hpp"

#include "app/settings_pages.hpp"
#include "app/tilewise_app.hpp"
#include "settings/notification_center.hpp"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QToolBar>

namespace tilewise {

namespace {

// The pages' symbols as freedesktop icon names, with a style icon where
// the desktop has no icon theme.
QIcon pageIcon(SettingTab tab)
{
    struct Icon {
        const char* themeName;
        QStyle::StandardPixmap fallback;
    };
    static const Icon icons[] = {
        {"preferences-system", QStyle::SP_FileDialogDetailedView},
        {"view-grid", QStyle::SP_FileDialogListView},
        {"preferences-desktop-keyboard", QStyle::SP_ComputerIcon},
        {"system-run", QStyle::SP_MediaPlay},
        {"action-unavailable", QStyle::SP_BrowserStop},
        {"dialog-information", QStyle::SP_MessageBoxInformation},
        {"help-about", QStyle::SP_FileDialogInfoView},
    };
    const Icon& icon = icons[static_cast<int>(tab)];
    return QIcon::fromTheme(QString::fromLatin1(icon.themeName),
                            QApplication::style()->standardIcon(icon.fallback));
}

QWidget* createPage(SettingTab tab, PageContext& context, QWidget* parent)
{
    switch (tab) {
    case SettingTab::general:
        return createGeneralPage(context, parent);
    case SettingTab::clip:
        return createClipsPage(context, parent);
    case SettingTab::shortcuts:
        return createShortcutsPage(context, parent);
    case SettingTab::actions:
        return createActionsPage(context, parent);
    case SettingTab::exclude:
        return createExcludePage(context, parent);
    case SettingTab::experimental:
        return createAdvancedPage(context, parent);
    case SettingTab::about:
        return createAboutPage(context, parent);
    }
    return nullptr;
}

} // namespace

SettingsWindow::SettingsWindow(PageContext context, std::function<void()> closed)
    : context_(std::move(context)), closed_(std::move(closed))
{
    setAttribute(Qt::WA_DeleteOnClose);
    auto* toolbar = addToolBar(QStringLiteral("Pages"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    pages_ = new QActionGroup(this);
    stack_ = new QStackedWidget(this);
    for (const SettingPage& page : settingPages()) {
        QAction* action = toolbar->addAction(pageIcon(page.tab),
                                             QString::fromUtf8(page.label.data(), int(page.label.size())));
        action->setCheckable(true);
        action->setData(static_cast<int>(page.tab));
        pages_->addAction(action);
        // Every page is laid out in the same frame: 600 points wide, inset
        // 24 left and right and 12 top and bottom.
        auto* scroll = new QScrollArea(stack_);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        QWidget* content = createPage(page.tab, context_, scroll);
        content->setContentsMargins(24, 12, 24, 12);
        scroll->setWidget(content);
        stack_->addWidget(scroll);
        connect(action, &QAction::triggered, this,
                [this, tab = page.tab] { selectPage(static_cast<int>(tab)); });
    }
    setCentralWidget(stack_);
    setFixedWidth(600);
    resize(600, 560);
    selectPage(static_cast<int>(SettingTab::general));
    // Pages are asked for by notification, for as long as the window lives.
    pageRequests_ = context_.app.notifications().addObserver(
        notification_names::openSettingTab, [this](const NotificationCenter::UserInfo& info) {
            auto it = info.find(notification_keys::tab);
            if (it == info.end())
                return;
            if (std::optional<SettingTab> tab = settingTabFromRaw(it->second))
                selectPage(static_cast<int>(*tab));
        });
}

SettingsWindow::~SettingsWindow()
{
    context_.app.notifications().removeObserver(pageRequests_);
}

void SettingsWindow::selectPage(int index)
{
    if (index < 0 || index >= stack_->count())
        return;
    stack_->setCurrentIndex(index);
    QAction* page = pages_->actions().at(index);
    page->setChecked(true);
    // Titled by its page, as settings windows are.
    setWindowTitle(page->text());
}

int SettingsWindow::currentPage() const
{
    return stack_->currentIndex();
}

void SettingsWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted() && closed_)
        closed_();
}

} // namespace tilewise
