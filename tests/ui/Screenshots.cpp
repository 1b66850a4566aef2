// Draws the styled frames, the address frame, the pictures, the communication window in its
// looks, a message box and the settings pages into PNG files in the folder given as the only
// argument (scripts/screenshots.sh runs it under Xvfb).
#include <QDir>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QLabel>
#include <QPainter>

#include <cstdio>
#include <functional>

#include "MainWindowScreenshots.h"
#include "PointerEvents.h"
#include "SettingsScreenshots.h"
#include "ui/Application.h"
#include "ui/DataSenderWindow.h"
#include "ui/IPSetFrame.h"
#include "ui/MessageBoxes.h"
#include "ui/Pictures.h"
#include "ui/SearchAnimation.h"
#include "ui/TlacFrames.h"

using namespace qubra;
using qubra::test::PointerEnters;
using qubra::test::PointerLeaves;

namespace {

void Focus(QWidget* widget)
{
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(widget, &in);
}

// A sheet of labelled rows on a light background, as the frames would sit in a window.
class TSheet : public QWidget {
public:
    TSheet()
    {
        setAutoFillBackground(true);
        setPalette(QPalette(QColor(240, 240, 240)));
        Grid->setHorizontalSpacing(16);
        Grid->setVerticalSpacing(14);
    }
    void Row(const QString& Text, std::initializer_list<QWidget*> Widgets)
    {
        const int row = Grid->rowCount();
        Grid->addWidget(new QLabel(Text), row, 0, Qt::AlignLeft | Qt::AlignTop);
        auto* cells = new QHBoxLayout;
        cells->setSpacing(16);
        for (QWidget* widget : Widgets) cells->addWidget(widget, 0, Qt::AlignLeft | Qt::AlignTop);
        cells->addStretch();
        Grid->addLayout(cells, row, 1);
    }

private:
    QGridLayout* Grid = new QGridLayout(this);
};

// A widget with a small caption below it.
QWidget* Captioned(QWidget* Widget, const QString& Text)
{
    auto* cell = new QWidget;
    auto* layout = new QVBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Widget, 0, Qt::AlignLeft);
    auto* label = new QLabel(Text);
    QFont font = label->font();
    font.setPixelSize(10);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: #606060"));
    layout->addWidget(label);
    return cell;
}

template <typename TFrame>
TFrame* Frame(const QString& Caption, QSize Size, const std::function<void(TFrame*)>& Look = nullptr)
{
    auto* frame = new TFrame;
    frame->Tlac->SetCaption(Caption);
    frame->setFixedSize(Size);
    if (Look) Look(frame);
    return frame;
}

QLabel* Picture(const QPixmap& Pixmap)
{
    auto* label = new QLabel;
    label->setPixmap(Pixmap);
    return label;
}

// A window as a person sees it: its client area in a plain frame under a title bar with its
// caption (the virtual display has no window manager to draw them).
QPixmap Framed(QWidget& Window)
{
    Window.show();
    QApplication::processEvents();
    const QPixmap client = Window.grab();
    constexpr int border = 1, title = 20;
    QPixmap framed(client.width() + 2 * border, client.height() + title + 2 * border);
    framed.fill(QColor(96, 96, 96));
    QPainter painter(&framed);
    const QRect bar(border, border, client.width(), title);
    painter.fillRect(bar, QColor(220, 226, 234));
    painter.setPen(Qt::black);
    painter.drawText(bar.adjusted(6, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, Window.windowTitle());
    painter.drawPixmap(border, border + title, client);
    return framed;
}

// The communication window as the engine leaves it after Drive.
QPixmap CommunicationWindow(const std::function<void(TQtDataSenderView&)>& Drive)
{
    TQtDataSenderView view(nullptr);
    view.SetCaption("Komunikace...");
    Drive(view);
    return Framed(*view.Dialog());
}

// The notice with Icon, as it is on show while it waits for its button.
QPixmap Notice(const std::string& Text, TMessageIcon Icon)
{
    QPixmap shot;
    SetNoticeScript([&](TDataSenderDialog& notice) { shot = Framed(notice); });
    CommunicationWindow([&](TQtDataSenderView& view) {
        view.SetStatus(Text);
        view.SetLook(TSenderLook::Notice);
        view.ShowNotice("OK", Icon);
    });
    SetNoticeScript(nullptr);
    return shot;
}

bool Save(QWidget& Widget, const QString& File)
{
    Widget.show();
    QApplication::processEvents();
    const bool saved = Widget.grab().save(File);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(File));
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    TApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QSize button(115, 18), menu(115, 18), designMenu(115, 11);
    using TButton = TfrmTlacitko;
    using TMenu = TfrmTlacMenu;

    TSheet frames;
    frames.Row("TfrmTlacitko",
               {Captioned(Frame<TButton>("&Nastavit", button), "as built"),
                Captioned(Frame<TButton>("&Nastavit", button, [](TButton* f) { PointerEnters(f); }), "pointer over it"),
                Captioned(Frame<TButton>("&Nastavit", button,
                                         [](TButton* f) {
                                             PointerEnters(f);
                                             PointerLeaves(f);
                                         }),
                          "after the pointer left")});
    frames.Row("TfrmTlacMenu",
               {Captioned(Frame<TMenu>("Kanál", menu), "normal"),
                Captioned(Frame<TMenu>("Kanál", menu, [](TMenu* f) { PointerEnters(f); }), "pointer over it"),
                Captioned(Frame<TMenu>("Kanál", menu, [](TMenu* f) { f->SetSelected(true); }), "selected"),
                Captioned(Frame<TMenu>("Kanál", menu, [](TMenu* f) { Focus(f); }), "focused (right edge)")});
    frames.Row("TfrmTlacMenu\nas designed",
               {Captioned(Frame<TMenu>("Kanál", designMenu), "115 × 11, normal"),
                Captioned(Frame<TMenu>("Kanál", designMenu, [](TMenu* f) { f->SetSelected(true); }), "115 × 11, selected")});

    TSheet address;
    auto* automatic = new Tfrm_IPSet;
    automatic->SetValues("192.168.1.10", "255.255.255.255", "192.168.1.1");
    auto* typed = new Tfrm_IPSet;
    typed->SetValues("10.0.0.5", "255.255.255.0", "0.0.0.0");
    address.Row("Tfrm_IPSet", {Captioned(new Tfrm_IPSet, "as built"), Captioned(automatic, "automatic mask"),
                               Captioned(typed, "mask typed")});

    TSheet pictures;
    pictures.Row("logo, flags,\nicon", {Picture(RenderPicture(TPicture::Logo, {200, 64})),
                                       Picture(RenderPicture(TPicture::FlagCzech, {30, 20})),
                                       Picture(RenderPicture(TPicture::FlagEnglish, {30, 20})),
                                       Picture(RenderPicture(TPicture::ApplicationIcon, {64, 64})),
                                       Picture(RenderPicture(TPicture::ApplicationIcon, {16, 16}))});
    pictures.Row("side picture,\nnetwork", {Picture(RenderPicture(TPicture::SidePicture, {60, 200})),
                                   Captioned(Picture(RenderPicture(TPicture::Network, {28, 31})), "28 × 31"),
                                   Captioned(Picture(RenderPicture(TPicture::Network, {170, 233})), "170 × 233")});
    pictures.Row("notices", {Picture(RenderPicture(TNoticePicture::Information)), Picture(RenderPicture(TNoticePicture::Warning)),
                             Picture(RenderPicture(TNoticePicture::Error)), Picture(RenderPicture(TNoticePicture::Question)),
                             Picture(RenderPicture(TNoticePicture::Cross)), Picture(RenderPicture(TNoticePicture::Tick))});
    // The animation's frames side by side, drawn at twice the size.
    TSearchAnimation anim;
    anim.resize(64, 64);
    anim.SetActive(true);
    QWidget* strip = new QWidget;
    auto* stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < TSearchAnimation::FrameCount; ++i) {
        stripLayout->addWidget(Picture(anim.grab()));
        const int frame = anim.Frame();
        while (anim.Frame() == frame) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    pictures.Row("search\n(twice the size)", {strip});

    TSheet window;
    // The search look a few animation frames into a search.
    window.Row("search", {Captioned(Picture(CommunicationWindow([](TQtDataSenderView& view) {
                                        view.SetLook(TSenderLook::Search);
                                        view.SetStatus("Vyhledávám zařízení 192.168.1.254...");
                                        view.SetAnimation(true);
                                        TSearchAnimation* anim = view.Dialog()->Anim;
                                        while (anim->Frame() != 2) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
                                    })),
                                    "animation playing (frame 3 of 8)")});
    window.Row("exchange", {Captioned(Picture(CommunicationWindow([](TQtDataSenderView& view) {
                                          view.SetLook(TSenderLook::Exchange);
                                          view.SetPosition(67);
                                          view.SetStatus("Předávám požadavek na záznam č.2 z 3...");
                                      })),
                                      "2 of 3 records requested")});
    window.Row("notices", {Captioned(Picture(Notice("Zařízení nebylo nalezeno", TMessageIcon::Error)), "error"),
                           Captioned(Picture(Notice("Nastavení zařízení se nezdařilo kompletně", TMessageIcon::Warning)),
                                     "warning")});
    window.Row("", {Captioned(Picture(Notice("Záznam uložen.", TMessageIcon::Information)), "information"),
                    Captioned(Picture(Notice("Komunikace se zařízením selhala!\r\nPravděpodobnou příčinou je "
                                             "nekompatibilní síťové nastavení zařízení (IP: 10.0.0.5)",
                                             TMessageIcon::Question)),
                              "question, a text of two lines")});

    // The question before an address outside the workstation's subnets is given.
    TSheet box;
    QPixmap boxShot;
    SetMessageBoxScript([&](QMessageBox& shown) {
        boxShot = Framed(shown);
        return TMessageAnswer::No;
    });
    ShowMessageBox(nullptr, {"Varování",
                             "Adresa, kterou chcete přiřadit (10.1.2.3) nepřísluší stejné podsíti jako tento počítač."
                             "\r\nChcete ji přesto přiřadit?",
                             TMessageButtons::YesNo, TMessageIcon::Warning, TMessageAnswer::No});
    SetMessageBoxScript(nullptr);
    box.Row("Yes/No box,\nNo the default", {Picture(boxShot)});

    const bool saved = Save(frames, out.filePath("frames.png")) && Save(address, out.filePath("address-frame.png"))
        && Save(pictures, out.filePath("pictures.png")) && Save(window, out.filePath("communication-window.png"))
        && Save(box, out.filePath("message-box.png"))
        && test::SaveSettingsPages([&](QWidget& widget, const QString& file) { return Save(widget, out.filePath(file)); })
        && test::SaveMainWindowShots(Framed, [&](const QPixmap& picture, const QString& file) {
               return picture.save(out.filePath(file));
           });
    return saved ? 0 : 1;
}
