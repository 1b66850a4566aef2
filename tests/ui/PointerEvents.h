#pragma once

#include <QApplication>
#include <QEnterEvent>
#include <QEvent>
#include <QWidget>

namespace qubra::test {

// The pointer entering and leaving a widget, as the window system reports it.
inline void PointerEnters(QWidget* widget)
{
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(widget, &enter);
}

inline void PointerLeaves(QWidget* widget)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
}

} // namespace qubra::test
