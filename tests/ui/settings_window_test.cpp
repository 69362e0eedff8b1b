// The settings window shows its pages in order and each page's controls are
// bound to the settings both ways; the rules are the models'.
#include "ui_test.hpp"

#include "quickactions/quick_action.hpp"
#include "settings/notification_center.hpp"
#include "settings/storage.hpp"
#include "ui/settings_window.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QTest>
#include <QToolBar>

namespace tilewise {
namespace {

struct Window : ui_test::MemoryProgram {
    Window()
    {
        window = new SettingsWindow(context, [this] { ++closed; });
        window->show();
    }
    ~Window() { delete window.data(); }

    bool hasLabel(const QString& text) const
    {
        for (QLabel* label : window->findChildren<QLabel*>())
            if (label->text() == text)
                return true;
        return false;
    }
    QCheckBox* box(const QString& text) const
    {
        for (QCheckBox* b : window->findChildren<QCheckBox*>())
            if (b->text() == text)
                return b;
        return nullptr;
    }

    QPointer<SettingsWindow> window;
    int closed = 0;
};

class SettingsWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pagesInOrderAndAskedForByNotification()
    {
        Window w;
        QStringList labels;
        for (QAction* a : w.window->findChild<QToolBar*>()->actions())
            labels << a->text();
        QCOMPARE(labels,
                 QStringList({"General", "Clips", "Shortcuts", "Actions", "Exclude", "Advanced", "About"}));
        QCOMPARE(w.window->width(), 600);
        QCOMPARE(w.window->windowTitle(), QStringLiteral("General"));
        w.app.notifications().post("openSettingTab", {{"tab", "about"}});
        QCOMPARE(w.window->windowTitle(), QStringLiteral("About"));
        QVERIFY(w.hasLabel(QStringLiteral("Current version 1.2 ($BUILD_NO)")));
        w.window->close();
        QCOMPARE(w.closed, 1);
    }

    void switchesAndRowsFollowTheSettingsBothWays()
    {
        Window w;
        w.box(QStringLiteral("Clip from Menubar"))->click();
        QCOMPARE(w.store.value("TilewiseShowClipInMenubar"), std::optional<DefaultsValue>(true));
        w.app.storage().setLaunchAtLogin(false);
        w.app.storage().setSmartPairMode(true);
        QVERIFY(w.box(QStringLiteral("Smart Pair Mode"))->isChecked());

        // The three-way row and the actions section come and go with their settings.
        QVERIFY(!w.hasLabel(QStringLiteral("Three-way Pair")));
        w.box(QStringLiteral("Three-way Pair"))->click();
        QVERIFY(w.hasLabel(QStringLiteral("Three-way Pair")));
        std::vector<QuickAction::Action> actions = QuickAction::defaultActions();
        actions[4].shortcutEnabled = true;
        actions[4].shortcutSlot = 0;
        storeQuickActions(w.store, actions);
        QVERIFY(w.hasLabel(QStringLiteral("Center Half")));

        // An application ignored elsewhere shows on the Exclude page at once.
        auto* excluded = w.window->findChild<QListWidget*>();
        const int before = excluded->count();
        w.store.set("TilewiseExcludes", std::string(R"(["XScreenSaver","org.example.Editor"])"));
        QCOMPARE(excluded->count(), before + 1);
        QCOMPARE(excluded->item(excluded->count() - 1)->toolTip(), QStringLiteral("org.example.Editor"));
    }
};

TILEWISE_UI_TEST(SettingsWindowTest)

} // namespace
} // namespace tilewise

#include "settings_window_test.moc"
