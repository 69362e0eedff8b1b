// The welcome window of a first launch: a few pages that show the clips,
// the shortcuts and pairing, with ways into the settings.
#pragma once

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace tilewise {

class NotificationCenter;
enum class SettingTab;

class WelcomeWindow : public QWidget {
public:
    // `showSettings` opens the settings at a page; `closed` is told when
    // the window goes.
    WelcomeWindow(NotificationCenter& notifications, std::function<void(SettingTab)> showSettings,
                  std::function<void()> closed);
    ~WelcomeWindow() override;

    int page() const;
    int pageCount() const;
    void showPage(int index);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    NotificationCenter& notifications_;
    std::function<void()> closed_;
    std::uint64_t pairObserver_ = 0;
    QStackedWidget* pages_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* next_ = nullptr;
    int pairingPage_ = 0;
};

} // namespace tilewise
