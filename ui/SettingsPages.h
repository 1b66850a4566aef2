#pragma once

#include <QWidget>

#include <cstdint>
#include <map>
#include <string>

#include "control/SettingsBinding.h"
#include "model/DataManager.h"
#include "ui/IPSetFrame.h"
#include "ui/QtSettingsPage.h"

namespace qubra {

// The two settings pages: the data-channel page `pnlNastTepl` with its group boxes and the
// network page `pnlNastNet`, every control built from the table of the settings controls and
// named as the language files address it (page > group box > control), with the binding that
// copies the setup record into them and back. One page shows at a time.
//
// The widget itself carries no name: placed in the main window's page holder `pnlNastav`, the
// translation looks through it, so the pages are addressed as that holder's children.
class TSettingsPages : public QWidget {
    Q_OBJECT

public:
    using TTabHandler = TQtSettingsPage::TTabHandler;

    // DataManager holds the record the binding reads and writes, and gives the port password
    // edit its length. DeviceIP is the main window's current device address, read whenever the
    // current address is shown; both must outlive the pages.
    TSettingsPages(TDataManager& DataManager, const std::uint32_t& DeviceIP, QWidget* Parent = nullptr);

    // RecordToControls, ControlsToRecord, ShowCurrentIP.
    TSettingsBinding& Binding() { return FBinding; }

    // The main window's tab handler (select the tab, show its page), which the binding calls to
    // bring a tab to the front. Until one is set, or with none, only the tab's page is shown.
    void SetTabHandler(TTabHandler Handler);
    // Shows the page of that tab (`tabTeplomer`, `tabSit`) and hides the other.
    void ShowTabPage(const std::string& Tab);
    // Shows that page and hides the other; none hides both.
    void ShowPage(QWidget* Page);

    // `pnlNastTepl`, `pnlNastNet`, or a group box by its name; raises when there is none.
    QWidget* Container(const std::string& Name) const;
    // A control by its name (the address frame's edit as "txtIP"); raises when there is none.
    QWidget* Control(const std::string& Name) const;
    Tfrm_IPSet& IPSet() const { return *FIPSet; }

private:
    // Builds the pages and returns the binding's view of them.
    TQtSettingsPage* Build(const TDataManager& DataManager);

    std::map<std::string, QWidget*> Containers;
    std::map<std::string, QWidget*> Controls;
    Tfrm_IPSet* FIPSet = nullptr;
    TQtSettingsPage* FPage = nullptr;
    TSettingsBinding FBinding;
};

} // namespace qubra
