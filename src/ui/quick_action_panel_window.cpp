#include "ui/quick_action_panel_window.hpp"

#include "quickactions/quick_action_panel.hpp"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QVariantAnimation>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

namespace tilewise {

namespace {

constexpr int rowWidth = 300, rowMargin = 8, nameWidth = 220, keyWidth = 60, cornerRadius = 8;

QString qs(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

// One action: its name and menu key, tinted when selected or under the
// pointer; a single click runs it.
class QuickActionPanelWindow::Row : public QWidget {
public:
    Row(QuickActionPanel::Row row, std::function<void()> clicked)
        : row_(std::move(row)), clicked_(std::move(clicked))
    {
        setFixedWidth(rowWidth);
        setFixedHeight(fontMetrics().height() + 2 * rowMargin);
        hover_.setDuration(100);
        hover_.setEasingCurve(QEasingCurve::OutCubic);
        connect(&hover_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    }

    const QuickActionPanel::Row& row() const { return row_; }
    void setSelected(bool selected)
    {
        if (selected != row_.selected) {
            row_.selected = selected;
            update();
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const double tint = row_.selected ? 0.1 : hover_.currentValue().toDouble();
        if (tint > 0) {
            QColor c = palette().color(QPalette::Text);
            c.setAlphaF(float(tint));
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRoundedRect(rect(), 4, 4);
        }
        p.setPen(palette().color(QPalette::Text));
        const QRect name(rowMargin, 0, nameWidth, height());
        p.drawText(name, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(QString::fromStdString(row_.name), Qt::ElideRight, nameWidth));
        if (!row_.keyText.empty()) {
            p.setOpacity(0.85);
            p.drawText(QRect(name.right() + 1, 0, keyWidth, height()), Qt::AlignRight | Qt::AlignVCenter,
                       QString::fromStdString(row_.keyText));
        }
    }
    void enterEvent(QEnterEvent*) override { setHovered(true); }
    void leaveEvent(QEvent*) override { setHovered(false); }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            clicked_();
    }

private:
    void setHovered(bool hovered)
    {
        // Eases out from the tint shown now, so a quick pass does not flicker.
        hover_.stop();
        hover_.setStartValue(hover_.currentValue().isValid() ? hover_.currentValue().toDouble() : 0.0);
        hover_.setEndValue(hovered ? 0.06 : 0.0);
        hover_.start();
    }

    QuickActionPanel::Row row_;
    std::function<void()> clicked_;
    QVariantAnimation hover_;
};

QuickActionPanelWindow::QuickActionPanelWindow(QuickActionPanel& model, Hooks hooks)
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint), model_(model), hooks_(std::move(hooks))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(qs(QuickActionPanel::title));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, cornerRadius / 2);
    layout->setSpacing(0);
    // The panel is as large as its contents; a change of size places it again.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(12, 6, 6, 6);
    title_ = new QLabel(qs(QuickActionPanel::title));
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    search_ = new QLineEdit;
    search_->setFrame(false);
    search_->setPlaceholderText(qs(QuickActionPanel::searchPlaceholder));
    search_->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette clear = search_->palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    search_->setPalette(clear);
    search_->installEventFilter(this);
    QObject::connect(search_, &QLineEdit::textEdited,
                     [this](const QString& text) { model_.setSearchKey(text.toStdString()); });
    auto* gear = new QToolButton;
    gear->setAutoRaise(true);
    gear->setFocusPolicy(Qt::NoFocus);
    gear->setIcon(QIcon::fromTheme(QStringLiteral("preferences-system")));
    if (gear->icon().isNull())
        gear->setText(QStringLiteral("\u2699"));
    gear->setIconSize(QSize(14, 14));
    QObject::connect(gear, &QToolButton::clicked, [this] { model_.gear(); });
    header->addWidget(title_, 1);
    header->addWidget(search_, 1);
    header->addWidget(gear);
    layout->addLayout(header);

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    noActions_ = new QLabel(qs(QuickActionPanel::noActionsText));
    noActions_->setAlignment(Qt::AlignCenter);
    noActions_->setFixedWidth(int(QuickActionPanel::listWidth));
    noActions_->setContentsMargins(0, 16, 0, 16);
    noActions_->setEnabled(false);
    layout->addWidget(noActions_);

    scroll_ = new QScrollArea;
    scroll_->setFixedSize(int(QuickActionPanel::listWidth), int(QuickActionPanel::listHeight));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidgetResizable(true);
    scroll_->viewport()->setAutoFillBackground(false);
    auto* list = new QWidget;
    list->setAutoFillBackground(false);
    column_ = new QVBoxLayout(list);
    column_->setContentsMargins(rowMargin, rowMargin, rowMargin, rowMargin);
    column_->setSpacing(0);
    column_->addStretch(1);
    scroll_->setWidget(list);
    layout->addWidget(scroll_);

    installEventFilter(this);
}

void QuickActionPanelWindow::present()
{
    sync();
    if (model_.searchEnabled())
        search_->setFocus();
    adjustSize();
    place();
    show();
    raise();
    holdInput();
}

void QuickActionPanelWindow::holdInput(int attempt)
{
    QWindow* window = windowHandle();
    if (!isVisible() || !window)
        return;
    // The hot key that opened the panel holds the keyboard on another
    // connection until its key is let go, which this one is never told:
    // the popup's own grab then fails, so try again shortly.
    if (window->setKeyboardGrabEnabled(true) && window->setMouseGrabEnabled(true))
        return;
    // Held elsewhere for two seconds: a panel that cannot be typed into or
    // clicked away must not stay.
    if (attempt >= 40) {
        model_.close();
        return;
    }
    QTimer::singleShot(50, this, [this, attempt] { holdInput(attempt + 1); });
}

void QuickActionPanelWindow::sync()
{
    if (!model_.visible()) {
        if (isVisible())
            hide();
        return;
    }
    const bool search = model_.searchEnabled();
    title_->setVisible(!search);
    search_->setVisible(search);
    if (search_->text().toStdString() != model_.searchKey())
        search_->setText(QString::fromStdString(model_.searchKey()));
    const bool none = model_.showsNoActionsText();
    noActions_->setVisible(none);
    scroll_->setVisible(!none);
    syncRows();
}

void QuickActionPanelWindow::syncRows()
{
    std::vector<QuickActionPanel::Row> rows = model_.rows();
    const bool same =
        std::equal(rows.begin(), rows.end(), rows_.begin(), rows_.end(),
                   [](const QuickActionPanel::Row& a, const Row* b) {
                       return a.id == b->row().id && a.name == b->row().name && a.keyText == b->row().keyText;
                   });
    if (!same) {
        for (Row* row : rows_)
            delete row;
        rows_.clear();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            auto* row = new Row(rows[i], [this, i] { model_.clickRow(i); });
            column_->insertWidget(int(i), row);
            rows_.push_back(row);
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows_[i]->setSelected(rows[i].selected);
        if (rows[i].selected)
            scroll_->ensureWidgetVisible(rows_[i], 0, rowMargin);
    }
}

void QuickActionPanelWindow::place()
{
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    // Screen space has the primary monitor's bottom-left at (0, 0), y upward.
    const QRect p = primary->geometry();
    const std::optional<Rect> frame = model_.panelFrame(Size{double(width()), double(height())});
    if (frame)
        move(p.x() + int(std::lround(frame->x())), p.y() + p.height() - int(std::lround(frame->maxY())));
    else
        move(primary->availableGeometry().center() - rect().center());
}

bool QuickActionPanelWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (hooks_.hotKey && hooks_.hotKey(key))
        return true;
    if (event->type() == QEvent::KeyRelease)
        return false;
    const std::optional<int> code = hooks_.keyCodeOf ? hooks_.keyCodeOf(key->nativeScanCode()) : std::nullopt;
    if (!code)
        return !model_.searchEnabled();
    return model_.keyDown(*code) != QuickActionPanel::KeyOutcome::toSearchField;
}

void QuickActionPanelWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.setBrush(palette().color(QPalette::Window));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
}

void QuickActionPanelWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Without a compositor the translucent corners would show black.
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
    if (isVisible())
        place();
}

void QuickActionPanelWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // A click elsewhere closes the popup: the model closes without running.
    model_.close();
}

} // namespace tilewise
