#pragma once

#include <QSvgRenderer>
#include <QTimer>
#include <QWidget>

namespace qubra {

// The search animation `Anim`: a magnifying glass circling over a computer, drawn frame by
// frame from one picture by a timer. Stopped, it shows its stop frame.
class TSearchAnimation : public QWidget {
    Q_OBJECT

public:
    static constexpr int FrameCount = 8;
    static constexpr int StopFrame = FrameCount - 1;
    static constexpr int FrameMs = 100;

    explicit TSearchAnimation(QWidget* Parent = nullptr);

    bool Active() const { return Timer.isActive(); }
    // Playing starts from the first frame; stopping shows the stop frame.
    void SetActive(bool Playing);
    int Frame() const { return FFrame; }
    QSize sizeHint() const override { return {32, 32}; }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    void NextFrame();

    QSvgRenderer Picture;
    QTimer Timer;
    int FFrame = StopFrame;
};

} // namespace qubra
