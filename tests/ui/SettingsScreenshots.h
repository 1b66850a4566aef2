#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace qubra::test {

// Draws a widget into the named file; false when it could not be written.
using TSaveShot = std::function<bool(QWidget& Widget, const QString& File)>;

// The two settings pages showing the built-in mapping's default record of a device found at
// 192.168.1.254: "settings-data-channel.png" and "settings-network.png".
bool SaveSettingsPages(const TSaveShot& Save);

} // namespace qubra::test
