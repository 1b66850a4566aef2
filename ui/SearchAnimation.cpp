#include "ui/SearchAnimation.h"

#include <QPainter>

#include <cmath>
#include <numbers>

namespace qubra {

namespace {

// The radius of the glass's circle, in the picture's own units.
constexpr double CircleRadius = 3.0;

} // namespace

TSearchAnimation::TSearchAnimation(QWidget* Parent)
    : QWidget(Parent), Picture(QStringLiteral(":/pictures/search.svg"))
{
    setObjectName(QStringLiteral("Anim"));
    resize(32, 32);
    Timer.setInterval(FrameMs);
    connect(&Timer, &QTimer::timeout, this, &TSearchAnimation::NextFrame);
}

void TSearchAnimation::SetActive(bool Playing)
{
    if (Playing == Active()) return;
    if (Playing) {
        FFrame = 0;
        Timer.start();
    } else {
        Timer.stop();
        FFrame = StopFrame;
    }
    update();
}

void TSearchAnimation::NextFrame()
{
    FFrame = (FFrame + 1) % FrameCount;
    update();
}

void TSearchAnimation::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF view = Picture.viewBoxF();
    const double scale = std::min(width() / view.width(), height() / view.height());
    painter.scale(scale, scale);
    painter.translate(-view.topLeft());
    painter.setRenderHint(QPainter::Antialiasing);
    Picture.render(&painter, QStringLiteral("computer"), Picture.boundsOnElement(QStringLiteral("computer")));
    const double angle = 2 * std::numbers::pi * FFrame / FrameCount;
    const QRectF lens = Picture.boundsOnElement(QStringLiteral("lens"));
    Picture.render(&painter, QStringLiteral("lens"),
                   lens.translated(CircleRadius * std::cos(angle), CircleRadius * std::sin(angle)));
}

} // namespace qubra
