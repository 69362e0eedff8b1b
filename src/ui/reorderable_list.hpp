// A list of rows laid out from the store: dropping the selected rows on a
// new place and the Delete key only report, the owner changes the store,
// and the rows are built again from it.
#pragma once

#include <QListWidget>

#include <cstddef>
#include <functional>
#include <vector>

namespace tilewise {

class ReorderableList : public QListWidget {
public:
    explicit ReorderableList(QWidget* parent);

    // The selected rows, in order, go before the row that was at `to` (the
    // row count for the end).
    std::function<void(const std::vector<std::size_t>& from, std::size_t to)> moved;
    std::function<void()> deletePressed;

    std::vector<std::size_t> selectedRows() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

} // namespace tilewise
