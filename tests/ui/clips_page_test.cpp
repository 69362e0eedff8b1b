// The clips page shows the stored lists and forwards every edit and every
// refusal of the clip editor; the rules themselves are the editor's.
#include "ui_test.hpp"

#include "settings/clip_editor.hpp"
#include "settings/json_array.hpp"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace tilewise {
namespace {

struct Page : ui_test::MemoryProgram {
    explicit Page(const std::vector<Clip>& horizontal)
    {
        writeJsonArray(store, settings_keys::clipHorizontal, horizontal);
        windows.addScreen({0, 0, 1440, 900}, {0, 0, 1440, 875}, "Left Monitor");
        widget.reset(createClipsPage(context, nullptr));
        widget->show();
    }

    QWidget* row(const char* name) const { return widget->findChild<QWidget*>(QLatin1String(name)); }
    bool label(const char* text) const
    {
        for (QLabel* label : widget->findChildren<QLabel*>())
            if (label->text() == QLatin1String(text))
                return true;
        return false;
    }
    QStringList chips(const char* rowName) const
    {
        QStringList texts;
        for (QPushButton* chip : row(rowName)->findChildren<QPushButton*>(QStringLiteral("clipChip")))
            texts << chip->text();
        return texts;
    }
    QDialog* confirmAdd(const char* rowName, int numerator, int denominator)
    {
        row(rowName)->findChild<QToolButton*>(QStringLiteral("addClip"))->click();
        // A closed popover lingers until its deferred deletion: the newest is last.
        QDialog* popover = widget->findChildren<QDialog*>(QStringLiteral("addClipPopover")).last();
        popover->findChild<QComboBox*>(QStringLiteral("numerator"))->setCurrentIndex(numerator - 1);
        popover->findChild<QComboBox*>(QStringLiteral("denominator"))->setCurrentIndex(denominator - 1);
        for (QPushButton* button : popover->findChildren<QPushButton*>())
            if (button->text() == QLatin1String(clip_texts::confirm))
                button->click();
        return popover;
    }

    std::unique_ptr<QWidget> widget;
};

class ClipsPageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsTheStoredListsAndFollowsTheStore()
    {
        Page page({{3, 4}, {1, 2}});
        QCOMPARE(page.chips("clips-horizontal"), QStringList({"3/4", "1/2"}));
        QCOMPARE(page.chips("clips-vertical"), QStringList({"1/1", "1/2", "1/3", "1/4"}));

        // The screen menu lists the attached screens and creates a section.
        auto* menu = page.widget->findChild<QToolButton*>(QStringLiteral("createForScreen"))->menu();
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().front()->text(), QStringLiteral("Left Monitor"));
        menu->actions().front()->trigger();
        QCOMPARE(page.chips("clips-0-horizontal"), QStringList({"1/2", "1/3", "1/4"}));
        QVERIFY(page.label(clip_texts::defaultClips));

        writeJsonArray(page.store, settings_keys::clipVertical, std::vector<Clip>{{1, 3}});
        QCOMPARE(page.chips("clips-vertical"), QStringList({"1/3"}));
    }

    void addingStoresTheClipAndShowsTheRefusals()
    {
        Page page({{1, 2}, {1, 3}, {1, 4}});
        QPointer<QDialog> popover = page.confirmAdd("clips-horizontal", 3, 4);
        QCOMPARE(horizontalClips(page.store), (std::vector<Clip>{{3, 4}, {1, 2}, {1, 3}, {1, 4}}));
        QVERIFY(!popover || !popover->isVisible());
        QCOMPARE(page.chips("clips-horizontal"), QStringList({"3/4", "1/2", "1/3", "1/4"}));

        popover = page.confirmAdd("clips-horizontal", 2, 4);
        QVERIFY(popover && popover->isVisible());
        popover->close();
        popover = page.confirmAdd("clips-horizontal", 5, 4);
        QVERIFY(popover->findChild<QLabel*>(QStringLiteral("pickerWarning"))->isVisible());
        QCOMPARE(page.alerts.messages(),
                 (std::vector<std::string>{clip_texts::alreadyExists, clip_texts::outOfRange}));
        QCOMPARE(horizontalClips(page.store).size(), std::size_t{4});
    }

    void removingForwardsAndTheLastClipIsKept()
    {
        Page page({{1, 2}});
        QPushButton* third =
            page.row("clips-vertical")->findChildren<QPushButton*>(QStringLiteral("clipChip")).at(2);
        third->actions().front()->trigger(); // "Delete" in its context menu
        QCOMPARE(page.chips("clips-vertical"), QStringList({"1/1", "1/2", "1/4"}));

        QWidget* row = page.row("clips-horizontal");
        row->findChild<QPushButton*>(QStringLiteral("clipChip"))->click();
        row->findChild<QToolButton*>(QStringLiteral("removeClip"))->click();
        QCOMPARE(page.alerts.messages(), std::vector<std::string>{clip_texts::lastClip});
        QCOMPARE(page.chips("clips-horizontal"), QStringList({"1/2"}));
    }
};

TILEWISE_UI_TEST(ClipsPageTest)

} // namespace
} // namespace tilewise

#include "clips_page_test.moc"
