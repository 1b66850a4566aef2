#include "ui/Pictures.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

namespace qubra {

QString PicturePath(TPicture Picture)
{
    switch (Picture) {
    case TPicture::Logo: return QStringLiteral(":/pictures/logo.svg");
    case TPicture::FlagCzech: return QStringLiteral(":/pictures/flag-cz.svg");
    case TPicture::FlagEnglish: return QStringLiteral(":/pictures/flag-en.svg");
    case TPicture::SidePicture: return QStringLiteral(":/pictures/side.svg");
    case TPicture::Network: return QStringLiteral(":/pictures/network.svg");
    case TPicture::ApplicationIcon: return QStringLiteral(":/pictures/app-icon.svg");
    }
    return {};
}

QString PicturePath(TNoticePicture Picture)
{
    switch (Picture) {
    case TNoticePicture::Information: return QStringLiteral(":/pictures/notice-information.svg");
    case TNoticePicture::Warning: return QStringLiteral(":/pictures/notice-warning.svg");
    case TNoticePicture::Error: return QStringLiteral(":/pictures/notice-error.svg");
    case TNoticePicture::Question: return QStringLiteral(":/pictures/notice-question.svg");
    case TNoticePicture::Cross: return QStringLiteral(":/pictures/notice-cross.svg");
    case TNoticePicture::Tick: return QStringLiteral(":/pictures/notice-tick.svg");
    }
    return {};
}

QPixmap RenderPicture(const QString& Path, QSize Size)
{
    QSvgRenderer renderer(Path);
    if (!renderer.isValid() || Size.isEmpty()) return {};
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(Size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(Size)));
    return pixmap;
}

QPixmap RenderPicture(TPicture Picture, QSize Size) { return RenderPicture(PicturePath(Picture), Size); }

QPixmap RenderPicture(TNoticePicture Picture, QSize Size) { return RenderPicture(PicturePath(Picture), Size); }

QIcon ApplicationIcon()
{
    // Drawn here rather than by Qt's SVG icon plugin, which a deployment may lack.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(RenderPicture(TPicture::ApplicationIcon, QSize(size, size)));
    return icon;
}

TImageList::TImageList(QObject* Parent) : QObject(Parent)
{
    setObjectName(QStringLiteral("ImageList1"));
    for (int i = 0; i < Count; ++i) Pictures[i] = RenderPicture(static_cast<TNoticePicture>(i));
}

} // namespace qubra
