#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <functional>

namespace qubra::test {

using TFrameWindow = std::function<QPixmap(QWidget& Window)>;
using TSavePixmap = std::function<bool(const QPixmap& Picture, const QString& File)>;

// The main window empty, with the device list during a scan, showing a simulated device on loopback (both pages, then in English),
// and the address wizard's three pages: "main-window-*.png" and "wizard-*.png".
bool SaveMainWindowShots(const TFrameWindow& Frame, const TSavePixmap& Save);

} // namespace qubra::test
