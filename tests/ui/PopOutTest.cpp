// The bigger player: a movie of the list in a window of its own at its stage size, with the
// same player and the same cache as the preview. The real window, offscreen, Ruffle playing.
#include <QApplication>
#include <QPointer>
#include <QScreen>

#include <cmath>

#include "PlayerHarness.h"
#include "ui/PopOutPlayer.h"

namespace pellimor {

namespace {

using namespace test;

// Whether the player's picture changes within ms: a movie that plays moves its square.
bool Moves(QWidget* player, int ms = 600) {
    const QImage before = Grab(player);
    RunFor(ms);
    return Grab(player) != before;
}

void DoubleClick(QListView* list, int row) {
    const QRect line = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, line.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, line.center());
}

// Closes the window as the user does; whether it and its player are gone.
bool Closed(CMovieDlg& dialog) {
    QPointer<PopOutPlayer> window(dialog.popOut());
    if (!window->close()) {
        return false;
    }
    // The test runs outside the program's event loop, which would delete it on its next turn.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return window.isNull() && dialog.popOut() == nullptr;
}

}  // namespace

class PopOutTest : public QObject {
    Q_OBJECT
  private slots:
    void windowSizeForAStage();
    void doubleClickPlaysTheMovieAtItsStageSize();
    void theMenuEntryPlaysTheLineUnderItWhileThePreviewWaits();
    void bothPlayersPlayWithOneReadingOfTheCacheAndThePages();
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
    Shown s;
    const int rocket = s.h.Row(QStringLiteral("rocket"));
    QVERIFY(rocket >= 0);
    DoubleClick(s.h.List(), rocket);
    PopOutPlayer* window = s.dialog.popOut();
    QVERIFY(window != nullptr);
    // It stands before the dialog, which waits until it is closed.
    QCOMPARE(QApplication::activeModalWidget(), window);
    QVERIFY(window->windowTitle().startsWith(QLatin1String("rocket")));
    // The same file, through the same cache's checks, as the preview plays.
    CFlash_ctrl* player = window->player();
    QCOMPARE(player->movie(), s.flash->movie());
    QVERIFY(player->hasPlayer());
    Events events(player);
    QVERIFY(events.WaitFor(QStringLiteral("frame"), player));
    // The rocket's stage is 400 x 300: the window takes it, the player fills it.
    QVERIFY(RunUntil([&] { return window->size() == QSize(400, 300); }));
    QCOMPARE(window->stage(), QSizeF(400, 300));
    QCOMPARE(player->geometry(), QRect(0, 0, 400, 300));
    QVERIFY(WaitForColour(window, kRocket));
    Screenshot(window, "pop-out");
    // A stage the page makes up, or an earlier movie's, does not size the window.
    const auto tell = [&](int load, const char* width, const char* height) {
        QUrlQuery fields;
        fields.addQueryItem(QStringLiteral("width"), QLatin1String(width));
        fields.addQueryItem(QStringLiteral("height"), QLatin1String(height));
        emit player->pageEvent(QStringLiteral("metadata"), load, fields);
    };
    const int load = player->currentLoad();
    const char* const madeUp[][2] = {{"0", "300"},       {"-5", "300"},   {"NaN", "300"},
                                     {"Infinity", "10"}, {"abc", "300"},  {"", ""},
                                     {"1e308", "300"},   {"99999", "300"}};
    for (const auto& size : madeUp) {
        tell(load, size[0], size[1]);
        QCOMPARE(window->size(), QSize(400, 300));
        QCOMPARE(window->stage(), QSizeF(400, 300));
    }
    tell(load - 1, "200", "100");
    QCOMPARE(window->size(), QSize(400, 300));
    // Resized, it keeps the stage's proportions: the player centred, bars beside it.
    window->resize(800, 450);
    QCOMPARE(player->geometry(), QRect(100, 0, 600, 450));
    window->resize(300, 500);
    const QRect upright = player->geometry();
    QCOMPARE(upright.size(), QSize(300, 225));
    QVERIFY(std::abs(upright.center().y() - 250) <= 1);
    QVERIFY(RunUntil([&] {
        const QImage shot = Grab(window);
        return CountNear(shot, kRocket) >= kSquare / 2 && QColor(shot.pixel(150, 5)) == Qt::black;
    }));
    QCOMPARE(player->blockedRequests(), 0);
    // The largest stage Flash allows still fits on the screen, its proportions kept.
    tell(load, "8000", "2000");
    const QSize screen = window->screen()->availableGeometry().size();
    QVERIFY(window->width() <= screen.width() && window->height() <= screen.height());
    QVERIFY(std::abs(window->width() - 4 * window->height()) <= 4);
    // Closing it returns to the dialog: the window and its player are gone.
    QVERIFY(Closed(s.dialog));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(s.dialog.isVisible());
    QVERIFY(s.h.Select(QStringLiteral("snake")));
    QVERIFY(s.flash->movie().contains(QLatin1String("snake")));
}

// A right click on a line makes it the current one, whose movie the menu entry plays. One sound
// at a time: while the pop-out plays, the preview holds its movie where it is, and goes on once
// the pop-out is closed.
void PopOutTest::theMenuEntryPlaysTheLineUnderItWhileThePreviewWaits() {
    Shown s;
    QAction* entry = s.h.MenuEntry(strings::kPlayInWindow);
    QVERIFY(entry != nullptr);
    QCOMPARE(entry->text(), QStringLiteral("Ayrı Pencerede Oynat"));
    QVERIFY(s.h.Select(QStringLiteral("rocket")));
    QVERIFY(WaitForColour(s.flash, kRocket, 300));
    QVERIFY(RunUntil([&] { return Moves(s.flash); }));
    const int snake = s.h.Row(QStringLiteral("snake"));
    const QRect line = s.h.List()->visualRect(s.h.List()->model()->index(snake, 0));
    QTest::mouseClick(s.h.List()->viewport(), Qt::RightButton, {}, line.center());
    QCOMPARE(s.h.List()->currentIndex().row(), snake);
    entry->trigger();
    PopOutPlayer* window = s.dialog.popOut();
    QVERIFY(window != nullptr);
    QVERIFY(window->player()->movie().contains(QLatin1String("snake")));
    QVERIFY(WaitForColour(window, kSnake));
    QVERIFY(RunUntil([&] { return !Moves(s.flash); }, 20000));
    QVERIFY(!Moves(s.flash, 2000));
    QVERIFY(RunUntil([&] { return Moves(window); }));
    // Asked again with another line, the same window plays that one; the preview still waits.
    s.h.List()->setCurrentIndex(s.h.List()->model()->index(s.h.Row(QStringLiteral("rocket")), 0));
    entry->trigger();
    QCOMPARE(s.dialog.popOut(), window);
    QVERIFY(window->player()->movie().contains(QLatin1String("rocket")));
    QVERIFY(WaitForColour(window, kRocket));
    QVERIFY(RunUntil([&] { return !Moves(s.flash); }, 20000));
    QVERIFY(!Moves(s.flash, 1500));
    QVERIFY(window->close());
    QVERIFY(RunUntil([&] { return Moves(s.flash); }, 20000));
}

// The preview and the pop-out play the demo puzzle with its page's parameter and the level it
// names, found in one reading of the cache and one of the pages, kept until a refresh lists
// the cache again.
void PopOutTest::bothPlayersPlayWithOneReadingOfTheCacheAndThePages() {
    Shown s;
    const int main = s.h.Row(QStringLiteral("main"));
    QVERIFY(main >= 0);
    // The preview plays it and loads its level, then the pop-out (while the preview waits).
    s.h.Select({main});
    QVERIFY(WaitForColour(s.flash, kLevel, 500));
    Screenshot(&s.dialog, "player");
    DoubleClick(s.h.List(), main);
    PopOutPlayer* window = s.dialog.popOut();
    QVERIFY(window != nullptr);
    // The level its page's parameter names, against its page's base.
    QVERIFY(WaitForColour(window, kLevel, 1000));
    QVERIFY(CountNear(Grab(window), kPuzzle) >= kSquare);
    QCOMPARE(window->player()->blockedRequests(), 0);
    QCOMPARE(window->player()->addresses().get(), s.flash->addresses().get());
    QCOMPARE(s.flash->addresses()->builds(), 1);
    QCOMPARE(window->player()->pages(), s.flash->pages());
    QCOMPARE(s.flash->pages()->builds(), 1);
    QVERIFY(Closed(s.dialog));
    s.dialog.OnRefresh();
    QCOMPARE(s.flash->addresses()->builds(), 1);  // read on the next load, not before
    DoubleClick(s.h.List(), s.h.Row(QStringLiteral("main")));
    QVERIFY(s.dialog.popOut() != nullptr);
    QVERIFY(WaitForColour(s.dialog.popOut(), kLevel, 1000));
    QCOMPARE(s.flash->addresses()->builds(), 2);
    QCOMPARE(s.flash->pages()->builds(), 2);
    s.dialog.popOut()->close();
}

int RunPopOutTests(int argc, char** argv) {
    PopOutTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace pellimor

#include "PopOutTest.moc"
