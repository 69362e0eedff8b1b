#include "ui/welcome_window.hpp"

#include "settings/notification_center.hpp"
#include "settings/setting_enums.hpp"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tilewise {

namespace {

struct WelcomePage {
    const char* title;
    const char* text;
    const char* button;            // none: no way into the settings
    std::optional<SettingTab> tab; // where the button leads
};

// The pairing page waits for the user's first pair, which turns it.
constexpr int pairingIndex = 2;

const WelcomePage welcomePages[] = {
    {"Welcome to Tilewise",
     "Tilewise lays out the focused window from the keyboard.\n\n"
     "Press Control-Alt-Left: the window takes the left half of the screen. Press it again and it "
     "takes a third, then a quarter: these sizes are the clips, and you choose them.",
     "Choose Clips", SettingTab::clip},
    {"Shortcuts",
     "Control-Alt and an arrow cycles the clips, Control-Alt-F maximizes, Control-Alt-Super and an "
     "arrow moves the window, Control-Alt-C centres it. Every shortcut can be changed.",
     "Change Shortcuts", SettingTab::shortcuts},
    {"Pairing",
     "Focus one window, then another, and press Control-Alt-P: the second window takes the space "
     "beside the first. Try it now.",
     nullptr, std::nullopt},
    {"Paired",
     "Well done. Quick actions go further: named lists of steps, each with a shortcut of its own if "
     "you like.",
     "See Quick Actions", SettingTab::actions},
};

} // namespace

WelcomeWindow::WelcomeWindow(NotificationCenter& notifications, std::function<void(SettingTab)> showSettings,
                             std::function<void()> closed)
    : notifications_(notifications), closed_(std::move(closed))
{
    setWindowTitle(QStringLiteral("Welcome to Tilewise"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    pages_ = new QStackedWidget(this);
    for (const WelcomePage& p : welcomePages) {
        auto* page = new QWidget(pages_);
        auto* column = new QVBoxLayout(page);
        auto* title = new QLabel(QString::fromUtf8(p.title), page);
        QFont big = title->font();
        big.setPointSizeF(big.pointSizeF() * 1.6);
        big.setBold(true);
        title->setFont(big);
        auto* text = new QLabel(QString::fromUtf8(p.text), page);
        text->setWordWrap(true);
        column->addWidget(title);
        column->addWidget(text);
        column->addStretch();
        if (p.button && p.tab) {
            auto* open = new QPushButton(QString::fromUtf8(p.button), page);
            connect(open, &QPushButton::clicked, this, [showSettings, tab = *p.tab] { showSettings(tab); });
            column->addWidget(open, 0, Qt::AlignLeft);
        }
        pages_->addWidget(page);
    }
    layout->addWidget(pages_);
    auto* buttons = new QHBoxLayout();
    back_ = new QPushButton(QStringLiteral("Back"), this);
    next_ = new QPushButton(QStringLiteral("Next"), this);
    buttons->addWidget(back_);
    buttons->addStretch();
    buttons->addWidget(next_);
    layout->addLayout(buttons);
    connect(back_, &QPushButton::clicked, this, [this] { showPage(page() - 1); });
    connect(next_, &QPushButton::clicked, this, [this] {
        if (page() + 1 >= pageCount())
            close();
        else
            showPage(page() + 1);
    });
    pairingPage_ = pairingIndex;
    pairObserver_ = notifications_.addObserver(notification_names::pairWindow, [this](const auto&) {
        if (page() == pairingPage_)
            showPage(pairingPage_ + 1);
    });
    resize(520, 320);
    showPage(0);
}

WelcomeWindow::~WelcomeWindow()
{
    notifications_.removeObserver(pairObserver_);
}

int WelcomeWindow::page() const
{
    return pages_->currentIndex();
}

int WelcomeWindow::pageCount() const
{
    return pages_->count();
}

void WelcomeWindow::showPage(int index)
{
    if (index < 0 || index >= pageCount())
        return;
    pages_->setCurrentIndex(index);
    back_->setEnabled(index > 0);
    next_->setText(index + 1 == pageCount() ? QStringLiteral("Done") : QStringLiteral("Next"));
}

void WelcomeWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted() && closed_)
        closed_();
}

} // namespace tilewise
