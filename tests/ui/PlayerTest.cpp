// The preview as the user meets it: the real window, offscreen, with Ruffle playing in the web
// view, on the demo cache, on caches real browsers made and on hostile pages. A movie plays
// with what its cached page gave it (flashvars, base address, size); colours are read off
// pictures of the preview.
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QWebEngineSettings>

#include <signal.h>
#include <unistd.h>

#include "PlayerHarness.h"
#include "app/SwfMaker.h"
#include "ui/PopOutPlayer.h"
#include "ui/player/PlayerScheme.h"

namespace pellimor {

namespace {

using namespace test;

const QString kLevelByPage =
    QStringLiteral("http://games.arcade.example/puzzle/levels/level1.swf?v=2");

// The demo's puzzle, whose level the page's "level" parameter names.
std::string PuzzleMovie() {
    MovieDesign design;
    design.background = 0xFFF0F5;
    design.shapeColour = kPuzzle & 0xFFFFFF;
    design.label = "page test";
    design.loadMovie = "levels/level1.swf";
    design.loadParameter = "level";
    return MakeSwfMovie(design);
}

QString Tip(Shown& s) {
    return s.dialog.Control(kIdAddress)->toolTip();
}

}  // namespace

class PlayerTest : public QObject {
    Q_OBJECT
  private slots:
    void selectingAMovieShowsItAndTheNextReplacesIt();
    void aLoadTheCacheCannotAnswerIsWhatThePageNamed();
    void aBrowsersCacheMovieGetsItsPagesFlashvarsAndBase();
    void thePagesSizeShapesThePlayers();
    void hostilePageValuesReachRuffleAsData();
    void nothingLeavesTheProcess();
    void aMovieIsAnsweredOnlyWhatIsItsOwn();
    void withoutRuffleTheWindowStillWorks();
    void keysAndNotesOverThePlayer();
    void theDemoPuzzleIsReadyToHandIn();
};

// The stored initial properties become Ruffle's options in the page; a movie selected shows,
// the next replaces it, and a player that crashed comes back with the movie it played.
void PlayerTest::selectingAMovieShowsItAndTheNextReplacesIt() {
    Shown s;
    QVERIFY(s.Play(QStringLiteral("rocket")));
    // The page took them: read back from Ruffle's configuration in the page.
    const QString config =
        Ask(s.flash->page(), QStringLiteral("JSON.stringify(window.RufflePlayer.config)"))
            .toString();
    for (const char* part :
         {"\"wmode\":\"window\"", "\"quality\":\"high\"", "\"scale\":\"showAll\"",
          "\"allowScriptAccess\":true", "\"backgroundColor\":\"#FFFFFF\"",
          "\"allowNetworking\":\"all\"", "\"upgradeToHttps\":false", "\"openUrlMode\":\"deny\""}) {
        QVERIFY2(config.contains(QLatin1String(part)), part);
    }
    QVERIFY(WaitForColour(s.flash, kRocket));
    const QImage shot = Grab(s.flash);
    QCOMPARE(CountNear(shot, 0xFFF4D6, 3), 0);  // the stored white, not the movie's background
    QCOMPARE(QColor(shot.pixel(2, 2)), QColor(Qt::white));
    Screenshot(&s.dialog, "window");

    QVERIFY(s.Play(QStringLiteral("snake")));
    QVERIFY(WaitForColour(s.flash, kSnake));
    QCOMPARE(CountNear(Grab(s.flash), kRocket), 0);

    const int load = s.flash->currentLoad();
    QCOMPARE(s.events.Count(QStringLiteral("frame"), load), 1);
    const qint64 renderer = s.flash->page()->renderProcessPid();
    QVERIFY(renderer > 0);
    QCOMPARE(::kill(static_cast<pid_t>(renderer), SIGKILL), 0);
    // The page again, the same movie.
    QVERIFY(RunUntil([&] { return s.events.Count(QStringLiteral("frame"), load) == 2; }));
    QVERIFY(WaitForColour(s.flash, kSnake));
}

// With the level's entry gone, what is missing is what the page's parameter named; the puzzle
// plays on without it, and the details keep what it asked for.
void PlayerTest::aLoadTheCacheCannotAnswerIsWhatThePageNamed() {
    Shown s(Deleted{"http://games.arcade.example/puzzle/levels/level1.swf"});
    QVERIFY(s.Play(QStringLiteral("main")));
    const int load = s.flash->currentLoad();
    QVERIFY(RunUntil([&] { return !s.events.Urls(QStringLiteral("missing"), load).isEmpty(); }));
    QCOMPARE(s.events.Urls(QStringLiteral("missing"), load), QStringList{kLevelByPage});
    QVERIFY(WaitForColour(s.flash, kPuzzle));
    QCOMPARE(CountNear(Grab(s.flash), kLevel), 0);
    QCOMPARE(s.flash->blockedRequests(), 0);
    QVERIFY(
        RunUntil([&] { return Tip(s).contains(QStringLiteral("1 missing:\n  ") + kLevelByPage); }));
}

// Chrome kept the page that embeds the puzzle: the puzzle, read through the cache (its bodies
// lie inside its own entry files), plays with that page's flashvars and base, and loads the
// level they name from the same cache.
void PlayerTest::aBrowsersCacheMovieGetsItsPagesFlashvarsAndBase() {
    Shown s(MadeCache{});
    QVERIFY(s.h.Select(QStringLiteral("puzzle")));
    const PageEvent* played = s.events.WaitFor(QStringLiteral("metadata"), s.flash);
    QVERIFY(played != nullptr);
    QCOMPARE(played->Field("movie"), QStringLiteral("http://127.0.0.1:18765/games/puzzle.swf"));
    QCOMPARE(played->Field("parameters"),
             QStringLiteral("level=games/levels/level1.swf&levels=games/levels.xml"));
    QCOMPARE(played->Field("base"), QStringLiteral("http://127.0.0.1:18765/"));
    // The puzzle loads what its "level" names, against the page's base:
    // http://127.0.0.1:18765/games/levels/level1.swf, which the browser's cache answers.
    QVERIFY(WaitForColour(s.flash, kLevel, 1000));
    QVERIFY(CountNear(Grab(s.flash), kPuzzle) >= kSquare);
    QCOMPARE(s.events.Count(QStringLiteral("missing")), 0);
    QCOMPARE(s.flash->blockedRequests(), 0);
    // The details: the cache that holds it, what the movie says of itself, its page.
    const QString tip = Tip(s);
    for (const QString& part :
         {QStringLiteral("Kaynak (source): Chrome\nSWF "),
          QStringLiteral("Sayfa (page): http://127.0.0.1:18765/index.html?run=make\n"),
          QStringLiteral("Parametreler (flashvars): level=games/levels/level1.swf&levels="
                         "games/levels.xml"),
          QStringLiteral("Boyut (size): 320 x 240"), QStringLiteral("complete")}) {
        QVERIFY2(tip.contains(part), qPrintable(part + QStringLiteral(" not in ") + tip));
    }
    QVERIFY2(!tip.contains(QStringLiteral("missing")), qPrintable(tip));
    Screenshot(&s.dialog, "chrome");  // (how a page's size shapes the player: the next test)
}

void PlayerTest::thePagesSizeShapesThePlayers() {
    Shown s(CacheFiles{{"http://wide.example/game/main.swf", PuzzleMovie()},
                       {"http://wide.example/game/play.html",
                        "<embed src=\"main.swf\" width=\"800\" height=\"200\">"}});
    QVERIFY(s.Play(QStringLiteral("main")));
    const QRect view = ViewGeometry(s.flash);
    QCOMPARE(view.width(), s.flash->width());
    QVERIFY2(std::abs(view.width() - 4 * view.height()) <= 4,
             qPrintable(QStringLiteral("%1 x %2").arg(view.width()).arg(view.height())));
    QCOMPARE(view.center(), s.flash->rect().center());
    // The movie shows in the band, the control's own white above and below it.
    QVERIFY(WaitForColour(s.flash, kPuzzle, 200));
    const QImage shot = Grab(s.flash);
    for (int x = 0; x < shot.width(); x += 7) {
        QCOMPARE(shot.pixel(x, 1), qRgb(255, 255, 255));
        QCOMPARE(shot.pixel(x, shot.height() - 2), qRgb(255, 255, 255));
    }
    // The window of its own takes the page's size, not the movie's 400 x 300 stage.
    s.dialog.PlayInWindow(s.h.Row(QStringLiteral("main")));
    PopOutPlayer* window = s.dialog.popOut();
    QVERIFY(window != nullptr);
    QCOMPARE(window->stage(), QSizeF(800, 200));
    Events popped(window->player());
    QVERIFY(popped.WaitFor(QStringLiteral("frame"), window->player()));
    RunFor(300);  // the movie's own stage told: it changes nothing
    QCOMPARE(window->stage(), QSizeF(800, 200));
    QVERIFY2(std::abs(window->width() - 4 * window->height()) <= 4,
             qPrintable(QStringLiteral("%1 x %2").arg(window->width()).arg(window->height())));
    window->close();
}

void PlayerTest::hostilePageValuesReachRuffleAsData() {
    // Quotes of both kinds, a script's end, backslashes, the line separators a script may
    // not hold in a string before ES2019, bytes that are no UTF-8, and bulk: all of it within
    // one attribute, whose entities the page's reader decodes.
    std::string flashvars =
        "level=a\"b'c</script><script>window.pwned=1</script>\\\\');pellimor.play(9,{url:'x'})"
        "&x=\xE2\x80\xA8\xE2\x80\xA9&bad=\xFF\xFE&";
    while (flashvars.size() < 60'000) {
        flashvars += "pad=" + std::string(60, 'p') + "&";
    }
    flashvars += "end=1";
    std::string attribute;
    for (const char c : flashvars) {
        attribute += c == '"'   ? std::string("&quot;")
                     : c == '&' ? std::string("&amp;")
                                : std::string(1, c);
    }
    Shown s(CacheFiles{{"http://hostile.example/game/main.swf", PuzzleMovie()},
                       {"http://hostile.example/game/index.html",
                        "<embed src=\"main.swf\" width=\"100%\" height=\"100%\" "
                        "base=\"javascript:window.pwned=2\" flashvars=\"" +
                            attribute + "\">"},
                       {"http://hostile.example/other.swf", PuzzleMovie()}});
    QVERIFY(s.h.Select(QStringLiteral("main")));
    const PageEvent* played = s.events.WaitFor(QStringLiteral("metadata"), s.flash);
    QVERIFY(played != nullptr);
    QCOMPARE(played->Field("parameters"), QString::fromStdString(flashvars));
    QCOMPARE(played->Field("base"), QStringLiteral("http://hostile.example/game/"));
    QVERIFY(s.events.WaitFor(QStringLiteral("frame"), s.flash));
    QVERIFY(s.events.Find(QStringLiteral("failed")) == nullptr);
    // The level parameter is asked of the cache as an address of the page, and nothing ran.
    const int load = s.flash->currentLoad();
    QVERIFY(RunUntil([&] { return !s.events.Urls(QStringLiteral("missing"), load).isEmpty(); }));
    QVERIFY(s.events.Urls(QStringLiteral("missing"), load)
                .first()
                .startsWith(QStringLiteral("http://hostile.example/game/a")));
    QCOMPARE(Ask(s.flash->page(), QStringLiteral("typeof window.pwned")).toString(),
             QStringLiteral("undefined"));
    QVERIFY(s.events.Find(QStringLiteral("frame"), 9) == nullptr);
    QCOMPARE(s.flash->page()->url(), QUrl(QString::fromLatin1(kPlayerPage)));
    // A percentage is no size: the player fills the preview.
    QCOMPARE(ViewGeometry(s.flash), s.flash->rect());
    // The tooltip keeps to short lines.
    QVERIFY2(Tip(s).size() < 2000, qPrintable(Tip(s).left(300)));
    // The next movie, embedded by no page, plays with nothing of it, based on its own folder.
    QVERIFY(s.h.Select(QStringLiteral("other")));
    const PageEvent* next = s.events.WaitFor(QStringLiteral("metadata"), s.flash);
    QVERIFY(next != nullptr);
    QCOMPARE(next->Field("parameters"), QString());
    QCOMPARE(next->Field("base"), QStringLiteral("http://hostile.example/"));
    QVERIFY(!Tip(s).contains(QStringLiteral("Sayfa (page)")));
    QVERIFY(WaitForColour(s.flash, kPuzzle));
    QCOMPARE(s.flash->blockedRequests(), 0);
}

void PlayerTest::nothingLeavesTheProcess() {
    Shown s;
    QVERIFY(s.Play(QStringLiteral("rocket")));
    // (What a movie's own loads reach is the network test's.) What the page itself might ask of the
    // web goes nowhere: the page may not reach remote addresses, its fetch asks the cache, and it
    // stays on its own page.
    QWebEnginePage* page = s.flash->page();
    page->runJavaScript(
        QStringLiteral("new Image().src = 'http://tracker.example/pixel.png';"
                       "fetch('http://tracker.example/beacon').catch(() => {});"
                       "location.href = 'http://elsewhere.example/';"));
    // The beacon, not in the cache.
    QVERIFY(RunUntil([&] { return s.events.Count(QStringLiteral("missing")) == 1; }));
    RunFor(300);
    QCOMPARE(page->url(), QUrl(QString::fromLatin1(kPlayerPage)));
    QCOMPARE(s.flash->blockedRequests(), 0);
    // Behind that, the guard: with the page let out, the picture is stopped and counted.
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    // (Another address: the page may keep what it was answered for the first.)
    page->runJavaScript(QStringLiteral("new Image().src = 'http://tracker.example/pixel2.png';"));
    QVERIFY(RunUntil([&] { return s.flash->blockedRequests() == 1; }));
}

void PlayerTest::aMovieIsAnsweredOnlyWhatIsItsOwn() {
    Shown s;
    QVERIFY(s.Play(QStringLiteral("main")));
    // The loads a movie can make go through the page's fetch, as Ruffle's do.
    const QVariantMap expected{
        {QStringLiteral("pellimor://player/options.js"), QStringLiteral("refused")},
        {QStringLiteral("pellimor://player/file?path=/etc/passwd"), 404},
        {QStringLiteral("file:///etc/passwd"), QStringLiteral("refused")},
        {QStringLiteral("http://games.arcade.example/puzzle/levels/level1.swf"), 200},
        {QStringLiteral("levels/level1.swf"), QStringLiteral("refused")},  // the page's address
    };
    Ask(s.flash->page(),
        QStringLiteral(R"(
        window.answers = {};
        for (const url of %1) {
            fetch(url).then((r) => { answers[url] = r.status; },
                            () => { answers[url] = "refused"; });
        }
        true)")
            .arg(QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(expected.keys()))
                                       .toJson(QJsonDocument::Compact))));
    QVariantMap answers;
    QVERIFY(RunUntil([&] {
        answers = Ask(s.flash->page(), QStringLiteral("window.answers")).toMap();
        return answers.size() == expected.size();
    }));
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        QCOMPARE(answers.value(it.key()).toString(), it.value().toString());
    }
}

void PlayerTest::withoutRuffleTheWindowStillWorks() {
    qputenv("PELLIMOR_RUFFLE_DIR", "/nonexistent/ruffle");
    Harness h;
    h.Open();
    qunsetenv("PELLIMOR_RUFFLE_DIR");
    QVERIFY(!h.Flash()->hasPlayer());
    QVERIFY(h.Flash()->note().contains(QLatin1String("Ruffle")));
    QVERIFY(h.List()->model()->rowCount() > 0);
    QVERIFY(h.Select(QStringLiteral("rain")));
    QVERIFY(h.Flash()->movie().endsWith(QLatin1String("rain[1].swf")));
}

// With the player running the keyboard reaches every control through and out of the preview,
// and a movie whose cached file is gone is named in a note instead of the player's own panel.
void PlayerTest::keysAndNotesOverThePlayer() {
    Shown s;
    QVERIFY(s.flash->hasPlayer());
    QVERIFY(s.events.WaitFor(QStringLiteral("frame"), s.flash));
    WalkTheTabOrder(s.dialog);
    // In the preview the keys go to the movie's page, not to a frame around it.
    const std::vector<QWidget*> stops = EnabledTabStops(s.dialog);
    const auto player = std::find(stops.begin(), stops.end(), s.flash);
    QVERIFY(player != stops.end() && player != stops.begin());
    (*(player - 1))->setFocus();
    QTest::keyClick(s.dialog.windowHandle(), Qt::Key_Tab);
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus != s.flash && s.flash->isAncestorOf(focus));
    // In and out of the page again: each Tab leaves it at once.
    for (int round = 0; round < 3; ++round) {
        QTest::keyClick(s.dialog.windowHandle(), Qt::Key_Tab);
        QCOMPARE(ControlOf(s.dialog, QApplication::focusWidget()), *(player + 1));
        QTest::keyClick(s.dialog.windowHandle(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(ControlOf(s.dialog, QApplication::focusWidget()), s.flash);
    }

    QVERIFY(s.h.Select(QStringLiteral("rain")));
    const QString path = s.flash->movie();
    QVERIFY(path.endsWith(QStringLiteral("rain[1].swf")));
    QCOMPARE(s.flash->shownNote(), QString());  // the player plays it
    QCOMPARE(::unlink(path.toLocal8Bit().constData()), 0);
    QVERIFY(s.h.Select(QStringLiteral("snake")));
    QVERIFY(s.h.Select(QStringLiteral("rain")));
    const QString note = QStringLiteral("The cached file is missing:\n") + path;
    QCOMPARE(s.flash->shownNote(), note);
    // The note covers the whole preview, over whatever the player shows of the failed load.
    QLabel* shown = nullptr;
    for (QLabel* label : s.flash->findChildren<QLabel*>()) {
        if (label->isVisible() && label->text() == note) {
            shown = label;
        }
    }
    QVERIFY(shown != nullptr);
    QCOMPARE(shown->geometry(), s.flash->rect());
    QCOMPARE(s.flash->childAt(s.flash->rect().center()), static_cast<QWidget*>(shown));
    Screenshot(&s.dialog, "missing-file-player");
    QVERIFY(s.h.Select(QStringLiteral("snake")));
    QCOMPARE(s.flash->shownNote(), QString());
    QVERIFY(s.flash->hasPlayer());
}

// The window's export as the web-game archive takes a curation: the tags asked for, the
// pictures taken by the window's own player offscreen, the folder checked against an offline
// statement of the archive's rules (tests/files/curation-rules.py).
void PlayerTest::theDemoPuzzleIsReadyToHandIn() {
    Shown s;
    QVERIFY(s.h.Select(QStringLiteral("main")));
    test::MakeFolders(s.h.temp / "games");
    s.h.prompts.folderAnswer = s.h.temp / "games";
    s.h.prompts.textAnswers = {"Puzzle;Logic", "en"};  // the tags, then the language
    s.h.MenuEntry(strings::kExportGame)->trigger();
    // The export waits for the preview's player to tell what the game saved.
    const std::string game = s.h.temp / "games/main";
    QVERIFY(RunUntil([&] { return test::FileExists(game + "/ss.png") && s.dialog.isEnabled(); }));
    QCOMPARE(s.h.prompts.textAsked.size(), std::size_t{2});
    QVERIFY2(s.h.prompts.errors.empty(),
             s.h.prompts.errors.empty() ? "" : s.h.prompts.errors[0].c_str());
    int status = -1;
    const std::string faults =
        test::RunCommand("python3 '" + std::string(PELLIMOR_SOURCE_DIR) +
                             "/tests/files/curation-rules.py' '" + game + "' 2>&1",
                         status);
    QVERIFY2(status == 0, faults.c_str());
    // The movie's own pictures at its stage size, not the window's preview; the logo is its
    // first frame, the screenshot one a few seconds on.
    QImage logo;
    QImage shot;
    QVERIFY(logo.load(Q(game + "/logo.png")));
    QVERIFY(shot.load(Q(game + "/ss.png")));
    QCOMPARE(logo.size(), shot.size());
    QVERIFY(shot.size() != s.flash->size());
    QVERIFY(logo != shot);
}

int RunPopOutTests(int argc, char** argv);

}  // namespace pellimor

int main(int argc, char** argv) {
    pellimor::PrepareWebEngine();
    QApplication application(argc, argv);
    pellimor::PlayerTest test;
    const int failed = QTest::qExec(&test, argc, argv);
    return failed + pellimor::RunPopOutTests(argc, argv);
}

#include "PlayerTest.moc"
