#pragma once

#include <QRect>
#include <QString>

namespace qubra {

// A control made for a designed window: named as the language files address it, at its
// designed place in its parent.
template <typename TWidget>
TWidget* Place(TWidget* Widget, const char* Name, QRect Geometry)
{
    Widget->setObjectName(QString::fromLatin1(Name));
    Widget->setGeometry(Geometry);
    return Widget;
}

} // namespace qubra
