#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>

#include <cstdint>

#include "control/AddressEntry.h"
#include "control/SettingsPage.h"
#include "ui/Anchors.h"

namespace qubra {

// The entry block for an IP address, a netmask and a gateway. While `chAutoMask` is ticked the
// mask follows the address's standard mask (on Enter in `txtIP` and when `txtIP` loses the
// focus) and `txtMask` is disabled. The values are 32-bit IPv4 values, first octet in the
// least significant byte. The settings pages reach it through TAddressFrame.
class Tfrm_IPSet : public QFrame, public TAddressFrame {
    Q_OBJECT

public:
    explicit Tfrm_IPSet(QWidget* Parent = nullptr);

    QLabel* const Label1;
    QLineEdit* const txtIP;
    QLabel* const Label2;
    QCheckBox* const chAutoMask;
    QLineEdit* const txtMask;
    QLabel* const Label3;
    QLineEdit* const txtGate;

    bool IsValid() const override;
    std::uint32_t GetIP() const override;
    // 0 while the automatic mask is on or the mask is empty.
    std::uint32_t GetMask() const override;
    // 0 when the gateway is empty.
    std::uint32_t GetGateway() const override;
    // The address as typed.
    QString GetIPText() const { return txtIP->text(); }
    // Fills the three edits; the mask 255.255.255.255, or a mask text that is no address,
    // switches the automatic mask on (which then shows the address's standard mask), any
    // other mask switches it off.
    void SetValues(const std::string& IPText, const std::string& MaskText, const std::string& GatewayText) override;

    bool AutoMask() const { return chAutoMask->isChecked(); }
    void SetAutoMask(bool On);
    // Shows the standard mask of the address in `txtMask`.
    void ApplyAutoMask();

    QSize sizeHint() const override { return {248, 132}; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    TAddressEntry Entry() const;
    void chAutoMaskClick();
    void txtIPKeyDown(int Key);
    void txtIPExit();

    TAnchors Anchors;
};

} // namespace qubra
