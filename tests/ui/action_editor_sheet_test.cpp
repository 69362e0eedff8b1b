// An action made entirely in the editor sheet runs from its shortcut, and
// the kind editors keep what they do not show.
#include "ui_test.hpp"

#include "quickactions/action_editor.hpp"
#include "ui/action_editor_sheet.hpp"
#include "ui/shortcut_recorder_widget.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QToolButton>

namespace tilewise {
namespace {

using T = QuickAction::OperationType;
constexpr int control = 4096, option = 2048, key1 = 18;

// Finds the entry of `type` in the menu or its submenus and chooses it.
bool choose(QMenu* menu, T type)
{
    const QString text = QString::fromUtf8(label(type).data(), static_cast<int>(label(type).size()));
    for (QAction* action : menu->actions()) {
        if (action->menu() && choose(action->menu(), type))
            return true;
        if (!action->menu() && action->text() == text) {
            action->trigger();
            return true;
        }
    }
    return false;
}

struct Sheet : ui_test::MemoryProgram {
    Sheet()
    {
        windows.setMainScreen(windows.addScreen({0, 0, 1440, 900}, {0, 0, 1440, 875}, "Built-in Display"));
        window = windows.addWindow(Rect(300, 100, 500, 400));
        windows.setFocused(window);
        // Native scan codes stand for key codes here.
        context.keyCodeOf = [](std::uint32_t native) { return std::optional<int>(static_cast<int>(native)); };
        id = editor.addAction();
        sheet = openActionEditorSheet(context, editor, id, nullptr);
    }
    ~Sheet() { delete sheet.data(); }

    QListWidget* list() const { return sheet->findChild<QListWidget*>(QStringLiteral("operations")); }
    // Rows and the controls of a changed type are replaced by deferred deletion.
    QWidget* row(int i) const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return list()->itemWidget(list()->item(i));
    }
    bool add(T type) const { return choose(sheet->findChild<QToolButton*>(QStringLiteral("addOperation"))->menu(), type); }
    bool changeType(int i, T type) const
    {
        return choose(row(i)->findChild<QToolButton*>(QStringLiteral("typeMenu"))->menu(), type);
    }
    void type(int i, const char* field, const char* text) const
    {
        auto* edit = row(i)->findChild<QLineEdit*>(QLatin1String(field));
        edit->selectAll();
        QTest::keyClicks(edit, QLatin1String(text));
    }
    QuickAction::Action stored() const
    {
        for (const QuickAction::Action& a : editor.actions())
            if (a.id == id)
                return a;
        return {};
    }

    ActionEditor editor{store, app.slotManager(), alerts, loop, app.notifications()};
    WindowElement window;
    std::string id;
    QPointer<QDialog> sheet;
};

class ActionEditorSheetTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void anActionMadeInTheSheetRunsFromItsShortcut()
    {
        Sheet s;
        auto* title = s.sheet->findChild<QLineEdit*>(QStringLiteral("title"));
        title->selectAll();
        QTest::keyClicks(title, QStringLiteral("Tidy Up"));
        QVERIFY(s.add(T::moveAndResizeToLeftHalf));
        QVERIFY(s.add(T::moveByDistance));
        s.type(1, "moveDistanceX", "100");
        QVERIFY(s.add(T::resizeToSize));
        s.row(2)->findChild<QComboBox*>(QStringLiteral("size.unit"))->setCurrentIndex(2);
        s.type(2, "size.pt.x", "640");
        s.type(2, "size.pt.y", "480");

        s.sheet->findChild<QCheckBox*>(QStringLiteral("shortcutEnabled"))->click();
        auto* recorder = s.sheet->findChild<ShortcutRecorderWidget*>();
        QVERIFY(recorder);
        auto* field = recorder->findChild<QLineEdit*>();
        QFocusEvent focus(QEvent::FocusIn);
        QApplication::sendEvent(field, &focus);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_1, Qt::ControlModifier | Qt::AltModifier, key1, 0, 0);
        QApplication::sendEvent(field, &press);

        QVERIFY(s.hotKeys.press(key1, control | option));
        QTRY_VERIFY(s.windows.frame(s.window) == Rect(100, 25, 640, 480));
        const QuickAction::Action action = s.stored();
        QCOMPARE(action.name, std::string("Tidy Up"));
        QCOMPARE(action.shortcutSlot, std::optional<std::int64_t>(0));
        QCOMPARE(action.operations.size(), std::size_t(3));
        QVERIFY(action.operations[0].type == T::moveAndResizeToLeftHalf);
        QVERIFY(action.operations[1].type == T::moveByDistance);
        QVERIFY(action.operations[2].type == T::resizeToSize);
    }

    void changingTheTypeKeepsTheOtherFields()
    {
        Sheet s;
        QVERIFY(s.add(T::moveToPosition));
        s.row(0)->findChild<QComboBox*>(QStringLiteral("position.unit"))->setCurrentIndex(2);
        s.type(0, "position.pt.x", "50");
        QVERIFY(s.changeType(0, T::moveByDistance));
        QVERIFY(s.row(0)->findChild<QLineEdit*>(QStringLiteral("moveDistanceX")));
        QVERIFY(s.changeType(0, T::moveToPosition));
        QCOMPARE(s.row(0)->findChild<QLineEdit*>(QStringLiteral("position.pt.x"))->text(), QStringLiteral("50"));
        QCOMPARE(s.stored().operations[0].position.width, 50.0);

        // The direction maxima are in the resize editor, not in the add menu.
        QVERIFY(!s.add(T::resizeToHorizontalMaximize));
        QVERIFY(s.add(T::resizeToSize));
        QVERIFY(s.changeType(1, T::resizeToHorizontalMaximize));
        QVERIFY(s.stored().operations[1].type == T::resizeToHorizontalMaximize);
        QCOMPARE(s.stored().operations[1].size, (Size{800, 600}));

        // An edit from elsewhere shows; Delete removes the selected rows.
        std::vector<QuickAction::Action> actions = s.editor.actions();
        actions.back().operations[0].position.width = 70;
        storeQuickActions(s.store, actions);
        QCOMPARE(s.row(0)->findChild<QLineEdit*>(QStringLiteral("position.pt.x"))->text(), QStringLiteral("70"));
        s.list()->item(0)->setSelected(true);
        QTest::keyClick(s.list(), Qt::Key_Delete);
        QCOMPARE(s.stored().operations.size(), std::size_t(1));
    }
};

TILEWISE_UI_TEST(ActionEditorSheetTest)

} // namespace
} // namespace tilewise

#include "action_editor_sheet_test.moc"
