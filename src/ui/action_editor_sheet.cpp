#include "ui/action_editor_sheet.hpp"

#include <QDialog>

namespace tilewise {

QDialog* openActionEditorSheet(PageContext&, ActionEditor&, const std::string&, QWidget* parent)
{
    auto* sheet = new QDialog(parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
    return sheet;
}

} // namespace tilewise
