#include "ui/WidgetControl.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>

#include <algorithm>

#include "model/Exception.h"
#include "model/TextValues.h"

namespace qubra {

namespace {

const std::string CaptionProperty = "Caption";
const std::string HintProperty = "Hint";

// A widget that only arranges others: the walk looks through it.
bool IsUnnamedContainer(const QWidget* Widget)
{
    const QString name = Widget->objectName();
    return name.isEmpty() || name.startsWith(QLatin1String("qt_"));
}

void CollectChildren(const QWidget* Parent, std::vector<QWidget*>& Found)
{
    for (QObject* object : Parent->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow()) continue;
        if (IsUnnamedContainer(child))
            CollectChildren(child, Found);
        else
            Found.push_back(child);
    }
}

// The tab widget whose page this widget is, with the page's index.
std::pair<QTabWidget*, int> TabPage(QWidget* Widget)
{
    auto* stack = qobject_cast<QStackedWidget*>(Widget->parentWidget());
    auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    const int index = tabs ? tabs->indexOf(Widget) : -1;
    return {index >= 0 ? tabs : nullptr, index};
}

bool HasOwnProperty(const QWidget* Widget, const std::string& Name)
{
    const QMetaObject* meta = Widget->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i)
        if (LowerCase(meta->property(i).name()) == LowerCase(Name)) return true;
    return false;
}

bool HasCaption(QWidget* Widget)
{
    return Widget->isWindow() || TabPage(Widget).first || qobject_cast<QLabel*>(Widget)
        || qobject_cast<QAbstractButton*>(Widget) || qobject_cast<QGroupBox*>(Widget);
}

void SetCaption(QWidget* Widget, const QString& Text)
{
    if (Widget->isWindow())
        Widget->setWindowTitle(Text);
    else if (auto [tabs, index] = TabPage(Widget); tabs)
        tabs->setTabText(index, Text);
    else if (auto* label = qobject_cast<QLabel*>(Widget))
        label->setText(Text);
    else if (auto* button = qobject_cast<QAbstractButton*>(Widget))
        button->setText(Text);
    else if (auto* group = qobject_cast<QGroupBox*>(Widget))
        group->setTitle(Text);
}

// The text as a value of the property's type: numbers and booleans by the system's own
// conversions (with their messages), anything else through Qt's conversion from text.
QVariant PropertyValue(const QMetaProperty& Property, const std::string& Text)
{
    switch (Property.metaType().id()) {
    case QMetaType::Bool: return StrToBool(Text);
    case QMetaType::Int: return StrToInt(Text);
    case QMetaType::LongLong:
    case QMetaType::UInt: return QVariant::fromValue(static_cast<qlonglong>(StrToInt64(Text)));
    default: return QString::fromStdString(Text);
    }
}

} // namespace

void TWidgetComboItems::SetItemIndex(int index)
{
    const QSignalBlocker blocker(Combo);
    Combo->setCurrentIndex(index);
}

void TWidgetComboItems::SetItems(const std::vector<std::string>& items)
{
    const QSignalBlocker blocker(Combo);
    Combo->clear();
    for (const std::string& item : items) Combo->addItem(QString::fromStdString(item));
}

TWidgetControl::TWidgetControl(QWidget* Widget) : Widget(Widget)
{
    if (auto* combo = qobject_cast<QComboBox*>(Widget)) Combo = std::make_unique<TWidgetComboItems>(combo);
}

std::string TWidgetControl::Name() const { return Widget ? Widget->objectName().toStdString() : std::string(); }

bool TWidgetControl::CanHoldChildren() const
{
    const QWidget* w = Widget;
    return w && !qobject_cast<const QAbstractButton*>(w) && !qobject_cast<const QLabel*>(w)
        && !qobject_cast<const QLineEdit*>(w) && !qobject_cast<const QComboBox*>(w)
        && !qobject_cast<const QAbstractSpinBox*>(w) && !qobject_cast<const QProgressBar*>(w)
        && !qobject_cast<const QAbstractSlider*>(w) && !qobject_cast<const QTextEdit*>(w)
        && !qobject_cast<const QPlainTextEdit*>(w) && !qobject_cast<const QAbstractItemView*>(w);
}

std::vector<TControl*> TWidgetControl::Children() const
{
    std::vector<QWidget*> found;
    if (Widget) CollectChildren(Widget, found);
    std::vector<TControl*> children;
    for (QWidget* child : found) {
        const auto known = std::ranges::find_if(ChildControls, [&](const auto& control) { return control->Widget == child; });
        children.push_back(known != ChildControls.end() ? known->get()
                                                        : ChildControls.emplace_back(std::make_unique<TWidgetControl>(child)).get());
    }
    return children;
}

TComboItems* TWidgetControl::ComboItems() { return Widget ? Combo.get() : nullptr; }

std::vector<std::string> TWidgetControl::PropertyNames() const
{
    if (!Widget) return {};
    std::vector<std::string> names{HintProperty};
    // A widget with a caption property of its own (a styled frame's face) keeps it.
    if (HasCaption(Widget) && !HasOwnProperty(Widget, CaptionProperty)) names.push_back(CaptionProperty);
    const QMetaObject* meta = Widget->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i)
        if (meta->property(i).isWritable()) names.emplace_back(meta->property(i).name());
    return names;
}

void TWidgetControl::SetPropertyText(const std::string& name, const std::string& value)
{
    if (!Widget) return;
    const QString text = QString::fromStdString(value);
    if (name == HintProperty) {
        Widget->setToolTip(text);
        return;
    }
    const QMetaObject* meta = Widget->metaObject();
    const int index = meta->indexOfProperty(name.c_str());
    if (index < 0) {
        if (name == CaptionProperty) SetCaption(Widget, text);
        return;
    }
    const QMetaProperty property = meta->property(index);
    if (!property.write(Widget, PropertyValue(property, value))) throw EConvertError("Invalid property value");
}

std::vector<TControl*> TApplicationWindows::operator()()
{
    Windows.clear();
    std::vector<TControl*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (!widget->parentWidget()) windows.push_back(Windows.emplace_back(std::make_unique<TWidgetControl>(widget)).get());
    return windows;
}

void TranslateForm(QWidget* Form, const TLanguage& Lang)
{
    if (!Form) return;
    TWidgetControl form(Form);
    Lang.TranslateForm(&form);
}

} // namespace qubra
