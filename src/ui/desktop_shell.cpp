#include "ui/desktop_shell.hpp"

#include "app/app_shell.hpp"
#include "app/menu_model.hpp"
#include "app/tilewise_app.hpp"
#include "app/web_addresses.hpp"
#include "layout/action_context.hpp"
#include "platform/diagnostics.hpp"
#include "platform/window_access.hpp"
#include "quickactions/quick_action_panel.hpp"
#include "quickactions/quick_action_perform.hpp"
#include "settings/defaults_store.hpp"
#include "settings/notification_center.hpp"
#include "settings/setting_enums.hpp"
#include "shortcuts/key_text.hpp"
#include "ui/icon.hpp"
#include "ui/qt_alerts.hpp"
#include "ui/qt_keys.hpp"
#include "ui/qt_run_loop.hpp"
#include "ui/quick_action_panel_window.hpp"
#include "ui/settings_window.hpp"
#include "ui/welcome_window.hpp"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>

#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWidgetAction>
#include <unistd.h>

namespace tilewise {

namespace {

constexpr int carbonControl = 4096, carbonOption = 2048, carbonShift = 512, carbonCommand = 256;

// A stored combination as a key sequence the menu can show.
QKeySequence keySequence(const KeyboardShortcuts::Shortcut& s, const KeyboardLayout& layout)
{
    static const std::map<int, const char*> named = {
        {Key::returnKey, "Return"},
        {Key::tab, "Tab"},
        {Key::space, "Space"},
        {Key::deleteKey, "Backspace"},
        {Key::escape, "Esc"},
        {Key::forwardDelete, "Del"},
        {Key::leftArrow, "Left"},
        {Key::rightArrow, "Right"},
        {Key::downArrow, "Down"},
        {Key::upArrow, "Up"},
        {115, "Home"},
        {119, "End"},
        {116, "PgUp"},
        {121, "PgDown"},
    };
    QString text;
    if (s.carbonModifiers & carbonControl)
        text += QStringLiteral("Ctrl+");
    if (s.carbonModifiers & carbonOption)
        text += QStringLiteral("Alt+");
    if (s.carbonModifiers & carbonShift)
        text += QStringLiteral("Shift+");
    if (s.carbonModifiers & carbonCommand)
        text += QStringLiteral("Meta+");
    if (auto it = named.find(s.carbonKeyCode); it != named.end())
        return QKeySequence(text + QString::fromLatin1(it->second));
    if (isFunctionKey(s.carbonKeyCode)) {
        std::optional<std::string> f = menuKeyText(s.carbonKeyCode, 0, layout);
        return f ? QKeySequence(text + QString::fromStdString(*f)) : QKeySequence();
    }
    std::optional<std::string> key = keyDisplayText(s.carbonKeyCode, layout);
    if (!key)
        return QKeySequence();
    return QKeySequence(text + QString::fromStdString(*key).toUpper());
}

class QtDesktopShell : public DesktopShell {
public:
    QtDesktopShell(int& argc, char** argv) : app_(argc, argv)
    {
        QApplication::setApplicationName(QStringLiteral("Tilewise"));
        QApplication::setApplicationVersion(QStringLiteral(TILEWISE_VERSION));
        QApplication::setDesktopFileName(QStringLiteral("tilewise"));
        QApplication::setWindowIcon(tilewiseIcon());
        // The program lives in the tray: closing its windows does not end it.
        QApplication::setQuitOnLastWindowClosed(false);
        loop_ = std::make_unique<QtRunLoop>();
    }

    ~QtDesktopShell() override { stop(); }

    void stop() override
    {
        // Windows and the menu go before the engine they refer to.
        if (context_)
            context_->app.setQuickActionPanel(nullptr, nullptr);
        panelWindow_.reset();
        panel_.reset();
        delete settings_.data();
        delete welcome_.data();
        tray_.reset();
        menu_.reset();
        model_.reset();
        shell_.reset();
        if (context_ && trayObserver_)
            context_->store.removeChangeObserver(trayObserver_);
        trayObserver_ = 0;
        context_.reset();
    }

    EventLoop& loop() override { return *loop_; }
    Alerts& alerts() override { return alerts_; }

    void start(ShellContext context) override
    {
        context_.emplace(std::move(context));
        TilewiseApp& app = context_->app;
        MenuHandlers handlers;
        // On the window that was focused when the menu opened: opening it
        // may have activated one of ours.
        handlers.perform = [this](OperationType op) {
            context_->newOperation();
            if (!menuTarget_) {
                context_->app.performRequested(op);
                return;
            }
            ActionContext target{*menuTarget_, std::nullopt};
            context_->app.layoutManager().perform(op, &target);
        };
        handlers.runAction = [this](const std::string& id) {
            context_->newOperation();
            context_->app.runActionRequested(id, nullptr, menuTarget_);
        };
        handlers.showSettings = [this](std::optional<SettingTab> tab) { showSettingsTab(tab); };
        handlers.openUrl = [](const std::string& url) {
            QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
        };
        handlers.quit = [this] { loop_->quit(); };
        model_ = std::make_unique<MenuModel>(
            MenuSources{context_->store, app.storage(), app.shortcuts(), app.notifications(),
                        app.slotManager()},
            context_->version.empty() ? std::nullopt : std::optional<std::string>(context_->version),
            std::move(handlers));
        menu_ = std::make_unique<QMenu>();
        menu_->installEventFilter(&keyFilter_);
        keyFilter_.shell = this;
        QObject::connect(menu_.get(), &QMenu::aboutToShow, [this] {
            menuTarget_ = userWindow();
            rebuildMenu();
            // The open menu holds the keyboard: hot keys reach the service
            // through it instead.
            context_->app.shortcuts().setMenuOpen(true);
        });
        QObject::connect(menu_.get(), &QMenu::aboutToHide,
                         [this] { context_->app.shortcuts().setMenuOpen(false); });
        model_->onChange([this] { rebuildMenu(); });
        rebuildMenu();

        tray_ = std::make_unique<QSystemTrayIcon>(tilewiseIcon());
        tray_->setToolTip(QStringLiteral("Tilewise"));
        tray_->setContextMenu(menu_.get());
        QObject::connect(tray_.get(), &QSystemTrayIcon::activated,
                         [this](QSystemTrayIcon::ActivationReason why) {
                             if (why == QSystemTrayIcon::Trigger)
                                 menu_->popup(QCursor::pos());
                         });
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            diag::problem("no system tray on this display yet: the icon shows once one starts; meanwhile "
                          "'tilewise' started again opens the settings");
        followMenubarIconSetting();
        startQuickActionPanel();

        AppShell::Hooks hooks;
        hooks.canLayOut = context_->canLayOut;
        hooks.permissionHelpAddress = web::below("/help/permission");
        hooks.openAddress = [](const std::string& url) {
            QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
        };
        hooks.showWelcome = [this] { showWelcome(); };
        hooks.quit = [this] { loop_->quit(); };
        hooks.setActivationPolicy = [this](ActivationPolicy p) { policy_ = p; };
        shell_ = std::make_unique<AppShell>(context_->store, alerts_, *loop_, std::move(hooks));
        // Once the loop turns, so that a modal alert does not run inside the
        // program's start.
        loop_->post([this] { shell_->start(); });
    }

    bool showSettings(const std::string& page) override
    {
        std::optional<SettingTab> tab;
        if (!page.empty()) {
            tab = settingTabFromRaw(page);
            if (!tab)
                return false;
        }
        showSettingsTab(tab);
        return true;
    }

private:
    struct KeyFilter : QObject {
        QtDesktopShell* shell = nullptr;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
                return QObject::eventFilter(watched, event);
            auto* key = static_cast<QKeyEvent*>(event);
            const std::optional<int> code = shell->context_->keyCodeOf(key->nativeScanCode());
            if (!code)
                return false;
            shell->context_->newOperation();
            // A registered combination runs its action and never reaches
            // the menu.
            return shell->context_->app.shortcuts().handleRawKeyEvent(
                *code, carbonModifiers(key->modifiers()), event->type() == QEvent::KeyPress);
        }
    };

    // The window the menu acts on: the focused one, unless the click on the
    // icon has just activated a window of ours (the settings), in which case
    // the user's window focused before it.
    std::optional<WindowElement> userWindow()
    {
        context_->newOperation();
        std::optional<WindowElement> focused = context_->windows.focusedWindow();
        const LayoutListener& history = context_->app.layoutListener();
        auto ours = [&](std::optional<WindowId> id) {
            auto pid = id ? history.windowIdToPid.find(*id) : history.windowIdToPid.end();
            return pid != history.windowIdToPid.end() && pid->second == static_cast<Pid>(getpid());
        };
        if (!focused || !history.lastWindowId || !ours(context_->windows.windowId(*focused)) ||
            ours(history.lastWindowId))
            return focused;
        auto before = history.windowIdToElement.find(*history.lastWindowId);
        return before != history.windowIdToElement.end() ? std::optional<WindowElement>(before->second)
                                                         : focused;
    }

    void rebuildMenu()
    {
        menu_->clear();
        for (const MenuEntry& entry : model_->entries()) {
            const QString title = QString::fromStdString(entry.title);
            switch (entry.kind) {
            case MenuEntry::Kind::separator:
                menu_->addSeparator();
                break;
            case MenuEntry::Kind::text: {
                auto* label = new QLabel(title);
                QFont font = label->font();
                if (entry.smallFont)
                    font.setPointSizeF(11 * 0.75); // 11 points of the platform's 72 per inch
                label->setFont(font);
                label->setContentsMargins(12, 2, 12, 2);
                label->setEnabled(false);
                auto* action = new QWidgetAction(menu_.get());
                action->setDefaultWidget(label);
                menu_->addAction(action);
                break;
            }
            case MenuEntry::Kind::item: {
                QAction* action = menu_->addAction(title);
                if (entry.keyEquivalent)
                    action->setShortcut(keySequence(*entry.keyEquivalent, context_->keyboardLayout));
                // Shown, not grabbed: the hot keys are global already.
                action->setShortcutContext(Qt::WidgetShortcut);
                // Held by pointer: GCC 12 misreads a variant copied into a
                // lambda as uninitialized.
                auto command = std::make_shared<MenuCommand>(entry.command);
                QObject::connect(action, &QAction::triggered, [this, command] { model_->choose(*command); });
                break;
            }
            }
        }
    }

    // The panel is made once and kept; closing it only hides it.
    void startQuickActionPanel()
    {
        QuickActionPanel::Hooks hooks;
        hooks.run = [this](const QuickAction::Action& action, WindowElement element,
                           std::optional<Screen> screen) {
            context_->newOperation();
            context_->app.quickActionPerformer().run(action, element, screen);
        };
        hooks.showSettings = [this](SettingTab tab) { showSettingsTab(tab); };
        hooks.changed = [this] {
            if (panelWindow_)
                panelWindow_->sync();
            // While it shows, the panel holds the keyboard: the hot keys
            // reach the service through it, as through the menu.
            if (panel_ && panel_->visible() != panelShown_) {
                panelShown_ = panel_->visible();
                context_->app.shortcuts().setMenuOpen(panelShown_);
            }
        };
        panel_ =
            std::make_unique<QuickActionPanel>(context_->windows, context_->store, context_->app.storage(),
                                               context_->keyboardLayout, std::move(hooks));
        panelWindow_ = std::make_unique<QuickActionPanelWindow>(
            *panel_, QuickActionPanelWindow::Hooks{context_->keyCodeOf, [this](QKeyEvent* key) {
                                                       return keyFilter_.eventFilter(nullptr, key);
                                                   }});
        context_->app.setQuickActionPanel(
            [this] {
                context_->newOperation();
                panel_->open();
                panelWindow_->present();
            },
            [this] { return panel_ && panel_->visible(); });
    }

    void followMenubarIconSetting()
    {
        tray_->setVisible(context_->app.storage().showMenubarIcon());
        trayObserver_ = context_->store.addChangeObserver([this](const std::vector<std::string>&) {
            if (tray_)
                tray_->setVisible(context_->app.storage().showMenubarIcon());
        });
    }

    void showSettingsTab(std::optional<SettingTab> tab)
    {
        shell_->windowShown(AppShell::Window::settings);
        if (!settings_) {
            PageContext pages{context_->app,
                              context_->store,
                              alerts_,
                              *loop_,
                              context_->keyboardLayout,
                              context_->windows,
                              context_->version,
                              context_->build,
                              context_->keyCodeOf};
            settings_ =
                new SettingsWindow(pages, [this] { shell_->windowClosed(AppShell::Window::settings); });
        }
        bringToFront(settings_);
        // On a later turn, so that a window built just now sees it.
        if (tab)
            loop_->post([this, tab] {
                if (context_)
                    context_->app.notifications().post(
                        notification_names::openSettingTab,
                        {{notification_keys::tab, std::string(rawValue(*tab))}});
            });
    }

    void showWelcome()
    {
        if (!welcome_)
            welcome_ = new WelcomeWindow(
                context_->app.notifications(), [this](SettingTab tab) { showSettingsTab(tab); },
                [this] { shell_->windowClosed(AppShell::Window::welcome); });
        bringToFront(welcome_);
    }

    static void bringToFront(QWidget* window)
    {
        window->show();
        window->raise();
        window->activateWindow();
    }

    QApplication app_;
    std::unique_ptr<QtRunLoop> loop_;
    QtAlerts alerts_;
    std::optional<ShellContext> context_;
    std::unique_ptr<MenuModel> model_;
    std::unique_ptr<QMenu> menu_;
    KeyFilter keyFilter_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<QuickActionPanel> panel_;
    std::unique_ptr<QuickActionPanelWindow> panelWindow_;
    bool panelShown_ = false;
    std::unique_ptr<AppShell> shell_;
    QPointer<SettingsWindow> settings_;
    QPointer<WelcomeWindow> welcome_;
    ActivationPolicy policy_ = ActivationPolicy::accessory;
    std::uint64_t trayObserver_ = 0;
    std::optional<WindowElement> menuTarget_;
};

} // namespace

std::unique_ptr<DesktopShell> DesktopShell::create(int& argc, char** argv, std::string& error)
{
    // Qt ends the process when it cannot open its display; ask first.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY")) {
        error = "no display for the tray and the windows (DISPLAY is not set)";
        return nullptr;
    }
    return std::make_unique<QtDesktopShell>(argc, argv);
}

} // namespace tilewise
