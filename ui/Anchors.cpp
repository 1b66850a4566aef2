#include "ui/Anchors.h"

#include <QEvent>

namespace qubra {

namespace {

// One axis: the start and length of a child between its parent's sides.
std::pair<int, int> Span(bool Near, bool Far, int NearDistance, int FarDistance, int Length, int ParentLength)
{
    if (Near && Far) return {NearDistance, ParentLength - NearDistance - FarDistance};
    if (Far) return {ParentLength - FarDistance - Length, Length};
    return {NearDistance, Length};
}

} // namespace

TAnchors::TAnchors(QWidget* Parent) : QObject(Parent), Parent(Parent) { Parent->installEventFilter(this); }

void TAnchors::Anchor(QWidget* Child, Qt::Edges Sides)
{
    const QRect r = Child->geometry();
    const QSize p = Parent->size();
    Entries.push_back({Child, Sides,
                       QMargins(r.left(), r.top(), p.width() - r.left() - r.width(), p.height() - r.top() - r.height()),
                       r.size()});
}

void TAnchors::Apply()
{
    const QSize p = Parent->size();
    for (const TEntry& entry : Entries) {
        if (!entry.Child) continue;
        const auto [x, width] = Span(entry.Sides & Qt::LeftEdge, entry.Sides & Qt::RightEdge, entry.Distance.left(),
                                     entry.Distance.right(), entry.Size.width(), p.width());
        const auto [y, height] = Span(entry.Sides & Qt::TopEdge, entry.Sides & Qt::BottomEdge, entry.Distance.top(),
                                      entry.Distance.bottom(), entry.Size.height(), p.height());
        entry.Child->setGeometry(x, y, width, height);
    }
}

bool TAnchors::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == Parent && Event->type() == QEvent::Resize) Apply();
    return QObject::eventFilter(Watched, Event);
}

} // namespace qubra
