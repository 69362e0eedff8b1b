// The actions page forwards list edits, shortcut switches and menu keys to
// the action editor; the rules themselves are the models'.
#include "ui_test.hpp"

#include "quickactions/shortcuts_slot_manager.hpp"
#include "settings/storage.hpp"
#include "ui/menu_key_recorder_widget.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QToolButton>

namespace tilewise {
namespace {

struct Page : ui_test::MemoryProgram {
    // "Top Half" has W (13); the two others hold slots 3 and 5.
    explicit Page(bool menuEnabled)
    {
        app.storage().setQuickActionEnabled(menuEnabled);
        storeQuickActions(store, {{"top", "Top Half", false, {}, 13, {}},
                                  {"a", "A", true, 3, -1, {}},
                                  {"b", "B", true, 5, 8, {}}});
        for (std::int64_t slot : {3, 5})
            app.shortcuts().setShortcut(*app.slotManager().slotName(slot), {40, KeyboardShortcuts::control});
        // Scan codes are the key codes here.
        context.keyCodeOf = [](std::uint32_t native) { return std::optional<int>(int(native)); };
        widget.reset(createActionsPage(context, nullptr));
        widget->show();
        widget->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(widget.get()));
    }

    QListWidget* list() const { return widget->findChild<QListWidget*>(QStringLiteral("actionList")); }
    QStringList names() const
    {
        QStringList texts;
        for (int i = 0; i < list()->count(); ++i)
            texts << list()->itemWidget(list()->item(i))->findChild<QLabel*>()->text();
        return texts;
    }
    MenuKeyRecorderWidget* recorder(int row) const
    {
        return list()->itemWidget(list()->item(row))->findChild<MenuKeyRecorderWidget*>();
    }
    static void press(QWidget* target, int keyCode, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, quint32(keyCode), 0, 0);
        QApplication::sendEvent(target, &event);
    }

    std::unique_ptr<QWidget> widget;
};

class ActionsPageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addsAndDeletesRows()
    {
        Page page(false);
        QCOMPARE(page.names(), QStringList({"Top Half", "A", "B"}));
        // No menu keys while the menu is off, and none stored are touched.
        QVERIFY(!page.widget->findChild<MenuKeyRecorderWidget*>());
        for (QLabel* label : page.widget->findChildren<QLabel*>())
            QVERIFY(label->text() != QLatin1String("Menu key"));

        page.widget->findChild<QToolButton*>(QStringLiteral("addAction"))->click();
        QCOMPARE(page.names(), QStringList({"Top Half", "A", "B", "New Action"}));
        QVERIFY(!page.widget->findChild<QDialog*>());
        QTRY_VERIFY(page.widget->findChild<QDialog*>());
        page.widget->findChild<QDialog*>()->close();

        page.list()->item(1)->setSelected(true);
        page.list()->item(2)->setSelected(true);
        page.list()->setFocus();
        QTest::keyClick(page.list(), Qt::Key_Delete);
        QCOMPARE(page.names(), QStringList({"Top Half", "New Action"}));
        QVERIFY(page.list()->selectedItems().isEmpty());
        for (std::int64_t slot : {3, 5})
            QVERIFY(!page.app.shortcuts().shortcut(*page.app.slotManager().slotName(slot)));
        QCOMPARE(quickActions(page.store)[0].key, 13);
    }

    void recordsMenuKeys()
    {
        Page page(true);
        MenuKeyRecorderWidget* field = page.recorder(2);
        QCOMPARE(field->text(), QStringLiteral("C"));
        QTest::mouseClick(field, Qt::LeftButton);
        QVERIFY(field->model().isRecording());

        Page::press(field, 13, Qt::Key_W);
        QCOMPARE(page.alerts.messages(), std::vector<std::string>{"The key is already is use"});
        QCOMPARE(quickActions(page.store)[2].key, 8);
        QVERIFY(!field->model().isRecording());

        QTest::mouseClick(field, Qt::LeftButton);
        Page::press(field, 40, Qt::Key_K, Qt::ShiftModifier);
        QCOMPARE(quickActions(page.store)[2].key, 40);
        QCOMPARE(page.recorder(2)->text(), QStringLiteral("K"));
        QVERIFY(!field->model().isRecording());
    }
};

TILEWISE_UI_TEST(ActionsPageTest)

} // namespace
} // namespace tilewise

#include "actions_page_test.moc"
