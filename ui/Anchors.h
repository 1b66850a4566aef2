#pragma once

#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace qubra {

// Keeps child widgets at the distances from their parent's sides that they had when they were
// anchored, the way the designed windows place their controls: a child anchored left and
// right stretches with its parent, one anchored right only moves with the right side.
class TAnchors : public QObject {
public:
    explicit TAnchors(QWidget* Parent);

    // Takes the distances from the child's present geometry and its parent's present size.
    void Anchor(QWidget* Child, Qt::Edges Sides);
    // Places every anchored child for the parent's present size.
    void Apply();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    struct TEntry {
        QPointer<QWidget> Child;
        Qt::Edges Sides;
        // Distances from the parent's sides; negative when the child reaches beyond them.
        QMargins Distance;
        QSize Size;
    };
    QWidget* Parent;
    std::vector<TEntry> Entries;
};

} // namespace qubra
