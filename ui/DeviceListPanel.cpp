#include "ui/DeviceListPanel.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QThread>

#include "i18n/Language.h"
#include "ui/Application.h"
#include "ui/Place.h"

namespace qubra {

// The rows of the list as the table shows them.
class TDeviceListModel : public QAbstractTableModel {
public:
    explicit TDeviceListModel(const TDeviceList& List, QObject* Parent) : QAbstractTableModel(Parent), List(List) {}

    int rowCount(const QModelIndex& Parent) const override
    {
        return Parent.isValid() ? 0 : static_cast<int>(List.Rows().size());
    }
    int columnCount(const QModelIndex& Parent) const override { return Parent.isValid() ? 0 : 4; }

    QVariant data(const QModelIndex& Index, int Role) const override
    {
        if (!Index.isValid() || Index.row() >= rowCount({})) return {};
        const TDeviceRow& row = List.Rows()[Index.row()];
        if (Role == Qt::ForegroundRole && Index.column() == 3 && row.State != TDeviceState::InSubnet)
            return QColor(176, 32, 0);
        if (Role != Qt::DisplayRole) return {};
        switch (Index.column()) {
        case 0: return QString::fromStdString(row.Entry.MAC);
        case 1: return QString::fromStdString(row.Entry.IP);
        case 2: return QString::fromStdString(InterfaceText(row.Entry));
        default: return QString::fromStdString(GetText(StateMessage(row.State)));
        }
    }

    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override
    {
        if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole) return {};
        static const TMessage* const headers[] = {&msgMACAdresa, &msgIPAdresa1, &msgRozhrani, &msgStav};
        return Section >= 0 && Section < 4 ? QString::fromStdString(GetText(*headers[Section])) : QVariant();
    }

    void Reset()
    {
        beginResetModel();
        endResetModel();
    }
    void Retranslate()
    {
        emit headerDataChanged(Qt::Horizontal, 0, 3);
        if (rowCount({}) > 0) emit dataChanged(index(0, 3), index(rowCount({}) - 1, 3));
    }

private:
    const TDeviceList& List;
};

TDeviceListPanel::TDeviceListPanel(const TLinkSettings& Link, TScanner::TLayoutLoader LoadLayout, QWidget* Parent)
    : QWidget(Parent),
      lblScan(Place(new QLabel(this), "lblScan", QRect(10, 8, 560, 18))),
      pbScan(Place(new QProgressBar(this), "pbScan", QRect(583, 10, 170, 14))),
      lvDevices(Place(new QTableView(this), "lvDevices", QRect(10, 32, 743, 535))),
      FLink(Link),
      FLoadLayout(std::move(LoadLayout)),
      FModel(new TDeviceListModel(FList, this))
{
    setObjectName(QStringLiteral("pnlDevices"));
    setGeometry(0, 0, 763, 577);
    lblScan->setTextFormat(Qt::PlainText);
    pbScan->setRange(0, 1000);
    pbScan->setTextVisible(false);
    pbScan->hide();
    lvDevices->setModel(FModel);
    lvDevices->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvDevices->setSelectionMode(QAbstractItemView::SingleSelection);
    lvDevices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvDevices->setContextMenuPolicy(Qt::CustomContextMenu);
    lvDevices->verticalHeader()->hide();
    lvDevices->horizontalHeader()->setStretchLastSection(true);
    for (const auto& [column, width] : {std::pair{0, 140}, {1, 120}, {2, 200}}) lvDevices->setColumnWidth(column, width);
    lvDevices->installEventFilter(this);
    connect(lvDevices, &QAbstractItemView::doubleClicked, this, Guarded([this](const QModelIndex&) { OpenSelected(); }));
    connect(lvDevices, &QWidget::customContextMenuRequested, this, Guarded([this](const QPoint& At) {
                if (std::unique_ptr<QMenu> menu = ContextMenu()) menu->exec(lvDevices->viewport()->mapToGlobal(At));
            }));
    FTimer.setInterval(kPollMs);
    connect(&FTimer, &QTimer::timeout, this, Guarded([this] { Poll(); }));
    // Esc anywhere in the window stops a running scan.
    qApp->installEventFilter(this);
    hide();
}

TDeviceListPanel::~TDeviceListPanel() { qApp->removeEventFilter(this); }

void TDeviceListPanel::ScanClick()
{
    if (FScan) {
        StopScan();
        return;
    }
    FList.Clear();
    FModel->Reset();
    FStopped = false;
    // The default broadcast means every interface; one given means just that address.
    const bool everyInterface = FLink.BroadcastIP == TLinkSettings{}.BroadcastIP;
    FScan = std::make_unique<TBackgroundScan>(FLink, FLoadLayout, everyInterface);
    pbScan->setValue(0);
    pbScan->show();
    show();
    lvDevices->setFocus();
    FTimer.start();
    ShowStatus();
}

void TDeviceListPanel::StopScan()
{
    if (!FScan) return;
    FScan->Stop();
    Poll();
    // The searches end within a slice of their waits.
    while (FScan) {
        QThread::msleep(1);
        Poll();
    }
}

void TDeviceListPanel::Poll()
{
    if (!FScan) return;
    const bool finished = FScan->Finished();
    AddDevices(FScan->TakeNew());
    const auto duration = FScan->Duration().count();
    pbScan->setValue(duration > 0 ? static_cast<int>(1000 * (duration - FScan->Remaining().count()) / duration) : 1000);
    if (!finished) {
        ShowStatus();
        return;
    }
    FTimer.stop();
    FStopped = FScan->Stopped();
    const std::exception_ptr error = FScan->Error();
    FScan.reset();
    pbScan->hide();
    ShowStatus();
    if (!FList.Rows().empty()) {
        lvDevices->setCurrentIndex(FModel->index(0, 0));
        lvDevices->setFocus();
    }
    if (error) std::rethrow_exception(error);
}

void TDeviceListPanel::AddDevices(const std::vector<TScanEntry>& Entries)
{
    if (Entries.empty()) return;
    const TDeviceRow* selected = Selected();
    const TMACAddress current = selected ? selected->MAC : TMACAddress{};
    FList.Add(Entries);
    FModel->Reset();
    const int row = FList.IndexOf(current);
    if (selected && row >= 0) lvDevices->setCurrentIndex(FModel->index(row, 0));
}

void TDeviceListPanel::ShowStatus()
{
    const auto remaining = FScan ? FScan->Remaining() : std::chrono::milliseconds(0);
    lblScan->setText(QString::fromStdString(
        ScanStatusText(FScan != nullptr, FStopped, remaining, static_cast<int>(FList.Rows().size()))));
}

const TDeviceRow* TDeviceListPanel::Selected() const
{
    const QModelIndex current = lvDevices->currentIndex();
    if (!current.isValid() || current.row() >= static_cast<int>(FList.Rows().size())) return nullptr;
    return &FList.Rows()[current.row()];
}

void TDeviceListPanel::OpenSelected(std::optional<TRowCommand> Command)
{
    StopScan();
    const TDeviceRow* selected = Selected();
    if (!selected || !OnOpen) return;
    // The row goes when a new scan replaces the list meanwhile.
    const TDeviceRow row = *selected;
    OnOpen(row, Command.value_or(EnterCommand(row)));
}

std::unique_ptr<QMenu> TDeviceListPanel::ContextMenu()
{
    const TDeviceRow* selected = Selected();
    if (!selected) return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    const QString mac = QString::fromStdString(selected->Entry.MAC);
    connect(menu->addAction(QString::fromStdString(GetText(msgOtevrit))), &QAction::triggered, this,
            Guarded([this] { OpenSelected(TRowCommand::Open); }));
    connect(menu->addAction(QString::fromStdString(GetText(msgNastavitIP))), &QAction::triggered, this,
            Guarded([this] { OpenSelected(TRowCommand::SetIP); }));
    connect(menu->addAction(QString::fromStdString(GetText(msgKopirovatMACAd))), &QAction::triggered, this,
            [mac] { QApplication::clipboard()->setText(mac); });
    return menu;
}

void TDeviceListPanel::Retranslate()
{
    FModel->Retranslate();
    ShowStatus();
}

bool TDeviceListPanel::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(Event)->key();
    auto* widget = qobject_cast<QWidget*>(Watched);
    if (key == Qt::Key_Escape && FScan && widget && widget->window() == window()) {
        Guarded([this] { StopScan(); })();
        return true;
    }
    if (Watched == lvDevices && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        Guarded([this] { OpenSelected(); })();
        return true;
    }
    return false;
}

} // namespace qubra
