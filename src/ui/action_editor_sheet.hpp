// The editor sheet of one quick action: its title, its shortcut and its
// operations, each shown with the editor of its kind. Every change is
// stored at once; there is no save or cancel.
#pragma once

#include <string>

class QDialog;
class QWidget;

namespace tilewise {

class ActionEditor;
struct PageContext;

// A window-modal sheet over `parent`'s window, shown without blocking; it
// deletes itself when closed. `editor` must outlive it.
QDialog* openActionEditorSheet(PageContext& context, ActionEditor& editor, const std::string& actionId,
                               QWidget* parent);

} // namespace tilewise
