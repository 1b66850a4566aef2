#pragma once

#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QString>

#include <array>

namespace qubra {

// The window pictures, compiled in as SVG resources.
enum class TPicture {
    Logo,
    FlagCzech,
    FlagEnglish,
    // The tall picture along the main window's left edge.
    SidePicture,
    // A globe with a network cable: the communication window's exchange look and the wizard.
    Network,
    ApplicationIcon,
};

// The six notice pictures in the order of the windows' image list `ImageList1`.
enum class TNoticePicture { Information, Warning, Error, Question, Cross, Tick };

QString PicturePath(TPicture Picture);
QString PicturePath(TNoticePicture Picture);
// The picture drawn at Size device-independent pixels, sharp on the screen's pixel ratio;
// a null pixmap when the file is missing or no picture.
QPixmap RenderPicture(const QString& Path, QSize Size);
QPixmap RenderPicture(TPicture Picture, QSize Size);
QPixmap RenderPicture(TNoticePicture Picture, QSize Size = QSize(32, 32));
QIcon ApplicationIcon();

// A window's image list `ImageList1`: the six notice pictures at 32 x 32, drawn once.
class TImageList : public QObject {
public:
    static constexpr int Count = 6;

    explicit TImageList(QObject* Parent);

    QPixmap Picture(TNoticePicture Picture) const { return Pictures[static_cast<int>(Picture)]; }

private:
    std::array<QPixmap, Count> Pictures;
};

} // namespace qubra
