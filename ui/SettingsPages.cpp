#include "ui/SettingsPages.h"

#include <QAbstractItemView>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>

#include "control/SettingsControls.h"
#include "model/Exception.h"

namespace qubra {

namespace {

// Where the group boxes sit on their page: Ethernet on the left, serial line and packet
// forming on the right, buffer clearing across the bottom.
struct TPlacement {
    const char* Name;
    int Row;
    int Column;
    int RowSpan;
    int ColumnSpan;
};
constexpr TPlacement kGroupPlacements[] = {
    {"GroupBox6", 0, 0, 2, 1},
    {"GroupBox5", 0, 1, 1, 1},
    {"GroupBox4", 1, 1, 1, 1},
    {"GroupBox2", 2, 0, 1, 2},
};

// The height of edits, spin edits and lists, and the room between the rows.
constexpr int kControlHeight = 21;
constexpr int kRowSpacing = 4;
// Edits taking this many characters or fewer are as wide as that many characters.
constexpr int kShortEdit = 4;
// A list is at least this many characters wide; the column may make it wider.
constexpr int kListCharacters = 12;

QString Text(const std::string& Text) { return QString::fromStdString(Text); }

QLabel* NewLabel(const std::string& Caption, const std::string& Name, QWidget* Parent)
{
    auto* label = new QLabel(Text(Caption), Parent);
    label->setObjectName(Text(Name));
    return label;
}

void MakeBold(QWidget* Widget)
{
    QFont font = Widget->font();
    font.setBold(true);
    Widget->setFont(font);
}

QWidget* NewEdit(const TSettingsControl& Control, const TDataManager& DataManager, QWidget* Parent)
{
    auto* edit = new QLineEdit(Text(Control.StartText), Parent);
    const int limit = MaxLengthOf(Control, DataManager);
    if (limit > 0) edit->setMaxLength(limit);
    if (limit > 0 && limit <= kShortEdit)
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QString(limit, QLatin1Char('M'))) + 12);
    return edit;
}

QWidget* NewComboBox(const TSettingsControl& Control, QWidget* Parent)
{
    auto* combo = new QComboBox(Parent);
    for (const std::string& item : Control.Items) combo->addItem(Text(item));
    combo->setCurrentIndex(Control.StartIndex);
    // The column decides the width, not the longest item; the list shows the items whole.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(kListCharacters);
    if (Control.DropDownWidth > 0) combo->view()->setMinimumWidth(Control.DropDownWidth);
    return combo;
}

QWidget* NewControl(const TSettingsControl& Control, const TDataManager& DataManager, QWidget* Parent)
{
    QWidget* widget = nullptr;
    switch (Control.Kind) {
    case skSpinEdit: {
        auto* spin = new QSpinBox(Parent);
        const auto [min, max] = RangeOf(Control, DataManager);
        spin->setRange(min, max);
        spin->setValue(Control.StartValue);
        widget = spin;
        break;
    }
    case skEdit: widget = NewEdit(Control, DataManager, Parent); break;
    case skCheckBox: {
        auto* check = new QCheckBox(Text(Control.Label), Parent);
        check->setChecked(Control.StartChecked);
        widget = check;
        break;
    }
    case skComboBox: widget = NewComboBox(Control, Parent); break;
    case skLabel: widget = new QLabel(Text(Control.StartText), Parent); break;
    case skAddressFrame: widget = new Tfrm_IPSet(Parent); break;
    }
    if (Control.Kind == skSpinEdit || Control.Kind == skEdit || Control.Kind == skComboBox)
        widget->setFixedHeight(kControlHeight);
    widget->setObjectName(Text(Control.Name));
    widget->setToolTip(Text(Control.Hint));
    widget->setEnabled(Control.StartEnabled);
    return widget;
}

// Lays the controls of one page or group box out in rows of label, control and unit label. A
// control without a label of its own that follows a unit label continues that row (the two
// timer edits); a check box, its caption its own, sits in the control column. Controls under a
// heading form a column of their own beside the others.
class TControlRows {
public:
    TControlRows(QWidget* Parent, QBoxLayout* Columns) : Parent(Parent), Columns(Columns) {}

    void Add(QWidget* Widget, const TSettingsControl& Control)
    {
        if (!Grid || Control.Heading != Heading) StartColumn(Control);
        QLabel* unit = Control.UnitLabel.empty() ? nullptr : NewLabel(Control.UnitLabel, "lbl" + Control.Name + "Unit", Parent);
        if (OpenRow && Control.Label.empty() && Control.Kind != skCheckBox) {
            const int end = OpenRow->count() - 1; // before the stretch
            OpenRow->insertWidget(end, Widget);
            if (unit) OpenRow->insertWidget(end + 1, unit);
            if (!unit) OpenRow = nullptr;
            return;
        }
        OpenRow = nullptr;
        if (Control.Kind == skAddressFrame || Control.Kind == skLabel) {
            Grid->addWidget(Widget, Row++, 0, 1, 2, Qt::AlignLeft);
            return;
        }
        if (!Control.Label.empty() && Control.Kind != skCheckBox) {
            QLabel* label = NewLabel(Control.Label, "lbl" + Control.Name, Parent);
            label->setBuddy(Widget);
            if (Control.HintOnLabel) label->setToolTip(Text(Control.Hint));
            Grid->addWidget(label, Row, 0);
        }
        if (unit) {
            OpenRow = new QHBoxLayout;
            OpenRow->setSpacing(kRowSpacing);
            OpenRow->addWidget(Widget);
            OpenRow->addWidget(unit);
            OpenRow->addStretch();
            Grid->addLayout(OpenRow, Row, 1);
        } else {
            // A control of fixed width keeps to the left of its column.
            const bool fixed = Widget->maximumWidth() < QWIDGETSIZE_MAX;
            Grid->addWidget(Widget, Row, 1, fixed ? Qt::AlignLeft : Qt::Alignment());
        }
        ++Row;
    }

private:
    void StartColumn(const TSettingsControl& Control)
    {
        Grid = new QGridLayout;
        Grid->setColumnStretch(1, 1);
        Grid->setVerticalSpacing(kRowSpacing);
        Columns->addLayout(Grid, 1);
        Heading = Control.Heading;
        Row = 0;
        OpenRow = nullptr;
        if (Heading.empty()) return;
        QLabel* heading = NewLabel(Heading, "lbl" + Control.Name + "Heading", Parent);
        MakeBold(heading);
        Grid->addWidget(heading, Row++, 0, 1, 2);
    }

    QWidget* Parent;
    QBoxLayout* Columns;
    QGridLayout* Grid = nullptr;
    std::string Heading;
    int Row = 0;
    QHBoxLayout* OpenRow = nullptr;
};

} // namespace

TSettingsPages::TSettingsPages(TDataManager& DataManager, const std::uint32_t& DeviceIP, QWidget* Parent)
    : QWidget(Parent), FPage(Build(DataManager)), FBinding(*FPage, DataManager, DeviceIP)
{
    FPage->SetBinding(&FBinding);
    SetTabHandler(nullptr);
    ShowTabPage(kDataChannelTab);
}

TQtSettingsPage* TSettingsPages::Build(const TDataManager& DataManager)
{
    auto* holder = new QGridLayout(this);
    holder->setContentsMargins(0, 0, 0, 0);
    std::map<std::string, QGridLayout*> groupGrids;
    std::map<std::string, TControlRows> rows;
    for (const TSettingsContainer& container : SettingsContainers()) {
        const bool page = container.Parent.empty();
        QWidget* widget = nullptr;
        if (page) {
            widget = new QWidget(this);
            holder->addWidget(widget, 0, 0); // the pages lie on each other
        } else {
            widget = new QGroupBox(Text(container.Caption), Container(container.Parent));
            const auto place = std::ranges::find(kGroupPlacements, container.Name, &TPlacement::Name);
            if (place == std::end(kGroupPlacements)) throw Exception("No place for the group " + container.Name);
            groupGrids.at(container.Parent)->addWidget(widget, place->Row, place->Column, place->RowSpan, place->ColumnSpan);
        }
        widget->setObjectName(Text(container.Name));
        Containers.emplace(container.Name, widget);

        // A page's heading and group boxes, the controls, and the room left below them.
        auto* content = new QVBoxLayout(widget);
        content->setContentsMargins(8, 6, 8, 6);
        if (page && !container.Caption.empty()) {
            QLabel* heading = NewLabel(container.Caption, "lbl" + container.Name + "Heading", widget);
            MakeBold(heading);
            content->addWidget(heading);
        }
        if (page) {
            groupGrids[container.Name] = new QGridLayout;
            content->addLayout(groupGrids[container.Name]);
        }
        auto* columns = new QHBoxLayout;
        content->addLayout(columns);
        content->addStretch();
        rows.emplace(container.Name, TControlRows(widget, columns));
    }
    for (const TSettingsControl& control : SettingsControls()) {
        QWidget* widget = NewControl(control, DataManager, Container(control.Parent));
        Controls.emplace(control.Name, widget);
        rows.at(control.Parent).Add(widget, control);
        if (auto* frame = qobject_cast<Tfrm_IPSet*>(widget)) FIPSet = frame;
    }
    if (!FIPSet) throw Exception("The settings pages have no address frame");
    Controls.emplace("txtIP", FIPSet->txtIP);
    return new TQtSettingsPage(Controls, *FIPSet, this);
}

void TSettingsPages::SetTabHandler(TTabHandler Handler)
{
    if (!Handler) Handler = [this](const std::string& Tab) { ShowTabPage(Tab); };
    FPage->SetTabHandler(std::move(Handler));
}

void TSettingsPages::ShowTabPage(const std::string& Tab)
{
    for (const TSettingsContainer& container : SettingsContainers())
        if (container.Tab == Tab) ShowPage(Container(container.Name));
}

void TSettingsPages::ShowPage(QWidget* Page)
{
    for (const TSettingsContainer& container : SettingsContainers())
        if (container.Parent.empty()) Container(container.Name)->setVisible(Container(container.Name) == Page);
}

QWidget* TSettingsPages::Container(const std::string& Name) const
{
    const auto found = Containers.find(Name);
    if (found == Containers.end()) throw Exception("No settings page or group " + Name);
    return found->second;
}

QWidget* TSettingsPages::Control(const std::string& Name) const
{
    const auto found = Controls.find(Name);
    if (found == Controls.end()) throw Exception("No settings control " + Name);
    return found->second;
}

} // namespace qubra
