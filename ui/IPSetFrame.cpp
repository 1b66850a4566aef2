#include "ui/IPSetFrame.h"

#include <QKeyEvent>

#include "ui/Place.h"

namespace qubra {

Tfrm_IPSet::Tfrm_IPSet(QWidget* Parent)
    : QFrame(Parent),
      Label1(Place(new QLabel(QStringLiteral("IP adresa"), this), "Label1", QRect(8, 8, 234, 16))),
      txtIP(Place(new QLineEdit(this), "txtIP", QRect(8, 24, 234, 21))),
      Label2(Place(new QLabel(QStringLiteral("Maska podsítě"), this), "Label2", QRect(8, 48, 86, 16))),
      chAutoMask(Place(new QCheckBox(QStringLiteral("automaticky"), this), "chAutoMask", QRect(96, 47, 145, 17))),
      txtMask(Place(new QLineEdit(QStringLiteral("0.0.0.0"), this), "txtMask", QRect(7, 64, 234, 21))),
      Label3(Place(new QLabel(QStringLiteral("Výchozí brána"), this), "Label3", QRect(8, 88, 234, 16))),
      txtGate(Place(new QLineEdit(QStringLiteral("0.0.0.0"), this), "txtGate", QRect(7, 104, 234, 21))),
      Anchors(this)
{
    setObjectName(QStringLiteral("frm_IPSet"));
    resize(248, 132);
    chAutoMask->setChecked(true);
    for (QLineEdit* edit : {txtIP, txtMask, txtGate})
        Anchors.Anchor(edit, Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge);
    // Connected after the initial tick: the designed frame starts with the mask enabled.
    connect(chAutoMask, &QCheckBox::toggled, this, &Tfrm_IPSet::chAutoMaskClick);
    txtIP->installEventFilter(this);
}

TAddressEntry Tfrm_IPSet::Entry() const
{
    return {txtIP->text().toStdString(), txtMask->text().toStdString(), txtGate->text().toStdString(), AutoMask()};
}

bool Tfrm_IPSet::IsValid() const { return Entry().IsValid(); }

std::uint32_t Tfrm_IPSet::GetIP() const { return Entry().GetIP(); }

std::uint32_t Tfrm_IPSet::GetMask() const { return Entry().GetMask(); }

std::uint32_t Tfrm_IPSet::GetGateway() const { return Entry().GetGateway(); }

void Tfrm_IPSet::SetValues(const std::string& IPText, const std::string& MaskText, const std::string& GatewayText)
{
    SetAutoMask(false);
    txtIP->setText(QString::fromStdString(IPText));
    txtMask->setText(QString::fromStdString(MaskText));
    txtGate->setText(QString::fromStdString(GatewayText));
    SetAutoMask(TAddressEntry::AutoMaskFor(MaskText));
}

void Tfrm_IPSet::SetAutoMask(bool On)
{
    // Ticking the box runs its handler, which calls here again with the same value.
    if (chAutoMask->isChecked() != On) chAutoMask->setChecked(On);
    txtMask->setEnabled(!On);
    if (On) ApplyAutoMask();
}

void Tfrm_IPSet::ApplyAutoMask()
{
    const QString mask = QString::fromStdString(TAddressEntry::StandardMaskText(txtIP->text().toStdString()));
    if (txtMask->text() != mask) txtMask->setText(mask);
}

void Tfrm_IPSet::chAutoMaskClick() { SetAutoMask(chAutoMask->isChecked()); }

void Tfrm_IPSet::txtIPKeyDown(int Key)
{
    if ((Key == Qt::Key_Return || Key == Qt::Key_Enter) && AutoMask()) ApplyAutoMask();
}

void Tfrm_IPSet::txtIPExit()
{
    if (AutoMask()) ApplyAutoMask();
}

bool Tfrm_IPSet::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == txtIP) {
        if (Event->type() == QEvent::KeyPress) txtIPKeyDown(static_cast<QKeyEvent*>(Event)->key());
        if (Event->type() == QEvent::FocusOut) txtIPExit();
    }
    return QFrame::eventFilter(Watched, Event); // the key goes on as usual
}

} // namespace qubra
