// The editors of quick action operations, one per kind of operation, and
// the unit-value pickers and number fields they share. An editor changes the
// row's copy of its operation and hands the whole operation on to be stored.
#pragma once

#include "quickactions/quick_action.hpp"

#include <QWidget>

#include <functional>

namespace tilewise {

struct PageContext;

// One row of an action's operations list, showing the editor of the
// operation's kind.
class OperationRow : public QWidget {
public:
    using Write = std::function<void(const QuickAction::Operation&)>;

    OperationRow(PageContext& context, QuickAction::Operation operation, Write write, QWidget* parent);

    const QuickAction::Operation& operation() const { return operation_; }
    // The stored operation, after a change of the store. Equal to what the
    // row shows (the usual echo of its own edit) leaves the controls alone,
    // so a field being typed in keeps its text and cursor.
    void setOperation(const QuickAction::Operation& operation);

private:
    void build();
    void edited();

    PageContext& context_;
    QuickAction::Operation operation_;
    Write write_;
    QWidget* content_ = nullptr;
    QuickAction::OperationType builtType_{};
};

} // namespace tilewise
