#pragma once

#include <QComboBox>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

#include "i18n/Control.h"
#include "i18n/Language.h"

namespace qubra {

// The list of a combo box for the translation walk. Replacing the list and restoring the
// selection emit no signals, so the rules bound to a selection change do not run.
class TWidgetComboItems : public TComboItems {
public:
    explicit TWidgetComboItems(QComboBox* Combo) : Combo(Combo) {}

    int ItemIndex() const override { return Combo->currentIndex(); }
    void SetItemIndex(int index) override;
    void SetItems(const std::vector<std::string>& items) override;

private:
    QComboBox* Combo;
};

// A Qt widget as the translation walk sees it. The name is the widget's objectName; the
// children are its child widgets, looking through the containers that carry no name of their
// own or one of Qt's internal "qt_" names (a central widget, the stack and tab bar inside a
// tab widget, a layout page), so that the nesting stays the one the language files use.
// Properties: "Caption" (the text of a label, button or check box, a group box's title, a
// window's title, a tab page's tab text), "Hint" (the tool tip) and every Qt property by name.
// Adapters of children live as long as this one.
class TWidgetControl : public TControl {
public:
    explicit TWidgetControl(QWidget* Widget);

    std::string Name() const override;
    bool CanHoldChildren() const override;
    std::vector<TControl*> Children() const override;
    TComboItems* ComboItems() override;
    std::vector<std::string> PropertyNames() const override;
    void SetPropertyText(const std::string& name, const std::string& value) override;

private:
    QPointer<QWidget> Widget;
    mutable std::vector<std::unique_ptr<TWidgetControl>> ChildControls;
    std::unique_ptr<TWidgetComboItems> Combo;
};

// The windows the application owns: top-level widgets without a parent widget. A window with
// a parent (such as a communication window owned by the main window) is not among them.
class TApplicationWindows {
public:
    // The adapters stay valid until the next call.
    std::vector<TControl*> operator()();

private:
    std::vector<std::unique_ptr<TWidgetControl>> Windows;
};

// Translates one window from the first `forms` section of the language's document.
void TranslateForm(QWidget* Form, const TLanguage& Lang = Language);

} // namespace qubra
