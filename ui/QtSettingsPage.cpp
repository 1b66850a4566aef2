#include "ui/QtSettingsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QSpinBox>

#include <memory>
#include <utility>

#include "model/Exception.h"
#include "ui/Application.h"

namespace qubra {

TQtSettingsPage::TQtSettingsPage(std::map<std::string, QWidget*> Controls, Tfrm_IPSet& IPSet, QObject* Parent)
    : QObject(Parent), Controls(std::move(Controls)), Frame(IPSet)
{
    for (const auto& [name, widget] : this->Controls) Connect(name, widget);
}

void TQtSettingsPage::Connect(const std::string& Name, QWidget* Widget)
{
    const auto report = [this, Name](TControlEvent Event) { return Guarded([this, Name, Event] { Report(Name, Event); }); };
    if (auto* combo = qobject_cast<QComboBox*>(Widget)) {
        connect(combo, &QComboBox::currentIndexChanged, this, report(ceStateChanged));
        connect(combo, &QComboBox::activated, this, report(ceUserChanged));
    } else if (auto* check = qobject_cast<QCheckBox*>(Widget)) {
        connect(check, &QCheckBox::toggled, this, report(ceStateChanged));
        connect(check, &QCheckBox::clicked, this, report(ceUserChanged));
    } else if (auto* spin = qobject_cast<QSpinBox*>(Widget)) {
        connect(spin, &QSpinBox::valueChanged, this, report(ceStateChanged));
        spin->installEventFilter(this);
    } else if (auto* edit = qobject_cast<QLineEdit*>(Widget)) {
        // A user's edit emits textEdited before textChanged. The user change is reported after
        // the state change, as with the other controls, so that the text a rule corrects it to
        // is the last one reported.
        auto edited = std::make_shared<bool>(false);
        connect(edit, &QLineEdit::textEdited, this, [edited] { *edited = true; });
        connect(edit, &QLineEdit::textChanged, this, Guarded([this, Name, edited] {
                    const bool user = std::exchange(*edited, false);
                    Report(Name, ceStateChanged);
                    if (user) Report(Name, ceUserChanged);
                }));
        edit->installEventFilter(this);
    }
}

void TQtSettingsPage::Report(const std::string& Name, TControlEvent Event)
{
    if (FBinding) FBinding->ControlEvent(Name, Event);
}

// The focus leaves an edit for another control. Another window becoming active or a popup
// (the edit's own menu) takes it only for a while: the edit gets it back.
bool TQtSettingsPage::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(Event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Guarded([this, Watched] { Report(Watched->objectName().toStdString(), ceFocusLost); })();
    }
    return QObject::eventFilter(Watched, Event);
}

QWidget* TQtSettingsPage::Control(const std::string& Name) const
{
    const auto found = Controls.find(Name);
    if (found == Controls.end()) throw Exception("No settings control " + Name);
    return found->second;
}

template <typename TWidget>
TWidget* TQtSettingsPage::ControlAs(const std::string& Name) const
{
    auto* widget = qobject_cast<TWidget*>(Control(Name));
    if (!widget) throw Exception("The settings control " + Name + " is no " + TWidget::staticMetaObject.className());
    return widget;
}

int TQtSettingsPage::ItemIndex(const std::string& Name) const { return ControlAs<QComboBox>(Name)->currentIndex(); }

void TQtSettingsPage::SetItemIndex(const std::string& Name, int Index)
{
    QComboBox* combo = ControlAs<QComboBox>(Name);
    combo->setCurrentIndex(Index >= 0 && Index < combo->count() ? Index : -1);
}

bool TQtSettingsPage::Checked(const std::string& Name) const { return ControlAs<QCheckBox>(Name)->isChecked(); }

void TQtSettingsPage::SetChecked(const std::string& Name, bool Checked) { ControlAs<QCheckBox>(Name)->setChecked(Checked); }

std::string TQtSettingsPage::Text(const std::string& Name) const
{
    QWidget* widget = Control(Name);
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text().toStdString();
    return ControlAs<QLineEdit>(Name)->text().toStdString();
}

void TQtSettingsPage::SetText(const std::string& Name, const std::string& Text)
{
    const QString text = QString::fromStdString(Text);
    if (auto* label = qobject_cast<QLabel*>(Control(Name)))
        label->setText(text);
    else
        ControlAs<QLineEdit>(Name)->setText(text);
}

int TQtSettingsPage::SpinValue(const std::string& Name) const { return ControlAs<QSpinBox>(Name)->value(); }

void TQtSettingsPage::SetSpinValue(const std::string& Name, int Value) { ControlAs<QSpinBox>(Name)->setValue(Value); }

void TQtSettingsPage::SetEnabled(const std::string& Name, bool Enabled) { Control(Name)->setEnabled(Enabled); }

void TQtSettingsPage::SetVisible(const std::string& Name, bool Visible) { Control(Name)->setVisible(Visible); }

void TQtSettingsPage::SetFocus(const std::string& Name) { Control(Name)->setFocus(); }

void TQtSettingsPage::ShowTab(const std::string& TabName)
{
    if (TabHandler) TabHandler(TabName);
}

void TQtSettingsPage::ShowErrorMessage(const std::string& Text) { ShowError(QString::fromStdString(Text)); }

} // namespace qubra
