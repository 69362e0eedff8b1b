#include "ui/operation_editors.hpp"

#include "platform/window_access.hpp"
#include "quickactions/action_editor.hpp"
#include "ui/page_context.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPoint>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>
#include <utility>

namespace tilewise {

namespace {

using Op = QuickAction::Operation;
using Type = QuickAction::OperationType;
using Unit = QuickAction::UnitTypes;
using Changed = std::function<void()>;

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

QHBoxLayout* line(QWidget* widget)
{
    auto* layout = new QHBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

// The menu entries of one row of types, under `menu`.
void addTypes(QMenu* menu, const std::vector<Type>& types, const std::function<void(Type)>& chosen)
{
    for (Type type : types)
        QObject::connect(menu->addAction(qs(label(type))), &QAction::triggered, menu, [chosen, type] { chosen(type); });
}

// A group with a single type is a plain item; the others open a submenu
// whose rows are separated. An unnamed group puts its rows in the menu
// itself.
void fillMenu(QMenu* menu, const OperationMenu& groups, const std::function<void(Type)>& chosen)
{
    for (const OperationMenuGroup& group : groups) {
        std::size_t count = 0;
        for (const auto& row : group.rows)
            count += row.size();
        QMenu* target = menu;
        if (count == 1) {
            addTypes(menu, group.rows.front(), chosen);
            continue;
        }
        if (!group.label.empty())
            target = menu->addMenu(qs(group.label));
        for (std::size_t i = 0; i < group.rows.size(); ++i) {
            if (i > 0)
                target->addSeparator();
            addTypes(target, group.rows[i], chosen);
        }
    }
}

// A button showing the chosen type that opens the menu of the others.
QToolButton* typeButton(QWidget* parent, Type& field, const OperationMenu& groups, const Changed& changed)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QStringLiteral("typeMenu"));
    button->setText(qs(label(field)));
    button->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(button);
    fillMenu(menu, groups, [button, &field, changed](Type type) {
        field = type;
        button->setText(qs(label(type)));
        changed();
    });
    button->setMenu(menu);
    return button;
}

QToolButton* typeButton(QWidget* parent, Type& field, const std::vector<Type>& types, const Changed& changed)
{
    return typeButton(parent, field, OperationMenu{{"", {types}}}, changed);
}

QToolButton* infoButton(QWidget* parent, std::string_view text)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QStringLiteral("info"));
    button->setAutoRaise(true);
    button->setIcon(parent->style()->standardIcon(QStyle::SP_MessageBoxInformation));
    button->setToolTip(qs(text));
    QObject::connect(button, &QToolButton::clicked, button, [button] {
        QToolTip::showText(button->mapToGlobal(QPoint(0, button->height())), button->toolTip(), button);
    });
    return button;
}

QString numberText(double value)
{
    return QLocale::c().toString(value, 'g', 12);
}

// A decimal text field bound to `value`; what it does not accept (and 0
// when 0 is not allowed) is not written.
QLineEdit* numberField(QWidget* parent, const QString& name, double& value, bool canBeZero, bool canBeNegative,
                       const Changed& changed)
{
    auto* field = new QLineEdit(numberText(value), parent);
    field->setObjectName(name);
    field->setFixedWidth(80);
    auto* validator = new QDoubleValidator(canBeNegative ? -1e6 : 0, 1e6, 3, field);
    validator->setNotation(QDoubleValidator::StandardNotation);
    validator->setLocale(QLocale::c());
    field->setValidator(validator);
    QObject::connect(field, &QLineEdit::textEdited, field, [field, &value, canBeZero, changed] {
        if (!field->hasAcceptableInput())
            return;
        const double v = QLocale::c().toDouble(field->text());
        if (v == 0 && !canBeZero)
            return;
        value = v;
        changed();
    });
    return field;
}

// The fractions offered for a clip: every reduced fraction up to sixths,
// and the operation's own when it is none of them (0/6 stays 0/6).
QComboBox* clipChoice(QWidget* parent, const QString& name, Clip& clip, const Changed& changed)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    std::vector<Clip> fractions{{0, 1}};
    for (long long d = 1; d <= 6; ++d)
        for (long long n = 1; n <= d; ++n)
            if (std::gcd(n, d) == 1)
                fractions.push_back({n, d});
    std::sort(fractions.begin(), fractions.end(),
              [](const Clip& a, const Clip& b) { return a.numerator * b.denominator < b.numerator * a.denominator; });
    if (std::find(fractions.begin(), fractions.end(), clip) == fractions.end())
        fractions.push_back(clip);
    for (const Clip& c : fractions)
        box->addItem(QString::number(c.numerator) + QLatin1Char('/') + QString::number(c.denominator),
                     QPoint(static_cast<int>(c.numerator), static_cast<int>(c.denominator)));
    box->setCurrentIndex(static_cast<int>(std::find(fractions.begin(), fractions.end(), clip) - fractions.begin()));
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [box, &clip, changed](int index) {
        const QPoint c = box->itemData(index).toPoint();
        clip = Clip{c.x(), c.y()};
        changed();
    });
    return box;
}

// The fields of one unit-value setting of an operation.
struct UnitValue {
    const char* name; // "position" or "size", for the controls' object names
    Unit Op::*unit;
    Size Op::*pt;
    Size Op::*percent;
    Clip Op::*clipX;
    Clip Op::*clipY;
    bool canBeZero;
};

constexpr UnitValue positionValue{"position", &Op::positionUnitType, &Op::position, &Op::positionPercent,
                                  &Op::positionClipX, &Op::positionClipY, true};
constexpr UnitValue sizeValue{"size", &Op::sizeUnitType, &Op::size, &Op::sizePercent,
                              &Op::sizeClipX, &Op::sizeClipY, false};

// "using:" clip, % or pt, then "x:" and "y:" in that unit; for a size x is
// the width and y the height.
QWidget* unitValuePicker(QWidget* parent, Op& op, const UnitValue& f, const Changed& changed)
{
    auto* picker = new QWidget(parent);
    auto* layout = line(picker);
    const QString name = QString::fromLatin1(f.name);
    layout->addWidget(new QLabel(QStringLiteral("using:"), picker));
    auto* unit = new QComboBox(picker);
    unit->setObjectName(name + QStringLiteral(".unit"));
    for (Unit u : {Unit::clip, Unit::percent, Unit::px})
        unit->addItem(qs(label(u)));
    layout->addWidget(unit);

    auto* values = new QStackedWidget(picker);
    auto page = [&](auto control) {
        auto* p = new QWidget(values);
        auto* row = line(p);
        row->addWidget(new QLabel(QStringLiteral("x:"), p));
        row->addWidget(control(p, true));
        row->addWidget(new QLabel(QStringLiteral("y:"), p));
        row->addWidget(control(p, false));
        values->addWidget(p);
    };
    page([&](QWidget* p, bool x) -> QWidget* {
        return clipChoice(p, name + (x ? QStringLiteral(".clip.x") : QStringLiteral(".clip.y")),
                          op.*(x ? f.clipX : f.clipY), changed);
    });
    for (auto [pair, tag] : {std::pair{f.percent, ".percent"}, std::pair{f.pt, ".pt"}}) {
        Size& value = op.*pair;
        const QString prefix = name + QLatin1String(tag);
        page([&](QWidget* p, bool x) -> QWidget* {
            return numberField(p, prefix + (x ? QStringLiteral(".x") : QStringLiteral(".y")),
                               x ? value.width : value.height, f.canBeZero, false, changed);
        });
    }
    layout->addWidget(values);
    layout->addStretch();

    const int index = static_cast<int>(op.*f.unit);
    unit->setCurrentIndex(index);
    values->setCurrentIndex(index);
    QObject::connect(unit, &QComboBox::currentIndexChanged, picker, [&op, f, values, changed](int i) {
        op.*f.unit = static_cast<Unit>(i);
        values->setCurrentIndex(i);
        changed();
    });
    return picker;
}

template <typename E, typename LabelOf>
QComboBox* enumChoice(QWidget* parent, const QString& name, E& field, std::initializer_list<E> options,
                      LabelOf labelOf, const Changed& changed)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (E option : options)
        box->addItem(qs(labelOf(option)));
    box->setCurrentIndex(static_cast<int>(field));
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [&field, changed](int i) {
        field = static_cast<E>(i);
        changed();
    });
    return box;
}

// The position and size of a custom layout, in a small sheet of their own.
void openFrameSheet(QWidget* row, Op& op, const Changed& changed)
{
    auto* sheet = new QDialog(row);
    sheet->setObjectName(QStringLiteral("frameSheet"));
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(sheet);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Position"), unitValuePicker(sheet, op, positionValue, changed));
    form->addRow(QStringLiteral("Size"), unitValuePicker(sheet, op, sizeValue, changed));
    layout->addLayout(form);
    auto* done = new QDialogButtonBox(QDialogButtonBox::Ok, sheet);
    QObject::connect(done, &QDialogButtonBox::accepted, sheet, &QDialog::accept);
    layout->addWidget(done);
    sheet->open();
}

void moveAndResizeEditor(QWidget* w, QHBoxLayout* layout, Op& op, const Changed& changed)
{
    layout->addWidget(typeButton(w, op.type, moveAndResizeTypeMenu(), changed));
    if (op.type == Type::moveAndResizeToMaximize) {
        layout->addWidget(new QLabel(QStringLiteral("space left on edges"), w));
        layout->addWidget(numberField(w, QStringLiteral("aroundSpace"), op.aroundSpace, true, false, changed));
    } else if (op.type == Type::moveAndResizeToFrame) {
        auto* edit = new QPushButton(QStringLiteral("Edit…"), w);
        edit->setObjectName(QStringLiteral("editFrame"));
        QObject::connect(edit, &QPushButton::clicked, w, [w, &op, changed] { openFrameSheet(w, op, changed); });
        layout->addWidget(edit);
    }
}

void moveEditor(QWidget* w, QHBoxLayout* layout, Op& op, const Changed& changed)
{
    layout->addWidget(typeButton(w, op.type, moveTypeMenu(), changed));
    switch (op.type) {
    case Type::moveToCenter: {
        auto* exact = new QCheckBox(QStringLiteral("Exact Center"), w);
        exact->setChecked(op.exactCenter);
        QObject::connect(exact, &QCheckBox::toggled, exact, [&op, changed](bool on) {
            op.exactCenter = on;
            changed();
        });
        layout->addWidget(exact);
        break;
    }
    case Type::moveToCorner:
        using C = QuickAction::CornerTypes;
        layout->addWidget(enumChoice(w, QStringLiteral("corner"), op.cornerType,
                                     {C::topLeft, C::topRight, C::bottomLeft, C::bottomRight},
                                     [](C c) { return cornerLabel(c); }, changed));
        break;
    case Type::moveToEdge:
        using E = QuickAction::EdgeTypes;
        layout->addWidget(enumChoice(w, QStringLiteral("edge"), op.edgeType, {E::top, E::bottom, E::left, E::right},
                                     [](E e) { return edgeLabel(e); }, changed));
        break;
    case Type::moveToPosition:
        layout->addWidget(unitValuePicker(w, op, positionValue, changed));
        break;
    case Type::moveByDistance:
        layout->addWidget(new QLabel(QStringLiteral("x:"), w));
        layout->addWidget(numberField(w, QStringLiteral("moveDistanceX"), op.moveDistanceX, true, true, changed));
        layout->addWidget(new QLabel(QStringLiteral("y:"), w));
        layout->addWidget(numberField(w, QStringLiteral("moveDistanceY"), op.moveDistanceY, true, true, changed));
        break;
    default:
        break;
    }
}

void resizeEditor(QWidget* w, QHBoxLayout* layout, Op& op, const Changed& changed)
{
    layout->addWidget(typeButton(w, op.type, resizeTypeMenu(), changed));
    if (op.type == Type::resizeToSize)
        layout->addWidget(unitValuePicker(w, op, sizeValue, changed));
    layout->addWidget(infoButton(w, "This won't change window's position."));
}

void displayEditor(QWidget* w, QHBoxLayout* layout, Op& op, WindowAccess& windows, const Changed& changed)
{
    layout->addWidget(typeButton(w, op.type, displayTypeMenu(), changed));
    if (op.type != Type::displayToCustom)
        return;
    auto* screens = new QComboBox(w);
    screens->setObjectName(QStringLiteral("displayName"));
    QStringList names;
    for (const Screen& screen : windows.screens())
        names << QString::fromStdString(screen.localizedName);
    const QString current = QString::fromStdString(op.displayName);
    // A screen that is not attached now stays chosen until another is.
    if (!current.isEmpty() && !names.contains(current))
        names << current;
    screens->addItems(names);
    screens->setCurrentIndex(static_cast<int>(names.indexOf(current)));
    QObject::connect(screens, &QComboBox::activated, screens, [screens, &op, changed](int i) {
        op.displayName = screens->itemText(i).toStdString();
        changed();
    });
    layout->addWidget(screens);
}

void pairEditor(QWidget* w, QHBoxLayout* layout, Op& op, const Changed& changed)
{
    layout->addWidget(new QLabel(QStringLiteral("Set current window to"), w));
    layout->addWidget(typeButton(w, op.pairCurrentTo, pairLayoutMenu(), changed));
    layout->addWidget(infoButton(w, "The last window will automatically pair with the current one"));
}

} // namespace

OperationRow::OperationRow(PageContext& context, QuickAction::Operation operation, Write write, QWidget* parent)
    : QWidget(parent), context_(context), operation_(std::move(operation)), write_(std::move(write))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    build();
}

void OperationRow::setOperation(const QuickAction::Operation& operation)
{
    if (operation == operation_)
        return;
    operation_ = operation;
    build();
}

void OperationRow::build()
{
    if (content_) {
        // Possibly called from one of its own controls' signals.
        content_->hide();
        content_->deleteLater();
    }
    content_ = new QWidget(this);
    layout()->addWidget(content_);
    builtType_ = operation_.type;
    auto* row = line(content_);
    row->addWidget(new QLabel(qs(operationEditorLabel(operation_.type)), content_));
    const Changed changed = [this] { edited(); };
    switch (operationEditorKind(operation_.type)) {
    case OperationEditorKind::moveAndResize:
        moveAndResizeEditor(content_, row, operation_, changed);
        break;
    case OperationEditorKind::move:
        moveEditor(content_, row, operation_, changed);
        break;
    case OperationEditorKind::resize:
        resizeEditor(content_, row, operation_, changed);
        break;
    case OperationEditorKind::display:
        displayEditor(content_, row, operation_, context_.windows, changed);
        break;
    case OperationEditorKind::pair:
        pairEditor(content_, row, operation_, changed);
        break;
    }
    row->addStretch();
}

void OperationRow::edited()
{
    // The new type's controls, keeping every other field.
    if (operation_.type != builtType_)
        build();
    write_(operation_);
}

} // namespace tilewise
