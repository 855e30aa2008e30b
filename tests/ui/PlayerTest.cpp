// The preview as the user meets it: the real window, offscreen, on the demo cache, with
// Ruffle playing in the web view. Colours are read off screenshots of the preview.
#include <QApplication>
#include <QSignalSpy>
#include <QWebEnginePage>
#include <QWebEngineSettings>

#include <functional>
#include <memory>

#include <signal.h>

#include "ColourCount.h"
#include "EventLoop.h"
#include "PageEvents.h"
#include "resources/Strings.h"
#include "ui/DialogHarness.h"
#include "ui/player/PlayerScheme.h"

namespace pellimor {

namespace {

using test::RunFor;
using test::RunUntil;

using test::Events;
using test::PageEvent;

using test::CountNear;

// The window open and shown on the demo cache, its preview and what the page says.
struct Shown {
    Harness h;
    CMovieDlg& dialog;
    CFlash_ctrl* flash;
    Events events;

    explicit Shown(const std::string& site = "")
        : dialog(h.Open(site)),
          flash(static_cast<CFlash_ctrl*>(dialog.Control(kIdPlayer))),
          events(flash) {
        dialog.show();
    }
    explicit Shown(const ChromeCache& chrome)
        : h(chrome),
          dialog(h.Open()),
          flash(static_cast<CFlash_ctrl*>(dialog.Control(kIdPlayer))),
          events(flash) {
        dialog.show();
    }
    QImage Preview() const {
        return dialog.grab(flash->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
    }
    // Waits for the page's first frame of the movie set last.
    bool WaitForFrame() {
        const int load = flash->currentLoad();
        return RunUntil([&] { return events.Find(QStringLiteral("frame"), load); });
    }
    // Waits until the preview shows at least this many pixels of the colour.
    bool WaitForColour(QRgb colour, int pixels) {
        return RunUntil([&] { return CountNear(Preview(), colour) >= pixels; });
    }
    void SelectMovie(const QString& name) {
        h.Select({h.Row(name)});
        QVERIFY(h.Row(name) >= 0);
    }
};

// The demo movies' square colours; their backgrounds give way to the stored white.
constexpr QRgb kRocket = 0xE03C31;
constexpr QRgb kRocketBackground = 0xFFF4D6;
constexpr QRgb kSnake = 0x2E8B57;
constexpr QRgb kPuzzle = 0xC71585;
constexpr QRgb kLevel = 0x20B2AA;
constexpr QRgb kLeftover = 0x555555;
constexpr int kSquare = 3000;  // the moving square covers about 12,000 pixels

}  // namespace

class PlayerTest : public QObject {
    Q_OBJECT
  private slots:
    void initialPropertiesBecomeTheOptions();
    void selectingAMovieShowsItAndTheNextReplacesIt();
    void aMovieLoadsItsLevelByRelativeAddress();
    void aLoadTheCacheCannotAnswerIsMissing();
    void aMovieInsideChromesCacheFilesPlaysWithItsLevel();
    void aLeftoverPlaysByItsPath();
    void nothingLeavesTheProcess();
    void aMovieIsAnsweredOnlyWhatIsItsOwn();
    void aCrashedPlayerComesBackWithItsMovie();
    void withoutRuffleTheWindowStillWorks();
    void screenshot();
};

void PlayerTest::initialPropertiesBecomeTheOptions() {
    Shown s;
    QVERIFY(s.flash->hasPlayer());
    QCOMPARE(s.flash->options(),
             (RuffleOptions{"window", "high", "showAll", true, "#FFFFFF", "all", false}));
    QVERIFY(s.WaitForFrame());
    // The page took them: read back from Ruffle's configuration in the page.
    const auto answer = std::make_shared<QString>();  // outlives the test if the page is slow
    s.flash->page()->runJavaScript(QStringLiteral("JSON.stringify(window.RufflePlayer.config)"),
                                   [answer](const QVariant& v) { *answer = v.toString(); });
    QVERIFY(RunUntil([&] { return !answer->isEmpty(); }));
    const QString config = *answer;
    for (const char* part :
         {"\"wmode\":\"window\"", "\"quality\":\"high\"", "\"scale\":\"showAll\"",
          "\"allowScriptAccess\":true", "\"backgroundColor\":\"#FFFFFF\"",
          "\"allowNetworking\":\"all\"", "\"upgradeToHttps\":false", "\"openUrlMode\":\"deny\""}) {
        QVERIFY2(config.contains(QLatin1String(part)), part);
    }
}

void PlayerTest::selectingAMovieShowsItAndTheNextReplacesIt() {
    Shown s;
    s.SelectMovie(QStringLiteral("rocket"));
    QVERIFY(s.WaitForFrame());
    QVERIFY(s.WaitForColour(kRocket, kSquare));
    const PageEvent* metadata = s.events.Find(QStringLiteral("metadata"), s.flash->currentLoad());
    QVERIFY(metadata != nullptr);
    QCOMPARE(metadata->fields.queryItemValue(QStringLiteral("width")), QStringLiteral("400"));
    QCOMPARE(metadata->fields.queryItemValue(QStringLiteral("height")), QStringLiteral("300"));
    QImage shot = s.Preview();
    QCOMPARE(CountNear(shot, kRocketBackground, 3), 0);  // the stored white, not the movie's
    QCOMPARE(QColor(shot.pixel(2, 2)), QColor(Qt::white));

    s.SelectMovie(QStringLiteral("snake"));
    QVERIFY(s.WaitForFrame());
    QVERIFY(s.WaitForColour(kSnake, kSquare));
    QCOMPARE(CountNear(s.Preview(), kRocket), 0);

    // Two lines selected: the player goes on with the movie shown last.
    const int loads = s.flash->moviesSet();
    s.h.Select({s.h.Row(QStringLiteral("rocket")), s.h.Row(QStringLiteral("snake"))});
    RunFor(500);
    QCOMPARE(s.flash->moviesSet(), loads);
    shot = s.Preview();
    QVERIFY(CountNear(shot, kSnake) >= kSquare);
    QCOMPARE(CountNear(shot, kRocket), 0);
}

void PlayerTest::aMovieLoadsItsLevelByRelativeAddress() {
    Shown s;
    s.SelectMovie(QStringLiteral("main"));
    QVERIFY(s.WaitForFrame());
    QVERIFY(s.WaitForColour(kLevel, 1000));  // levels/level1.swf, from the cache
    const QImage shot = s.Preview();
    QVERIFY(CountNear(shot, kPuzzle) >= kSquare);
    QVERIFY(CountNear(shot, kLevel) >= 1000);
    QCOMPARE(s.events.Count(QStringLiteral("missing")), 0);
    QCOMPARE(s.flash->blockedRequests(), 0);
}

// Chrome keeps bodies inside its own entry files: the movie and the level it loads are read
// through the cache, not by a path.
void PlayerTest::aMovieInsideChromesCacheFilesPlaysWithItsLevel() {
    Shown s(ChromeCache{std::string(PELLIMOR_TEST_DATA) +
                        "/browsers/made/chromium-simple/Default/Cache/Cache_Data"});
    s.SelectMovie(QStringLiteral("puzzle"));
    QVERIFY(s.WaitForFrame());
    QVERIFY(s.WaitForColour(kLevel, 1000));  // games/levels/level1.swf, from Chrome's cache
    const QImage shot = s.Preview();
    QVERIFY(CountNear(shot, kPuzzle) >= kSquare);
    QCOMPARE(s.events.Count(QStringLiteral("missing")), 0);
    QCOMPARE(s.flash->blockedRequests(), 0);
    // The details' tooltip: which cache holds it and what the movie says about itself.
    const QString tip = s.dialog.Control(kIdAddress)->toolTip();
    QVERIFY2(tip.contains(QStringLiteral("Kaynak (source): Chrome")), qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral("SWF ")) && tip.contains(QStringLiteral("complete")),
             qPrintable(tip));
    QVERIFY2(!tip.contains(QStringLiteral("missing")), qPrintable(tip));
    const QString out = qEnvironmentVariable("PELLIMOR_CHROME_SCREENSHOT");
    if (!out.isEmpty()) {
        QVERIFY(s.dialog.grab().save(out));
    }
}

void PlayerTest::aLoadTheCacheCannotAnswerIsMissing() {
    Shown s;
    QVERIFY(s.h.cache->DeleteEntry("http://games.arcade.example/puzzle/levels/level1.swf").ok());
    s.SelectMovie(QStringLiteral("main"));
    QVERIFY(s.WaitForFrame());
    QVERIFY(RunUntil([&] { return s.events.Count(QStringLiteral("missing")) > 0; }));
    const PageEvent* missing = s.events.Find(QStringLiteral("missing"), s.flash->currentLoad());
    QVERIFY(missing != nullptr);
    // The address its page's "level" parameter names.
    QCOMPARE(missing->fields.queryItemValue(QStringLiteral("url"), QUrl::FullyDecoded),
             QStringLiteral("http://games.arcade.example/puzzle/levels/level1.swf?v=2"));
    QVERIFY(s.WaitForColour(kPuzzle, kSquare));
    QCOMPARE(CountNear(s.Preview(), kLevel), 0);
    QCOMPARE(s.flash->blockedRequests(), 0);
    // The details' tooltip keeps what the movie asked for that the cache lacks.
    QVERIFY(RunUntil([&] {
        return s.dialog.Control(kIdAddress)->toolTip().contains(QStringLiteral("1 missing:"));
    }));
    QVERIFY(s.dialog.Control(kIdAddress)
                ->toolTip()
                .contains(QStringLiteral("http://games.arcade.example/puzzle/levels/level1.swf")));
}

void PlayerTest::aLeftoverPlaysByItsPath() {
    Shown s;
    s.h.ChooseSite(QString::fromUtf8(strings::Load(strings::kLeftoverFiles).data()));
    QVERIFY(s.flash->movie().endsWith(QLatin1String(".swf")));
    QVERIFY(s.WaitForFrame());
    QVERIFY(s.WaitForColour(kLeftover, kSquare));
    QCOMPARE(s.events.Count(QStringLiteral("missing")), 0);
}

void PlayerTest::nothingLeavesTheProcess() {
    Shown s;
    for (const char* movie : {"rocket", "main", "clock", "banner", "getmovie.php"}) {
        if (s.h.Row(QLatin1String(movie)) < 0) {
            continue;
        }
        s.SelectMovie(QLatin1String(movie));
        QVERIFY2(s.WaitForFrame(), movie);
    }
    RunFor(300);
    QCOMPARE(s.flash->blockedRequests(), 0);
    // What the page itself might ask of the web goes nowhere: the page may not reach
    // remote addresses, its fetch asks the cache, and it stays on its own page.
    QWebEnginePage* page = s.flash->page();
    page->runJavaScript(
        QStringLiteral("new Image().src = 'http://tracker.example/pixel.png';"
                       "fetch('http://tracker.example/beacon').catch(() => {});"
                       "location.href = 'http://elsewhere.example/';"));
    QVERIFY(RunUntil([&] {
        return s.events.Count(QStringLiteral("missing")) == 1;
    }));  // the beacon, not in the cache
    RunFor(300);
    QCOMPARE(page->url(), QUrl(QString::fromLatin1(kPlayerPage)));
    QCOMPARE(s.flash->blockedRequests(), 0);
    // Behind that, the guard: with the page let out, the picture is stopped and counted.
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    page->runJavaScript(QStringLiteral("new Image().src = 'http://tracker.example/pixel.png';"));
    QVERIFY(RunUntil([&] { return s.flash->blockedRequests() == 1; }));
}

void PlayerTest::aMovieIsAnsweredOnlyWhatIsItsOwn() {
    Shown s;
    s.SelectMovie(QStringLiteral("main"));
    QVERIFY(s.WaitForFrame());
    // The loads a movie can make go through the page's fetch, as Ruffle's do.
    s.flash->page()->runJavaScript(QStringLiteral(R"(
        window.answers = {};
        for (const url of ["pellimor://player/event?name=frame&load=99",
                           "pellimor://player/options.js",
                           "pellimor://player/file?path=/etc/passwd",
                           "file:///etc/passwd",
                           "http://games.arcade.example/puzzle/levels/level1.swf",
                           "levels/level1.swf"]) {
            fetch(url).then((r) => { answers[url] = r.status; },
                            () => { answers[url] = "refused"; });
        })"));
    // One question at a time; the page answers the last one even as it closes.
    const auto answers = std::make_shared<QVariantMap>();
    const auto asking = std::make_shared<bool>(false);
    QVERIFY(RunUntil([&] {
        if (!*asking) {
            *asking = true;
            s.flash->page()->runJavaScript(QStringLiteral("window.answers"),
                                           [answers, asking](const QVariant& v) {
                                               *answers = v.toMap();
                                               *asking = false;
                                           });
        }
        return answers->size() == 6;
    }));
    const QVariantMap expected{
        {QStringLiteral("pellimor://player/event?name=frame&load=99"), QStringLiteral("refused")},
        {QStringLiteral("pellimor://player/options.js"), QStringLiteral("refused")},
        {QStringLiteral("pellimor://player/file?path=/etc/passwd"), 404},
        {QStringLiteral("file:///etc/passwd"), QStringLiteral("refused")},
        {QStringLiteral("http://games.arcade.example/puzzle/levels/level1.swf"), 200},
        {QStringLiteral("levels/level1.swf"),
         QStringLiteral("refused")},  // the page's, not the movie's
    };
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        QCOMPARE(answers->value(it.key()).toString(), it.value().toString());
    }
    QVERIFY(s.events.Find(QStringLiteral("frame"), 99) == nullptr);
}

void PlayerTest::aCrashedPlayerComesBackWithItsMovie() {
    Shown s;
    s.SelectMovie(QStringLiteral("snake"));
    QVERIFY(s.WaitForFrame());
    const int load = s.flash->currentLoad();
    const auto framesOf = [&] {
        return std::count_if(s.events.seen.begin(), s.events.seen.end(), [&](const PageEvent& e) {
            return e.name == QLatin1String("frame") && e.load == load;
        });
    };
    QCOMPARE(framesOf(), 1);
    const qint64 renderer = s.flash->page()->renderProcessPid();
    QVERIFY(renderer > 0);
    QCOMPARE(::kill(static_cast<pid_t>(renderer), SIGKILL), 0);
    QVERIFY(RunUntil([&] { return framesOf() == 2; }));  // the page again, the same movie
    QVERIFY(s.flash->hasPlayer());
    QVERIFY(s.WaitForColour(kSnake, kSquare));
}

void PlayerTest::withoutRuffleTheWindowStillWorks() {
    qputenv("PELLIMOR_RUFFLE_DIR", "/nonexistent/ruffle");
    Harness h;
    CMovieDlg& dialog = h.Open();
    qunsetenv("PELLIMOR_RUFFLE_DIR");
    auto* flash = static_cast<CFlash_ctrl*>(dialog.Control(kIdPlayer));
    QVERIFY(!flash->hasPlayer());
    QVERIFY(flash->note().contains(QLatin1String("Ruffle")));
    QVERIFY(h.List()->model()->rowCount() > 0);
    h.Select({h.Row(QStringLiteral("rain"))});
    QVERIFY(flash->movie().endsWith(QLatin1String("rain[1].swf")));
    h.Click(kIdSave);
    QVERIFY(QFileInfo::exists(QString::fromStdString(h.temp / "saved/rain.swf")));
}

void PlayerTest::screenshot() {
    Shown s;
    s.SelectMovie(QStringLiteral("main"));
    QVERIFY(s.WaitForFrame());
    QVERIFY(s.WaitForColour(kLevel, 1000));
    const QString out = qEnvironmentVariable("PELLIMOR_SCREENSHOT");
    if (!out.isEmpty()) {
        QVERIFY(s.dialog.grab().save(out));
    }
    // The window on one site, for the README's first picture.
    s.h.ChooseSite(QStringLiteral("arcade.example"));
    s.SelectMovie(QStringLiteral("rocket"));
    QVERIFY(s.WaitForFrame());
    QVERIFY(s.WaitForColour(kRocket, kSquare));
    const QString window = qEnvironmentVariable("PELLIMOR_WINDOW_SCREENSHOT");
    if (!window.isEmpty()) {
        QVERIFY(s.dialog.grab().save(window));
    }
}

}  // namespace pellimor

int main(int argc, char** argv) {
    pellimor::PrepareWebEngine();
    QApplication application(argc, argv);
    pellimor::PlayerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PlayerTest.moc"
