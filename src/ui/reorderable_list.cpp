#include "ui/reorderable_list.hpp"

#include <QDropEvent>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>

namespace tilewise {

ReorderableList::ReorderableList(QWidget* parent) : QListWidget(parent)
{
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragDropMode(QAbstractItemView::InternalMove);
    setDefaultDropAction(Qt::MoveAction);
}

std::vector<std::size_t> ReorderableList::selectedRows() const
{
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.push_back(static_cast<std::size_t>(index.row()));
    std::ranges::sort(rows);
    return rows;
}

void ReorderableList::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Delete) || event->key() == Qt::Key_Delete ||
        event->key() == Qt::Key_Backspace) {
        if (deletePressed)
            deletePressed();
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void ReorderableList::dropEvent(QDropEvent* event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    const QPoint at = event->position().toPoint();
    std::size_t to = static_cast<std::size_t>(count());
    if (const QModelIndex index = indexAt(at); index.isValid())
        to = static_cast<std::size_t>(index.row()) + (at.y() > visualRect(index).center().y() ? 1 : 0);
    std::vector<std::size_t> from = selectedRows();
    // Not a move for the view, which would take the rows out itself.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    // After the drag has finished with the rows it started from.
    if (!from.empty() && moved)
        QTimer::singleShot(0, this, [this, from = std::move(from), to] { moved(from, to); });
}

} // namespace tilewise
