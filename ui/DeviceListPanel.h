#pragma once

#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include "control/BackgroundScan.h"
#include "control/DeviceList.h"

namespace qubra {

class TDeviceListModel;

// The devices on the workstation's networks (`pnlDevices`): the line of the scan `lblScan`
// with its time bar `pbScan`, and the table `lvDevices` that fills while the answers arrive.
// Enter or a double click opens the selected device, Esc or the command again stops a scan;
// the context menu opens, sets the IP or copies the MAC. What a row opens is the owner's
// (OnOpen).
class TDeviceListPanel : public QWidget {
    Q_OBJECT

public:
    // How often a running scan is looked at for new devices.
    static constexpr int kPollMs = 20;

    TDeviceListPanel(const TLinkSettings& Link, TScanner::TLayoutLoader LoadLayout, QWidget* Parent);
    ~TDeviceListPanel() override;

    QLabel* const lblScan;
    QProgressBar* const pbScan;
    QTableView* const lvDevices;

    // Carries out a command on a row's device; set by the owner.
    std::function<void(const TDeviceRow& Row, TRowCommand Command)> OnOpen;

    const TDeviceList& List() const { return FList; }
    bool Scanning() const { return FScan != nullptr; }
    // The list command: a new scan that replaces the list, or the end of the one running.
    void ScanClick();
    // Ends a running scan at once; the devices found so far stay listed.
    void StopScan();
    // Takes devices that answered into the list; the selected row stays selected.
    void AddDevices(const std::vector<TScanEntry>& Entries);
    // The selected row; none when the list is empty.
    const TDeviceRow* Selected() const;
    // Command on the selected row (Enter: EnterCommand of it); a running scan stops first.
    void OpenSelected(std::optional<TRowCommand> Command = std::nullopt);
    // The context menu of the selected row, made afresh.
    std::unique_ptr<QMenu> ContextMenu();
    // The texts of the language now loaded.
    void Retranslate();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void Poll();
    void ShowStatus();

    const TLinkSettings& FLink;
    TScanner::TLayoutLoader FLoadLayout;
    TDeviceList FList;
    TDeviceListModel* const FModel;
    std::unique_ptr<TBackgroundScan> FScan;
    QTimer FTimer;
    bool FStopped = false;
};

} // namespace qubra
