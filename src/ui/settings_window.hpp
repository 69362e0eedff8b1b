// The settings window: a toolbar of seven pages over the page shown. It is
// built when it opens and destroyed when it closes, so the next opening
// starts on General unless a page is asked for.
#pragma once

#include "ui/page_context.hpp"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <vector>

class QActionGroup;
class QStackedWidget;

namespace tilewise {

class SettingsWindow : public QMainWindow {
public:
    SettingsWindow(PageContext context, std::function<void()> closed);
    ~SettingsWindow() override;

    void selectPage(int index);
    int currentPage() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    PageContext context_;
    std::function<void()> closed_;
    QStackedWidget* stack_ = nullptr;
    QActionGroup* pages_ = nullptr;
    std::uint64_t pageRequests_ = 0;
};

} // namespace tilewise
