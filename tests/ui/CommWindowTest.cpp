// The Qt communication window driven by the real engine against simulated devices on loopback,
// its notice and message boxes, and its life under the controller.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QLineEdit>
#include <QTimer>

#include <deque>
#include <set>

#include "UiTestSupport.h"
#include "control/DeviceController.h"
#include "model/Conversions.h"
#include "net/ARPManager.h"
#include "net/ARPMemoryBackend.h"
#include "tests/conversation/ConversationTestSupport.h"
#include "ui/DataSenderWindow.h"
#include "ui/MessageBoxes.h"

using namespace qubra;
using namespace qubra::test;

namespace {

// What the window shows, read from its widgets.
struct TShown {
    bool Visible = false;
    QString Status;
    int Position = 0;
    bool Anim = false;
    bool Picture = false;
    bool Progress = false;
    bool Button = false;

    static TShown Of(const TDataSenderDialog& Window)
    {
        return {Window.isVisible(),
                Window.lblCaption->text(),
                Window.Progressbar->value(),
                Window.Anim->isVisibleTo(&Window),
                Window.imgSit->isVisibleTo(&Window),
                Window.Progressbar->isVisibleTo(&Window),
                Window.cmdOK->isVisibleTo(&Window)};
    }
    bool SearchLook() const { return Anim && !Picture && !Progress && !Button; }
    bool ExchangeLook() const { return !Anim && Picture && Progress && !Button; }
    bool NoticeLook() const { return !Anim && Picture && !Progress && Button; }
};

// The Qt view, noting what its window shows at every pump.
class TWatchedView : public TQtDataSenderView {
public:
    using TQtDataSenderView::TQtDataSenderView;
    std::vector<TShown> AtPumps;

    void Pump() override
    {
        TQtDataSenderView::Pump();
        if (Dialog()) AtPumps.push_back(TShown::Of(*Dialog()));
    }
    std::vector<QString> Statuses() const
    {
        std::vector<QString> statuses;
        for (const TShown& shown : AtPumps)
            if (statuses.empty() || statuses.back() != shown.Status) statuses.push_back(shown.Status);
        return statuses;
    }
};

// A box as the user would have seen it.
struct TBoxShown {
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon;
    QMessageBox::StandardButtons Buttons;
    QMessageBox::StandardButton Default;
};

// Answers the message boxes in turn (Cancel when the list runs dry) and notes them.
struct TScriptedBoxes {
    std::vector<TBoxShown> Shown;
    std::deque<TMessageAnswer> Answers;
    std::function<void()> OnBox;

    TScriptedBoxes()
    {
        SetMessageBoxScript([this](QMessageBox& box) {
            Shown.push_back({box.windowTitle(), box.text(), box.icon(), box.standardButtons(),
                             box.standardButton(box.defaultButton())});
            if (OnBox) OnBox();
            if (Answers.empty()) return TMessageAnswer::Cancel;
            const TMessageAnswer answer = Answers.front();
            Answers.pop_front();
            return answer;
        });
    }
    ~TScriptedBoxes() { SetMessageBoxScript(nullptr); }
};

// Acknowledges every notice at once and notes what it showed.
struct TScriptedNotices {
    struct TNotice {
        TShown Shown;
        QString ButtonCaption;
        QImage Picture;
    };
    std::vector<TNotice> Shown;

    TScriptedNotices()
    {
        SetNoticeScript([this](TDataSenderDialog& notice) {
            Shown.push_back({TShown::Of(notice), notice.cmdOK->text(), notice.imgSit->pixmap().toImage()});
        });
    }
    ~TScriptedNotices() { SetNoticeScript(nullptr); }
};

// Runs Action every Ms milliseconds while it lives (the engine's waits let timers run).
class TEvery {
public:
    TEvery(int Ms, std::function<void()> Action)
    {
        QObject::connect(&Timer, &QTimer::timeout, std::move(Action));
        Timer.start(Ms);
    }

private:
    QTimer Timer;
};

// The key as the user types it into a window: to its focused control, else to the window.
void Type(QWidget* Window, Qt::Key Key)
{
    QWidget* focus = Window->focusWidget();
    QTest::keyClick(focus && focus->isVisible() ? focus : Window, Key);
}

// Runs Act on the modal window once it is up; ends the modal loop itself after 5 s, so that a
// window that does not close fails the test instead of hanging it.
struct TModalDriver {
    bool TimedOut = false;
    QWidget* Seen = nullptr;

    explicit TModalDriver(std::function<void(QWidget* Modal)> Act)
    {
        QTimer::singleShot(50, &Guard, [this, Act] {
            Seen = QApplication::activeModalWidget();
            if (Seen) Act(Seen);
        });
        QTimer::singleShot(5000, &Guard, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                TimedOut = true;
                modal->close();
                if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->done(0);
            }
        });
    }

private:
    QObject Guard;
};

class CommWindowTest : public ::testing::Test {
protected:
    TSimUdpHost Host;
    std::unique_ptr<TDataManager> Manager = LoadDeviceMapping("");
    std::unique_ptr<TWatchedView> View = std::make_unique<TWatchedView>(nullptr);
    std::unique_ptr<TfDataSender> Sender;

    TSimDevice& AddDevice(const std::string& ip = kDeviceIP, const TSimKnobs& knobs = {})
    {
        return Host.AddDevice(SimTextToMAC(kDeviceMAC), SimTextToIP(ip), knobs);
    }

    void Start(std::int32_t answerTimeout)
    {
        Host.Start();
        Sender = std::make_unique<TfDataSender>(*View, Manager.get());
        Sender->DevicePort = Host.Port();
        Sender->BroadcastIP = kLoopbackBroadcast;
        Sender->AnswerTimeout = answerTimeout;
    }

    TDataSenderDialog& Window() const { return *View->Dialog(); }
};

} // namespace

TEST_F(CommWindowTest, WindowIsTheDesignedToolWindowHiddenUntilTheFirstStatus)
{
    Start(200);
    TDataSenderDialog& window = Window();
    EXPECT_EQ(window.objectName(), "fDataSender");
    EXPECT_EQ(window.windowTitle(), "Komunikace...");
    EXPECT_EQ(window.size(), QSize(428, 77));
    EXPECT_TRUE(window.windowFlags() & Qt::Tool);
    EXPECT_FALSE(window.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint));
    EXPECT_FALSE(window.isVisible());
    // As designed: the animation and an empty progress bar, no picture, no button.
    const TShown atStart = TShown::Of(window);
    EXPECT_TRUE(atStart.Anim && atStart.Progress && !atStart.Picture && !atStart.Button);
    EXPECT_EQ(atStart.Position, 0);
    EXPECT_FALSE(window.Anim->Active());
    EXPECT_TRUE(window.cmdOK->isDefault());
    EXPECT_EQ(window.findChild<QObject*>("ImageList1"), window.ImageList1);

    Sender->SetSearchMode();
    ASSERT_TRUE(window.isVisible());
    const QRect screen = window.screen()->availableGeometry();
    // Centred up to the rounding of halves and the frame that a platform may add.
    EXPECT_LE(std::abs(window.frameGeometry().center().x() - screen.center().x()), 3);
    EXPECT_LE(std::abs(window.frameGeometry().center().y() - screen.center().y()), 3);
}

TEST_F(CommWindowTest, RecordExchangeShowsEveryStatusAndPositionInTheExchangeLook)
{
    AddDevice();
    Start(3500);
    ASSERT_EQ(Sender->QueryRecords(kDeviceIP), 1);
    EXPECT_EQ(View->Statuses(), (std::vector<QString>{"Předávám požadavek na data...",
                                                      "Předávám požadavek na záznam č.1 z 1...",
                                                      "1 z 1 záznam(ů) přijato."}));
    ASSERT_EQ(View->AtPumps.size(), 3u);
    EXPECT_EQ(View->AtPumps[0].Position, 0);
    EXPECT_EQ(View->AtPumps[1].Position, 100);
    EXPECT_EQ(View->AtPumps[2].Position, 100);
    for (const TShown& shown : View->AtPumps) {
        EXPECT_TRUE(shown.Visible);
        EXPECT_TRUE(shown.ExchangeLook());
    }
    EXPECT_FALSE(Window().imgSit->pixmap().isNull()) << "the network picture";

    View->AtPumps.clear();
    ASSERT_EQ(Sender->SendRecords(kDeviceIP), 1);
    EXPECT_EQ(View->AtPumps.front().Position, 0) << "a new exchange starts from 0";
    EXPECT_EQ(Window().lblCaption->text(), "Záznam uložen.");
    EXPECT_EQ(Window().Progressbar->value(), 100);
}

TEST_F(CommWindowTest, AnimationRunsWhileASilentSearchWaits)
{
    AddDevice(kDeviceIP, {.Silent = true});
    Start(600);
    std::set<int> frames;
    int ticks = 0;
    const TEvery sample(20, [&] {
        ++ticks;
        if (Window().Anim->Active()) frames.insert(Window().Anim->Frame());
    });
    const auto start = TClock::now();
    EXPECT_EQ(Sender->SearchByIP(kDeviceIP), "");
    const long long elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 700);

    // The engine served the window once before its wait; timers ran all through the wait.
    ASSERT_EQ(View->AtPumps.size(), 1u);
    EXPECT_TRUE(View->AtPumps[0].SearchLook());
    EXPECT_EQ(View->AtPumps[0].Status, "Vyhledávám zařízení 127.0.0.1...");
    EXPECT_GE(ticks, elapsed / 20 / 2);
    EXPECT_GE(frames.size(), 5u) << "the animation's frames advanced while the engine waited";

    EXPECT_FALSE(Window().Anim->Active());
    EXPECT_EQ(Window().Anim->Frame(), TSearchAnimation::StopFrame);
    EXPECT_TRUE(TShown::Of(Window()).SearchLook());
}

TEST_F(CommWindowTest, EscOrACloseRequestStopsWaitingForTheDeviceAtOnceAndTheWindowStays)
{
    Start(TfDataSender::kDefaultAnswerTimeout);
    const std::vector<std::function<void()>> requests{[this] { Type(&Window(), Qt::Key_Escape); },
                                                      [this] { Window().close(); }};
    for (const auto& request : requests) {
        QTimer::singleShot(300, &Window(), request);
        const auto start = TClock::now();
        EXPECT_THROW(Sender->WaitForDevice(kDeviceMAC), EOperationCancelled);
        EXPECT_LT(MillisecondsSince(start), 300 + 150);
        EXPECT_EQ(Sender->AnswerTimeout, TfDataSender::kDefaultAnswerTimeout);
        EXPECT_TRUE(Window().isVisible()) << "only the notice closes the window";
        EXPECT_TRUE(View->CancelRequested());

        View = std::make_unique<TWatchedView>(nullptr);
        Sender = std::make_unique<TfDataSender>(*View, nullptr);
        Sender->DevicePort = Host.Port();
        Sender->BroadcastIP = kLoopbackBroadcast;
        EXPECT_FALSE(View->CancelRequested());
    }
}

TEST_F(CommWindowTest, EscDuringASearchStopsItAtOnceAndOtherWindowsGetNoInputMeanwhile)
{
    AddDevice(kDeviceIP, {.Silent = true});
    Start(TfDataSender::kDefaultAnswerTimeout);
    QLineEdit other;
    other.show();
    QTimer::singleShot(150, &other, [&] { QTest::keyClick(&other, Qt::Key_A); });
    QTimer::singleShot(300, &Window(), [this] { Type(&Window(), Qt::Key_Escape); });
    const auto start = TClock::now();
    EXPECT_THROW(Sender->SearchByIP(kDeviceIP), EOperationCancelled);
    EXPECT_LT(MillisecondsSince(start), 300 + 150) << "not at the end of the 3.5 s search";
    EXPECT_TRUE(other.text().isEmpty()) << "a key for another window during the wait";
}

TEST_F(CommWindowTest, StopDuringAnAssignmentThroughTheARPEntryRemovesItAndRestoresTheTimeOut)
{
    TARPMemoryBackend arp;
    arp.AddAddress("127.0.0.1", "255.255.255.0", 1);
    arp.AddNeighbour("127.0.0.254", "02-00-00-00-00-fe", MIB_IPNET_TYPE_DYNAMIC, 1);
    const TScopedIPHelper scope(arp.Loader());
    const std::vector<MIB_IPNETROW> before = arp.Neighbours;
    const char* const foreignIP = "127.0.2.9";
    TSimDevice& device = AddDevice(foreignIP, {.Silent = true});
    Start(300);

    // Outside the subnets: go on; not found: try it anyway.
    TScriptedBoxes boxes;
    boxes.Answers = {TMessageAnswer::Yes, TMessageAnswer::Yes};
    bool entryWasThere = false;
    const TEvery user(20, [&] {
        if (Window().lblCaption->text() == "Čekám na zařízení..." && !View->CancelRequested()) {
            entryWasThere = arp.Neighbours.size() == before.size() + 1;
            Type(&Window(), Qt::Key_Escape);
        }
    });
    const auto start = TClock::now();
    EXPECT_THROW(Sender->AssignIP(kDeviceMAC, foreignIP, 0, "0.0.0.0"), EOperationCancelled);
    // The search for the device took its 0.4 s; the wait at the new address ended at once.
    EXPECT_LT(MillisecondsSince(start), 400 + 300);

    EXPECT_TRUE(entryWasThere);
    ASSERT_EQ(arp.Neighbours.size(), before.size());
    EXPECT_EQ(std::memcmp(arp.Neighbours.data(), before.data(), before.size() * sizeof(MIB_IPNETROW)), 0);
    EXPECT_EQ(Sender->AnswerTimeout, 300);
    EXPECT_EQ(device.PayloadsWithCode(0xFD).size(), 3u);

    // Both questions were asked over the window with No as their default.
    ASSERT_EQ(boxes.Shown.size(), 2u);
    EXPECT_EQ(boxes.Shown[0].Caption, "Varování");
    EXPECT_EQ(boxes.Shown[0].Icon, QMessageBox::Warning);
    EXPECT_EQ(boxes.Shown[0].Default, QMessageBox::No);
    EXPECT_EQ(boxes.Shown[1].Caption, "Zařízení nebylo nalezeno");
    EXPECT_EQ(boxes.Shown[1].Buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(boxes.Shown[1].Default, QMessageBox::No);
    EXPECT_TRUE(boxes.Shown[1].Text.contains(") nebylo nalezeno!\nPokud jste si jisti"));
    EXPECT_FALSE(boxes.Shown[1].Text.contains('\r'));
}

TEST_F(CommWindowTest, NoticeClosesOnEnterEscAndItsButton)
{
    const std::vector<std::pair<const char*, std::function<void(TDataSenderDialog&)>>> presses{
        {"Enter", [](TDataSenderDialog& w) { Type(&w, Qt::Key_Return); }},
        {"Esc", [](TDataSenderDialog& w) { Type(&w, Qt::Key_Escape); }},
        {"click", [](TDataSenderDialog& w) { QTest::mouseClick(w.cmdOK, Qt::LeftButton); }},
    };
    for (const auto& [name, press] : presses) {
        SCOPED_TRACE(name);
        View = std::make_unique<TWatchedView>(nullptr);
        Sender = std::make_unique<TfDataSender>(*View, nullptr);
        TDataSenderDialog* window = View->Dialog();
        TShown shown;
        const TModalDriver driver([&](QWidget* modal) {
            EXPECT_EQ(modal, window);
            shown = TShown::Of(*window);
            press(*window);
        });
        Sender->ShowNotice("Zařízení nebylo nalezeno!\r\nZkontrolujte zapojení.", "OK", TMessageIcon::Error);
        EXPECT_FALSE(driver.TimedOut);
        EXPECT_EQ(driver.Seen, window) << "the notice was modal";
        EXPECT_TRUE(shown.Visible);
        EXPECT_TRUE(shown.NoticeLook());
        EXPECT_EQ(shown.Status, "Zařízení nebylo nalezeno!\nZkontrolujte zapojení.");
        EXPECT_EQ(window->imgSit->pixmap().toImage(), RenderPicture(TNoticePicture::Error).toImage());
        EXPECT_FALSE(window->isVisible()) << "the window closed with the notice";
        EXPECT_FALSE(View->CancelRequested()) << "closing the notice is no request to stop";
    }
}

TEST_F(CommWindowTest, NoticeShowsThePictureOfItsIconAndKeepsTheStatusWhenGivenNoText)
{
    TScriptedNotices notices;
    const std::vector<std::pair<TMessageIcon, TNoticePicture>> pictures{
        {TMessageIcon::Information, TNoticePicture::Information},
        {TMessageIcon::Warning, TNoticePicture::Warning},
        {TMessageIcon::Error, TNoticePicture::Error},
        {TMessageIcon::Question, TNoticePicture::Question}};
    for (const auto& [icon, picture] : pictures) {
        View = std::make_unique<TWatchedView>(nullptr);
        Sender = std::make_unique<TfDataSender>(*View, Manager.get());
        // Mid-exchange, with the network picture and a running animation before.
        View->SetLook(TSenderLook::Exchange);
        View->SetStatus("Předávám požadavek na data...");
        View->SetAnimation(true);
        Sender->ShowNotice("", "Zavřít", icon);
        ASSERT_FALSE(notices.Shown.empty());
        const auto& notice = notices.Shown.back();
        EXPECT_EQ(notice.Shown.Status, "Předávám požadavek na data...");
        EXPECT_EQ(notice.ButtonCaption, "Zavřít");
        EXPECT_TRUE(notice.Shown.NoticeLook());
        EXPECT_EQ(notice.Picture, Window().ImageList1->Picture(picture).toImage()) << static_cast<int>(icon);
        EXPECT_FALSE(Window().Anim->Active());
    }
    EXPECT_EQ(Window().ImageList1->Picture(TNoticePicture::Warning).toImage(),
              RenderPicture(TNoticePicture::Warning).toImage()) << "image 1 of the list is the warning";

    Sender->ShowNoticeWindow("Nastavení zařízení se nezdařilo.", "OK", TMessageIcon::Warning);
    EXPECT_EQ(notices.Shown.back().Shown.Status, "Nastavení zařízení se nezdařilo.");
    EXPECT_EQ(notices.Shown.back().Picture, RenderPicture(TNoticePicture::Warning).toImage());
}

TEST(CommWindowBoxes, EnterPressesTheDefaultButtonAndEscOrClosingGivesCancel)
{
    struct TCase {
        TMessageButtons Buttons;
        TMessageAnswer Default;
        std::function<void(QWidget*)> Act;
        TMessageAnswer Expected;
    };
    const auto enter = [](QWidget* box) { Type(box, Qt::Key_Return); };
    const auto esc = [](QWidget* box) { Type(box, Qt::Key_Escape); };
    const auto close = [](QWidget* box) { box->close(); };
    const auto clickYes = [](QWidget* box) {
        static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
    };
    const std::vector<TCase> cases{
        {TMessageButtons::YesNo, TMessageAnswer::No, enter, TMessageAnswer::No},
        {TMessageButtons::YesNo, TMessageAnswer::Yes, enter, TMessageAnswer::Yes},
        {TMessageButtons::YesNo, TMessageAnswer::No, clickYes, TMessageAnswer::Yes},
        {TMessageButtons::YesNo, TMessageAnswer::Yes, esc, TMessageAnswer::Cancel},
        {TMessageButtons::YesNo, TMessageAnswer::Yes, close, TMessageAnswer::Cancel},
        {TMessageButtons::RetryCancel, TMessageAnswer::Retry, enter, TMessageAnswer::Retry},
        {TMessageButtons::RetryCancel, TMessageAnswer::Cancel, enter, TMessageAnswer::Cancel},
        {TMessageButtons::RetryCancel, TMessageAnswer::Retry, esc, TMessageAnswer::Cancel},
        {TMessageButtons::OK, TMessageAnswer::OK, enter, TMessageAnswer::OK},
        // A default that is not among the buttons leaves the first one the default.
        {TMessageButtons::YesNo, TMessageAnswer::OK, enter, TMessageAnswer::Yes},
    };
    QWidget owner;
    TQtMessageBoxView view(&owner);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const TModalDriver driver([&](QWidget* box) {
            EXPECT_EQ(box->parentWidget(), &owner);
            cases[i].Act(box);
        });
        const TMessageAnswer answer = view.MessageBox(
            {"Varování", "Chcete pokračovat?", cases[i].Buttons, TMessageIcon::Warning, cases[i].Default});
        EXPECT_FALSE(driver.TimedOut);
        EXPECT_EQ(answer, cases[i].Expected);
    }
}

TEST(CommWindowBoxes, IconButtonsAndLineBreaksAsTheEngineAsks)
{
    TScriptedBoxes boxes;
    boxes.Answers = {TMessageAnswer::Retry};
    TQtDataSenderView view(nullptr);
    EXPECT_EQ(view.MessageBox({"", "Zařízení nebylo nalezeno!\r\nZkontrolujte <MAC> & zapojení.",
                               TMessageButtons::RetryCancel, TMessageIcon::Warning, TMessageAnswer::Retry}),
              TMessageAnswer::Retry);
    EXPECT_EQ(view.MessageBox({"ZAN", "Chyba", TMessageButtons::OK, TMessageIcon::Error, TMessageAnswer::OK}),
              TMessageAnswer::Cancel) << "the script ran dry";
    view.MessageBox({"", "Chcete toto zařízení nastavit?", TMessageButtons::YesNo, TMessageIcon::Question,
                     TMessageAnswer::Yes});
    view.MessageBox({"Upozornění", "a", TMessageButtons::YesNo, TMessageIcon::Information, TMessageAnswer::No});
    ASSERT_EQ(boxes.Shown.size(), 4u);
    EXPECT_EQ(boxes.Shown[0].Text, "Zařízení nebylo nalezeno!\nZkontrolujte <MAC> & zapojení.");
    EXPECT_EQ(boxes.Shown[0].Buttons, QMessageBox::Retry | QMessageBox::Cancel);
    EXPECT_EQ(boxes.Shown[0].Default, QMessageBox::Retry);
    EXPECT_EQ(boxes.Shown[1].Caption, "ZAN");
    EXPECT_EQ(boxes.Shown[1].Icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.Shown[1].Buttons, QMessageBox::Ok);
    EXPECT_EQ(boxes.Shown[2].Icon, QMessageBox::Question);
    EXPECT_EQ(boxes.Shown[2].Default, QMessageBox::Yes);
    EXPECT_EQ(boxes.Shown[3].Icon, QMessageBox::Information);
    EXPECT_EQ(boxes.Shown[3].Default, QMessageBox::No);
}

TEST(CommWindowLife, WindowGoesOnceControlIsBackInTheEventLoopAndTellsSo)
{
    int destroyed = 0;
    QPointer<TDataSenderDialog> window;
    {
        auto view = std::make_unique<TQtDataSenderView>(nullptr);
        TfDataSender sender(*view, nullptr);
        window = view->Dialog();
        QObject::connect(window, &QObject::destroyed, [&] { ++destroyed; });
        sender.SetSearchMode();
        EXPECT_TRUE(window->isVisible());
        sender.Close();
        EXPECT_FALSE(window->isVisible());
        sender.SetExchangeMode("");
        EXPECT_FALSE(window->isVisible()) << "a closed window does not come back";
        sender.Close();
    }
    ASSERT_TRUE(window) << "deletion waits for the event loop";
    EXPECT_EQ(destroyed, 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
    EXPECT_EQ(destroyed, 1);
}

TEST(CommWindowLife, WindowGoneWithItsOwnerStopsTheOperation)
{
    auto owner = std::make_unique<QWidget>();
    TWatchedView view(owner.get());
    TfDataSender sender(view, nullptr);
    EXPECT_EQ(view.Dialog()->parentWidget(), owner.get());
    sender.SetSearchMode();
    owner.reset();
    EXPECT_EQ(view.Dialog(), nullptr);
    EXPECT_TRUE(view.CancelRequested());
    // The engine goes on harmlessly until it asks, then stops.
    EXPECT_THROW(sender.SearchByIP("127.0.0.1"), EOperationCancelled);
    sender.ShowNotice("Chyba", "OK", TMessageIcon::Error);
}

TEST(CommWindowController, ControllerRunsItsCommandsInQtWindowsOfItsOwner)
{
    TSimUdpHost host;
    host.AddDevice(SimTextToMAC(kDeviceMAC), SimTextToIP("127.0.0.4"));
    host.Start();
    TARPMemoryBackend network;
    network.AddAddress("127.0.0.1", "255.0.0.0", 1);
    const TScopedIPHelper scope(network.Loader());
    std::unique_ptr<TDataManager> manager = LoadDeviceMapping("");
    QWidget mainWindow;
    TQtMessageBoxView mainView(&mainWindow);
    TDeviceController controller(*manager, mainView, QtDataSenderViews(&mainWindow));
    controller.Link.DevicePort = host.Port();
    controller.Link.BroadcastIP = kLoopbackBroadcast;
    controller.Link.AnswerTimeout = 200;
    TScriptedNotices notices;

    std::vector<TDataSenderDialog*> windowsSeen;
    const TEvery watch(5, [&] {
        for (auto* window : mainWindow.findChildren<TDataSenderDialog*>())
            if (window->isVisible() && std::ranges::find(windowsSeen, window) == windowsSeen.end())
                windowsSeen.push_back(window);
    });
    ASSERT_TRUE(controller.FindByIP(StrToIP("127.0.0.4")));
    EXPECT_TRUE(controller.DeviceLoaded);
    EXPECT_EQ(windowsSeen.size(), 1u) << "one window of the main window for the command";
    EXPECT_TRUE(notices.Shown.empty());

    EXPECT_FALSE(controller.FindByIP(StrToIP("127.0.0.6")));
    ASSERT_EQ(notices.Shown.size(), 1u);
    EXPECT_EQ(notices.Shown[0].Shown.Status, "Zařízení nebylo nalezeno");
    EXPECT_EQ(notices.Shown[0].Picture, RenderPicture(TNoticePicture::Error).toImage());

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(mainWindow.findChildren<TDataSenderDialog*>().empty()) << "every window went after its command";
}
