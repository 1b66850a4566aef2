#pragma once

#include <QLineEdit>
#include <QObject>
#include <QWidget>

#include <functional>
#include <map>
#include <string>

#include "control/SettingsBinding.h"
#include "control/SettingsPage.h"
#include "ui/IPSetFrame.h"

namespace qubra {

// The settings pages' widgets as the settings binding sees them, by control name. The widgets
// hold the only state. Their signals reach the binding as it expects: a selection, check state
// or text that changed (whoever changed it) as ceStateChanged, the user's own change besides
// as ceUserChanged, an edit losing the focus as ceFocusLost. Handlers are guarded: an error
// they raise goes to the application's error box, never through Qt.
class TQtSettingsPage : public QObject, public TSettingsPage {
public:
    using TTabHandler = std::function<void(const std::string& Tab)>;

    // Controls: every control by its name (the address frame's edit as "txtIP" among them).
    TQtSettingsPage(std::map<std::string, QWidget*> Controls, Tfrm_IPSet& IPSet, QObject* Parent = nullptr);

    // The binding the events go to; none until set.
    void SetBinding(TSettingsBinding* Binding) { FBinding = Binding; }
    // What ShowTab does.
    void SetTabHandler(TTabHandler Handler) { TabHandler = std::move(Handler); }

    int ItemIndex(const std::string& Name) const override;
    void SetItemIndex(const std::string& Name, int Index) override;
    bool Checked(const std::string& Name) const override;
    void SetChecked(const std::string& Name, bool Checked) override;
    std::string Text(const std::string& Name) const override;
    void SetText(const std::string& Name, const std::string& Text) override;
    int SpinValue(const std::string& Name) const override;
    void SetSpinValue(const std::string& Name, int Value) override;
    void SetEnabled(const std::string& Name, bool Enabled) override;
    void SetVisible(const std::string& Name, bool Visible) override;
    void SetFocus(const std::string& Name) override;
    TAddressFrame& IPSet() override { return Frame; }
    void ShowTab(const std::string& TabName) override;
    void ShowErrorMessage(const std::string& Text) override;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    QWidget* Control(const std::string& Name) const;
    // The control as the kind the operation needs; raises when it is another.
    template <typename TWidget>
    TWidget* ControlAs(const std::string& Name) const;
    void Connect(const std::string& Name, QWidget* Widget);
    void Report(const std::string& Name, TControlEvent Event);

    std::map<std::string, QWidget*> Controls;
    Tfrm_IPSet& Frame;
    TTabHandler TabHandler;
    TSettingsBinding* FBinding = nullptr;
};

} // namespace qubra
