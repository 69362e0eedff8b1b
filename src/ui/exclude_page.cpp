// The Exclude page: the excluded applications with their icons and names,
// added from a chooser of desktop entries and removed by selection or a
// row's "Delete".
#include "platform/application_catalog.hpp"
#include "settings/exclusions_page.hpp"
#include "ui/page_context.hpp"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <memory>

namespace tilewise {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

QIcon rowIcon(const ExclusionsPage::Row& row, const QStyle* style)
{
    const QString icon = qs(row.iconOrFallback());
    if (QFileInfo(icon).isAbsolute())
        return QIcon(icon);
    // "gear" has no freedesktop name of its own.
    const QString theme = row.icon.empty() ? QStringLiteral("preferences-system") : icon;
    return QIcon::fromTheme(theme, style->standardIcon(QStyle::SP_DesktopIcon));
}

// The model and its catalog live as long as the page.
struct ExcludeModel : QObject {
    ExcludeModel(DefaultsStore& store, QObject* owner) : QObject(owner), page(store, catalog) {}
    DesktopEntryCatalog catalog;
    ExclusionsPage page;
};

} // namespace

QWidget* createExcludePage(PageContext& context, QWidget* parent)
{
    auto* widget = new QWidget(parent);
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(qs(ExclusionsPage::title), widget));
    auto* list = new QListWidget(widget);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(list);
    auto* buttons = new QHBoxLayout();
    auto* add = new QPushButton(QStringLiteral("+"), widget);
    auto* remove = new QPushButton(QStringLiteral("−"), widget);
    add->setFixedWidth(32);
    remove->setFixedWidth(32);
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    layout->addLayout(buttons);

    auto* model = new ExcludeModel(context.store, widget);
    ExclusionsPage& page = model->page;
    auto showRows = [list, remove, &page] {
        const QSignalBlocker quiet(list);
        list->clear();
        for (const ExclusionsPage::Row& row : page.rows()) {
            auto* item =
                new QListWidgetItem(rowIcon(row, list->style()), QString::fromStdString(row.name), list);
            item->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(row.id));
            item->setToolTip(QString::fromStdString(row.identifier));
        }
        remove->setEnabled(page.canRemove());
    };
    page.setOnRowsChanged(showRows);
    page.rebuild();
    QObject::connect(list, &QListWidget::itemSelectionChanged, widget, [list, remove, &page] {
        std::set<ExclusionsPage::RowId> ids;
        for (QListWidgetItem* item : list->selectedItems())
            ids.insert(item->data(Qt::UserRole).toULongLong());
        page.setSelection(ids);
        remove->setEnabled(page.canRemove());
    });
    QObject::connect(remove, &QPushButton::clicked, widget, [&page] { page.removeSelected(); });
    auto* deleteKey = new QAction(widget);
    deleteKey->setShortcut(QKeySequence::Delete);
    deleteKey->setShortcutContext(Qt::WidgetShortcut);
    list->addAction(deleteKey);
    QObject::connect(deleteKey, &QAction::triggered, widget, [&page] { page.removeSelected(); });
    QObject::connect(list, &QListWidget::customContextMenuRequested, widget, [list, &page](const QPoint& at) {
        QListWidgetItem* item = list->itemAt(at);
        if (!item)
            return;
        QMenu menu;
        QAction* del = menu.addAction(QStringLiteral("Delete"));
        if (menu.exec(list->viewport()->mapToGlobal(at)) == del)
            page.removeRow(item->data(Qt::UserRole).toULongLong());
    });
    QObject::connect(add, &QPushButton::clicked, widget, [widget, &page] {
        const std::vector<std::string> folders = page.chooserFolders();
        const QStringList chosen = QFileDialog::getOpenFileNames(
            widget, QStringLiteral("Choose Applications"),
            folders.empty() ? QString() : QString::fromStdString(folders.front()),
            QStringLiteral("Applications (*.desktop)"));
        std::vector<std::string> paths;
        for (const QString& path : chosen)
            paths.push_back(path.toStdString());
        page.add(paths);
    });
    return widget;
}

} // namespace tilewise
