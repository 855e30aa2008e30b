// The bigger player: a movie of the list in a window of its own at its stage size, with the
// same player and the same cache as the preview. The real window, offscreen, Ruffle playing.
#include <QApplication>
#include <QListView>
#include <QMenu>

#include <cmath>
#include <functional>

#include "ColourCount.h"
#include "EventLoop.h"
#include "resources/Strings.h"
#include "ui/DialogHarness.h"
#include "ui/PopOutPlayer.h"
#include "ui/QtText.h"
#include "ui/player/PlayerScheme.h"

namespace pellimor {

namespace {

using test::RunUntil;

using test::CountNear;

QImage Shot(QWidget* window) {
    return window->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The demo movies' colours: their moving squares.
constexpr QRgb kRocket = 0xE03C31;
constexpr QRgb kSnake = 0x2E8B57;
constexpr QRgb kPuzzle = 0xC71585;
constexpr QRgb kLevel = 0x20B2AA;  // the level the puzzle loads by relative address
constexpr int kSquare = 3000;

// Counts the page's frames of the movie set last in the pop-out.
struct Frames {
    int load = -1;
    int seen = 0;
    explicit Frames(PopOutPlayer* window) {
        QObject::connect(window->player(), &CFlash_ctrl::pageEvent, window,
                         [this](const QString& name, int l, const QUrlQuery&) {
                             if (name == QLatin1String("frame") && l == load) {
                                 ++seen;
                             }
                         });
    }
};

// Whether the player's picture changes within ms: a movie that plays moves its square.
bool Moves(QWidget* player, int ms = 600) {
    const QImage before = Shot(player);
    test::RunFor(ms);
    return Shot(player) != before;
}

void DoubleClick(QListView* list, int row) {
    const QRect line = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, line.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, line.center());
}

QAction* PlayInWindowEntry(QListView* list) {
    for (QAction* action : list->actions()) {
        if (action->text() == Q(strings::kPlayInWindow)) {
            return action;
        }
    }
    return nullptr;
}

}  // namespace

class PopOutTest : public QObject {
    Q_OBJECT
  private slots:
    void windowSizeForAStage();
    void doubleClickPlaysTheMovieAtItsStageSize();
    void contextMenuEntryPlaysTheLineUnderIt();
    void aStageThePageMakesUpDoesNotSizeTheWindow();
    void whatTheMovieLoadsComesFromTheCache();
    void bothPlayersLookUpLoadsInOneReadingOfTheCache();
    void thePreviewWaitsWhileThePopOutPlays();
};

void PopOutTest::windowSizeForAStage() {
    const QSize fallback(550, 400);
    const QSize screen(720, 540);
    const double nan = std::nan("");
    const struct {
        QSizeF stage;
        QSize expected;
    } cases[] = {
        {{400, 300}, {400, 300}},     // fits: the stage itself
        {{720, 540}, {720, 540}},     // just fits
        {{1600, 1200}, {720, 540}},   // too big: smaller, the proportions kept
        {{2000, 500}, {720, 180}},    // too wide
        {{300, 5000}, {32, 540}},     // too high
        {{65535, 1}, {720, 1}},       // never less than a pixel
        {{0, 300}, fallback},         // no size: the window keeps its own
        {{-400, 300}, fallback},      //
        {{nan, 300}, fallback},       //
        {{400, INFINITY}, fallback},  //
    };
    for (const auto& c : cases) {
        QCOMPARE(StageWindowSize(c.stage, screen, fallback), c.expected);
    }
}

void PopOutTest::doubleClickPlaysTheMovieAtItsStageSize() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    dialog.show();
    const int rocket = h.Row(QStringLiteral("rocket"));
    QVERIFY(rocket >= 0);
    DoubleClick(h.List(), rocket);
    PopOutPlayer* window = dialog.popOut();
    QVERIFY(window != nullptr);
    QVERIFY(window->isVisible());
    QVERIFY(window->isWindow());
    // It stands before the dialog, which waits until it is closed.
    QCOMPARE(QApplication::activeModalWidget(), window);
    QVERIFY(window->windowTitle().startsWith(QLatin1String("rocket")));
    // The same file, through the same cache's checks, as the preview plays.
    auto* preview = static_cast<CFlash_ctrl*>(dialog.Control(kIdPlayer));
    QCOMPARE(window->player()->movie(), preview->movie());
    QVERIFY(window->player()->hasPlayer());
    Frames frames(window);
    frames.load = window->player()->currentLoad();
    QVERIFY(RunUntil([&] { return frames.seen > 0; }));
    // The rocket's stage is 400 x 300: the window takes it, the player fills it.
    QVERIFY(RunUntil([&] { return window->size() == QSize(400, 300); }));
    QCOMPARE(window->stage(), QSizeF(400, 300));
    QCOMPARE(window->player()->geometry(), QRect(0, 0, 400, 300));
    QVERIFY(RunUntil([&] { return CountNear(Shot(window), kRocket) >= kSquare; }));
    const QString out = qEnvironmentVariable("PELLIMOR_POPOUT_SCREENSHOT");
    if (!out.isEmpty()) {
        QVERIFY(window->grab().save(out));
    }
    // Resized, it keeps the stage's proportions: the player centred, bars beside it.
    window->resize(800, 450);
    QCOMPARE(window->player()->geometry(), QRect(100, 0, 600, 450));
    window->resize(300, 500);
    const QRect upright = window->player()->geometry();
    QCOMPARE(upright.size(), QSize(300, 225));
    QVERIFY(std::abs(upright.center().y() - 250) <= 1);
    QVERIFY(RunUntil([&] {
        const QImage shot = Shot(window);
        return CountNear(shot, kRocket) >= kSquare / 2 && QColor(shot.pixel(150, 5)) == Qt::black;
    }));
    QVERIFY(window->player()->blockedRequests() == 0);
    // Closing it returns to the dialog: the window and its player are gone.
    QPointer<PopOutPlayer> gone(window);
    QVERIFY(window->close());
    // The test runs outside the program's event loop, which would delete it on its next turn.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(gone.isNull());
    QVERIFY(dialog.popOut() == nullptr);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(dialog.isVisible());
    h.Select({h.Row(QStringLiteral("snake"))});
    QVERIFY(preview->movie().contains(QLatin1String("snake")));
}

void PopOutTest::contextMenuEntryPlaysTheLineUnderIt() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    dialog.show();
    QCOMPARE(h.List()->contextMenuPolicy(), Qt::ActionsContextMenu);
    QAction* entry = PlayInWindowEntry(h.List());
    QVERIFY(entry != nullptr);
    QCOMPARE(entry->text(), QStringLiteral("Ayrı Pencerede Oynat"));
    // A right click on a line makes it the current one, as for the menu.
    const int snake = h.Row(QStringLiteral("snake"));
    const QRect line = h.List()->visualRect(h.List()->model()->index(snake, 0));
    QTest::mouseClick(h.List()->viewport(), Qt::RightButton, {}, line.center());
    QCOMPARE(h.List()->currentIndex().row(), snake);
    entry->trigger();
    PopOutPlayer* window = dialog.popOut();
    QVERIFY(window != nullptr);
    QVERIFY(window->player()->movie().contains(QLatin1String("snake")));
    QVERIFY(RunUntil([&] { return CountNear(Shot(window), kSnake) >= kSquare; }));
    // Asked again with another line, the same window plays that one.
    h.List()->setCurrentIndex(h.List()->model()->index(h.Row(QStringLiteral("rocket")), 0));
    entry->trigger();
    QCOMPARE(dialog.popOut(), window);
    QVERIFY(window->player()->movie().contains(QLatin1String("rocket")));
    QVERIFY(RunUntil([&] { return CountNear(Shot(window), kRocket) >= kSquare; }));
    window->close();
}

void PopOutTest::aStageThePageMakesUpDoesNotSizeTheWindow() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    dialog.show();
    DoubleClick(h.List(), h.Row(QStringLiteral("rocket")));
    PopOutPlayer* window = dialog.popOut();
    QVERIFY(window != nullptr);
    QVERIFY(RunUntil([&] { return window->size() == QSize(400, 300); }));
    CFlash_ctrl* player = window->player();
    const auto tell = [&](int load, const char* width, const char* height) {
        QUrlQuery fields;
        fields.addQueryItem(QStringLiteral("width"), QLatin1String(width));
        fields.addQueryItem(QStringLiteral("height"), QLatin1String(height));
        emit player->pageEvent(QStringLiteral("metadata"), load, fields);
    };
    const int load = player->currentLoad();
    for (const auto& [width, height] :
         std::initializer_list<std::pair<const char*, const char*>>{{"0", "300"},
                                                                    {"-5", "300"},
                                                                    {"NaN", "300"},
                                                                    {"Infinity", "10"},
                                                                    {"abc", "300"},
                                                                    {"", ""},
                                                                    {"1e308", "300"},
                                                                    {"99999", "300"}}) {
        tell(load, width, height);
        QCOMPARE(window->size(), QSize(400, 300));
        QCOMPARE(window->stage(), QSizeF(400, 300));
    }
    tell(load - 1, "200", "100");  // an earlier movie's word
    QCOMPARE(window->size(), QSize(400, 300));
    // The largest stage Flash allows still fits on the screen, its proportions kept.
    tell(load, "8000", "2000");
    const QSize screen = window->screen()->availableGeometry().size();
    QVERIFY(window->width() <= screen.width() && window->height() <= screen.height());
    QVERIFY(std::abs(window->width() - 4 * window->height()) <= 4);
    window->close();
}

// The same rules as the preview: the movie plays under its address, and the level it loads
// is answered from the cache; nothing is asked of the network.
void PopOutTest::whatTheMovieLoadsComesFromTheCache() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    dialog.show();
    DoubleClick(h.List(), h.Row(QStringLiteral("main")));
    PopOutPlayer* window = dialog.popOut();
    QVERIFY(window != nullptr);
    QVERIFY(RunUntil([&] {
        const QImage shot = Shot(window);
        return CountNear(shot, kPuzzle) >= kSquare && CountNear(shot, kLevel) >= 1000;
    }));
    QCOMPARE(window->player()->blockedRequests(), 0);
    window->close();
}

// The preview and the pop-out find what their movies load in one reading of the cache, kept
// until a refresh lists the cache again.
void PopOutTest::bothPlayersLookUpLoadsInOneReadingOfTheCache() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    dialog.show();
    auto* preview = static_cast<CFlash_ctrl*>(dialog.Control(kIdPlayer));
    const int main = h.Row(QStringLiteral("main"));
    QVERIFY(main >= 0);
    // The preview plays it and loads its level, then the pop-out (while the preview waits).
    h.Select({main});
    QVERIFY(RunUntil([&] { return CountNear(Shot(preview), kLevel) >= 500; }));
    DoubleClick(h.List(), main);
    PopOutPlayer* window = dialog.popOut();
    QVERIFY(window != nullptr);
    QVERIFY(RunUntil([&] { return CountNear(Shot(window), kLevel) >= 1000; }));
    // One book, read once, for the two players' loads.
    QCOMPARE(window->player()->addresses().get(), preview->addresses().get());
    QCOMPARE(preview->addresses()->builds(), 1);
    QVERIFY(window->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(dialog.popOut() == nullptr);
    dialog.OnRefresh();
    QCOMPARE(preview->addresses()->builds(), 1);  // read on the next load, not before
    DoubleClick(h.List(), h.Row(QStringLiteral("main")));
    QVERIFY(dialog.popOut() != nullptr);
    QVERIFY(RunUntil([&] { return CountNear(Shot(dialog.popOut()), kLevel) >= 1000; }));
    QCOMPARE(preview->addresses()->builds(), 2);
    dialog.popOut()->close();
}

// One sound at a time: while the pop-out plays, the preview holds its movie where it is, and
// goes on once the pop-out is closed.
void PopOutTest::thePreviewWaitsWhileThePopOutPlays() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    dialog.show();
    auto* preview = static_cast<CFlash_ctrl*>(dialog.Control(kIdPlayer));
    h.Select({h.Row(QStringLiteral("rocket"))});
    QVERIFY(RunUntil([&] { return CountNear(Shot(preview), kRocket) >= 300; }));
    QVERIFY(RunUntil([&] { return Moves(preview); }));
    DoubleClick(h.List(), h.Row(QStringLiteral("rocket")));
    PopOutPlayer* window = dialog.popOut();
    QVERIFY(window != nullptr);
    QVERIFY(RunUntil([&] { return CountNear(Shot(window), kRocket) >= kSquare; }));
    QVERIFY(RunUntil([&] { return !Moves(preview); }, 20000));
    QVERIFY(!Moves(preview, 2000));
    QVERIFY(RunUntil([&] { return Moves(window); }));
    // Another movie asked of the same window: the preview still waits.
    h.List()->setCurrentIndex(h.List()->model()->index(h.Row(QStringLiteral("snake")), 0));
    PlayInWindowEntry(h.List())->trigger();
    QVERIFY(RunUntil([&] { return CountNear(Shot(window), kSnake) >= kSquare; }));
    QVERIFY(RunUntil([&] { return !Moves(preview); }, 20000));
    QVERIFY(!Moves(preview, 1500));
    QVERIFY(window->close());
    QVERIFY(RunUntil([&] { return Moves(preview); }, 20000));
}

}  // namespace pellimor

int main(int argc, char** argv) {
    pellimor::PrepareWebEngine();
    QApplication application(argc, argv);
    pellimor::PopOutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PopOutTest.moc"
