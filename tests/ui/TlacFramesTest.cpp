#include <gtest/gtest.h>

#include <QCursor>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>

#include "UiTestSupport.h"
#include "PointerEvents.h"
#include "model/Exception.h"
#include "ui/TlacFrames.h"

using namespace qubra;
using namespace qubra::test;

namespace {

// What the frame really paints: its border pixel and the middle of its face.
struct TPainted {
    QColor Border;
    QColor Face;
};

TPainted Painted(QWidget* frame)
{
    const QImage image = frame->grab().toImage();
    return {image.pixelColor(image.width() - 1, 0), image.pixelColor(3, 2)};
}

// A window of its own that holds the frames and takes the focus, away from the pointer so
// that only the test's own events move it over a frame.
struct TWindow {
    QWidget Window;
    TWindow()
    {
        QCursor::setPos(0, 0);
        Window.setGeometry(400, 400, 300, 100);
        Window.show();
        Window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Window));
    }
};

} // namespace

TEST(TlacFrames, PushButtonStartsWithItsOwnOrangeAndReturnsToTheNormalOneAfterHover)
{
    TWindow window;
    TfrmTlacitko button(&window.Window);
    button.show();
    EXPECT_EQ(button.size(), QSize(115, 18));
    EXPECT_EQ(button.Tlac->geometry(), QRect(1, 1, 113, 16));
    EXPECT_EQ(button.Tlac->Caption(), "?");
    EXPECT_EQ(Painted(&button).Face, TlacColors::InitialButtonFace);
    EXPECT_EQ(Painted(&button).Border, TlacColors::White);

    PointerEnters(&button);
    EXPECT_EQ(button.Tlac->FaceColor(), TlacColors::Hover);
    EXPECT_EQ(Painted(&button).Face, TlacColors::Hover);
    EXPECT_EQ(window.Window.focusWidget(), &button) << "the pointer gives the focus to a button reached by Tab";

    PointerLeaves(&button);
    EXPECT_EQ(Painted(&button).Face, TlacColors::NormalFace);
    EXPECT_EQ(Painted(&button).Border, TlacColors::White) << "a push button has no focus frame";
    EXPECT_EQ(button.Tlac->CaptionColor(), TlacColors::White);
}

TEST(TlacFrames, PointerLeavesFocusAloneWhenTheFrameIsNotReachedByTab)
{
    TWindow window;
    QWidget other(&window.Window);
    other.setFocusPolicy(Qt::StrongFocus);
    other.show();
    other.setFocus();
    TfrmTlacitko button(&window.Window);
    TfrmTlacMenu menu(&window.Window);
    button.setFocusPolicy(Qt::ClickFocus);
    menu.setFocusPolicy(Qt::NoFocus);
    PointerEnters(&button);
    PointerEnters(&menu);
    EXPECT_EQ(button.Tlac->FaceColor(), TlacColors::Hover);
    EXPECT_EQ(menu.Tlac->FaceColor(), TlacColors::Hover);
    EXPECT_EQ(window.Window.focusWidget(), &other);
}

TEST(TlacFrames, FaceFollowsTheFrameWithTheDesignedMargins)
{
    TfrmTlacitko button;
    button.show(); // like a layout, the face is placed once the frame is shown
    button.resize(200, 30);
    EXPECT_EQ(button.Tlac->geometry(), QRect(1, 1, 198, 28));

    TfrmTlacMenu menu;
    menu.show();
    EXPECT_EQ(menu.size(), QSize(115, 11));
    EXPECT_EQ(menu.Tlac->geometry(), QRect(0, 0, 114, 14));
    menu.resize(115, 20);
    EXPECT_EQ(menu.Tlac->geometry(), QRect(0, 0, 114, 23));
}

TEST(TlacFrames, MenuHoverIsGreenAndLeavingRestoresTheLookOfItsState)
{
    TWindow window;
    TfrmTlacMenu menu(&window.Window);
    menu.resize(115, 20);
    menu.show();
    std::vector<QWidget*> entered, left;
    menu.SetOnMenuEnter([&](QWidget* sender) { entered.push_back(sender); });
    menu.SetOnMenuLeave([&](QWidget* sender) {
        left.push_back(sender);
        EXPECT_EQ(menu.Tlac->FaceColor(), TlacColors::NormalFace) << "the look is restored before the call";
    });
    EXPECT_FALSE(menu.Selected());
    EXPECT_EQ(Painted(&menu).Face, TlacColors::NormalFace);

    PointerEnters(&menu);
    EXPECT_EQ(Painted(&menu).Face, TlacColors::Hover);
    EXPECT_EQ(menu.Tlac->CaptionColor(), TlacColors::White);
    EXPECT_EQ(Painted(&menu).Border, TlacColors::FocusedMenuFrame) << "hover focuses the tab, which shows its frame";
    PointerLeaves(&menu);
    EXPECT_EQ(Painted(&menu).Face, TlacColors::NormalFace);
    EXPECT_EQ(entered, std::vector<QWidget*>{&menu});
    EXPECT_EQ(left, std::vector<QWidget*>{&menu});

    menu.clearFocus();
    EXPECT_EQ(Painted(&menu).Border, TlacColors::White);
}

TEST(TlacFrames, SelectedMenuKeepsItsLookUnderThePointerButStillReportsTheEnter)
{
    TfrmTlacMenu menu;
    int entered = 0;
    menu.SetOnMenuEnter([&](QWidget*) { ++entered; });
    menu.SetSelected(true);
    EXPECT_EQ(menu.Tlac->FaceColor(), TlacColors::SelectedFace);
    EXPECT_EQ(menu.Tlac->CaptionColor(), TlacColors::Hover);

    PointerEnters(&menu);
    EXPECT_EQ(menu.Tlac->FaceColor(), TlacColors::SelectedFace);
    EXPECT_EQ(menu.Tlac->CaptionColor(), TlacColors::Hover);
    EXPECT_EQ(entered, 1);
    PointerLeaves(&menu);
    EXPECT_EQ(menu.Tlac->FaceColor(), TlacColors::SelectedFace);

    menu.SetSelected(false);
    EXPECT_EQ(menu.Tlac->FaceColor(), TlacColors::NormalFace);
    EXPECT_EQ(menu.Tlac->CaptionColor(), TlacColors::White);
}

TEST(TlacFrames, MenuSelectedWhileThePointerIsOverItShowsSelectedAfterTheLeave)
{
    TfrmTlacMenu menu;
    PointerEnters(&menu);
    EXPECT_EQ(menu.Tlac->FaceColor(), TlacColors::Hover);
    menu.SetSelected(true); // a click on the tab selects it
    PointerLeaves(&menu);
    EXPECT_EQ(menu.Tlac->FaceColor(), TlacColors::SelectedFace);
    EXPECT_EQ(menu.Tlac->CaptionColor(), TlacColors::Hover);

    // Selected and then deselected under the pointer: back to the normal look.
    PointerEnters(&menu);
    menu.SetSelected(false);
    PointerLeaves(&menu);
    EXPECT_EQ(menu.Tlac->FaceColor(), TlacColors::NormalFace);
}

TEST(TlacFrames, ClickOnTheFaceReachesTheFrameHandlerWithTheFrameAsSender)
{
    TWindow window;
    TfrmTlacMenu tab(&window.Window);
    TfrmTlacitko button(&window.Window);
    tab.resize(115, 20);
    button.move(0, 40);
    tab.show();
    button.show();
    std::vector<QWidget*> senders;
    for (TTlacFrame* frame : std::initializer_list<TTlacFrame*>{&tab, &button})
        QObject::connect(frame, &TTlacFrame::clicked, [&](QWidget* sender) { senders.push_back(sender); });
    QSignalSpy faceClicks(tab.Tlac, &TTlacFace::clicked);

    QTest::mouseClick(tab.Tlac, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseClick(button.Tlac, Qt::LeftButton, {}, QPoint(10, 5));
    EXPECT_EQ(senders, (std::vector<QWidget*>{&tab, &button}));
    EXPECT_EQ(faceClicks.count(), 1) << "the face's own click can be bound directly";

    // A press dragged off the face, or another button, is no click.
    QTest::mousePress(tab.Tlac, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseRelease(tab.Tlac, Qt::LeftButton, {}, QPoint(200, 5));
    QTest::mouseClick(tab.Tlac, Qt::RightButton, {}, QPoint(10, 5));
    EXPECT_EQ(senders.size(), 2u);
}

TEST(TlacFrames, ErrorInAHandlerBehindTheFrameIsShownAndTheFrameGoesOn)
{
    TBoxRecorder boxes;
    TfrmTlacMenu tab;
    tab.show();
    QObject::connect(&tab, &TTlacFrame::clicked, [](QWidget*) { throw Exception("Chyba kliknutí"); });
    tab.SetOnMenuLeave([](QWidget*) { throw Exception("Chyba odchodu"); });
    QTest::mouseClick(tab.Tlac, Qt::LeftButton, {}, QPoint(10, 5));
    PointerEnters(&tab);
    PointerLeaves(&tab);
    ASSERT_EQ(boxes.Boxes.size(), 2u);
    EXPECT_EQ(boxes.Boxes[0].Text, "Chyba kliknutí");
    EXPECT_EQ(boxes.Boxes[1].Text, "Chyba odchodu");
    EXPECT_EQ(tab.Tlac->FaceColor(), TlacColors::NormalFace) << "the look was restored before the handler";
}
