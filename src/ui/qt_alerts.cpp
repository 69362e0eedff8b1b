#include "ui/qt_alerts.hpp"

#include <QMessageBox>
#include <QPushButton>

namespace tilewise {

void QtAlerts::showNotice(const std::string& message)
{
    ask(message, "", {});
}

int QtAlerts::ask(const std::string& message, const std::string& informativeText,
                  const std::vector<std::string>& buttons)
{
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Tilewise"));
    box.setText(QString::fromStdString(message));
    if (!informativeText.empty())
        box.setInformativeText(QString::fromStdString(informativeText));
    std::vector<QAbstractButton*> added;
    if (buttons.empty())
        added.push_back(box.addButton(QMessageBox::Ok));
    for (const std::string& title : buttons)
        added.push_back(box.addButton(QString::fromStdString(title), QMessageBox::AcceptRole));
    box.setDefaultButton(static_cast<QPushButton*>(added.front()));
    box.exec();
    for (std::size_t i = 0; i < added.size(); ++i)
        if (box.clickedButton() == added[i])
            return buttons.empty() ? 0 : static_cast<int>(i);
    return -1;
}

} // namespace tilewise
