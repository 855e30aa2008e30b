// A movie played with what its cached page gave it: the page's flashvars, base address and
// size reach Ruffle, in the preview and in the window of its own. The real window, offscreen,
// Ruffle playing, on the demo cache, on caches real browsers made and on hostile pages.
#include <QApplication>
#include <QListView>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <filesystem>
#include <functional>
#include <memory>

#include "ColourCount.h"
#include "EventLoop.h"
#include "PageEvents.h"
#include "app/SwfMaker.h"
#include "platform/firefox/Cache2.h"
#include "resources/Strings.h"
#include "ui/DialogHarness.h"
#include "ui/PopOutPlayer.h"
#include "ui/QtText.h"
#include "ui/player/PlayerScheme.h"

namespace pellimor {

namespace {

using test::RunFor;
using test::RunUntil;

const std::string kMade = std::string(PELLIMOR_TEST_DATA) + "/browsers/made";
const QString kPuzzlePage = QStringLiteral("http://games.arcade.example/puzzle/index.html");
const QString kPuzzleFolder = QStringLiteral("http://games.arcade.example/puzzle/");
const QString kLevelByPage =
    QStringLiteral("http://games.arcade.example/puzzle/levels/level1.swf?v=2");
const QString kLevelByMovie =
    QStringLiteral("http://games.arcade.example/puzzle/levels/level1.swf");

constexpr QRgb kPuzzle = 0xC71585;
constexpr QRgb kLevel = 0x20B2AA;  // the level the puzzle loads
constexpr int kSquare = 3000;

using test::CountNear;

using test::Events;
using test::PageEvent;

// The page's account of the movie set last, with what Ruffle was given for it.
const PageEvent* WaitForPlayed(const Events& events, CFlash_ctrl* flash) {
    const int load = flash->currentLoad();
    RunUntil([&] { return events.Find(QStringLiteral("metadata"), load) != nullptr; });
    return events.Find(QStringLiteral("metadata"), load);
}

bool WaitForFrame(const Events& events, CFlash_ctrl* flash) {
    const int load = flash->currentLoad();
    return RunUntil([&] { return events.Find(QStringLiteral("frame"), load) != nullptr; });
}

QImage Grab(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The player's view inside a preview control.
QRect ViewGeometry(CFlash_ctrl* flash) {
    QWebEngineView* view = QWebEngineView::forPage(flash->page());
    return view ? view->geometry() : QRect();
}

// A window on a cache of sources made here: a WinINet cache written with the pages (and
// movies) given, and the browser cache named, read together as one profile; or on a browser's
// cache alone.
struct PageWindow {
    test::TempFolder temp;
    PosixFileOps files;
    PlatformTools tools;
    std::unique_ptr<CacheSource> cache;
    HiveRegistry registry{temp / "config/Tavrik/hkcu.reg"};
    test::ScriptedPrompts prompts;
    RecordingShell shell;
    std::unique_ptr<ListingServices> listing;
    std::unique_ptr<CMovieDlg> dialog;
    std::string ieFolder;
    std::string problem;  // what went wrong writing the cache, if anything

    // entries: address and body; a body that begins as a movie is filed as one.
    PageWindow(const std::vector<std::pair<std::string, std::string>>& entries,
               std::unique_ptr<CacheSource> browser) {
        CacheProfileWriter writer(temp / "profile", indexdat::Flavour::kInternetExplorer, 11);
        for (const auto& [url, body] : entries) {
            ContentEntry e;
            e.url = url;
            e.body = body;
            const bool movie = body.starts_with("FWS");
            e.extension = movie ? "swf" : "htm";
            e.headers = movie ? "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash"
                                "\r\n\r\n"
                              : "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
            if (const auto added = writer.AddContent(e); !added) {
                problem += added.error() + "\n";
            }
        }
        if (const Status saved = writer.Save(); !saved) {
            problem += saved.error() + "\n";
        }
        ieFolder = writer.cacheFolder();
        auto profile = std::make_unique<CacheProfile>();
        profile->Add(std::make_unique<IndexDatCache>(ieFolder, 1252));
        if (browser) {
            profile->Add(std::move(browser));
        }
        cache = std::move(profile);
        Open();
    }
    // A browser's cache alone, kept in folder.
    PageWindow(std::unique_ptr<CacheSource> browser, const std::string& folder) {
        ieFolder = folder;
        cache = std::move(browser);
        Open();
    }
    void Open() {
        listing = std::make_unique<ListingServices>(ListingServices{
            *cache, files, [this] { return std::optional<std::string>(ieFolder); }});
        test::MakeFolders(temp / "saved");
        SetSavePath(registry, temp / "saved");
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(8);
        dialog = std::make_unique<CMovieDlg>(
            DialogServices{*listing, registry, prompts, shell, tools.decompressor,
                           tools.exportFolders, temp / "home"},
            "", font);
        dialog->show();
    }
    QListView* List() const { return static_cast<QListView*>(dialog->Control(kIdMovies)); }
    CFlash_ctrl* Flash() const { return static_cast<CFlash_ctrl*>(dialog->Control(kIdPlayer)); }
    int Row(const QString& text) const {
        const auto* model = List()->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            if (model->index(r, 0).data().toString() == text) {
                return r;
            }
        }
        return -1;
    }
    bool Select(const QString& name) {
        const int row = Row(name);
        if (row < 0) {
            return false;
        }
        const QModelIndex index = List()->model()->index(row, 0);
        List()->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
        return true;
    }
};

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

// A copy of a browser's made cache in folder.
std::unique_ptr<CacheSource> MadeCache(const std::string& which, const std::string& folder) {
    test::MakeFolders(std::filesystem::path(folder).parent_path());
    if (which == "chrome") {
        std::filesystem::copy(kMade + "/chromium-simple/Default/Cache/Cache_Data", folder,
                              std::filesystem::copy_options::recursive);
        return std::make_unique<ChromiumSimpleCache>(folder);
    }
    std::filesystem::copy(kMade + "/firefox/cache2", folder,
                          std::filesystem::copy_options::recursive);
    auto opened = FirefoxCache2::Open(folder);
    return opened.ok() ? std::move(*opened) : nullptr;
}

}  // namespace

class PageParametersTest : public QObject {
    Q_OBJECT
  private slots:
    void theDemoPuzzlePlaysWithItsPagesParameter();
    void theParameterNamesWhatTheCacheIsAsked();
    void withoutItsPageTheMovieGoesByItsOwnFolder();
    void theWindowOfItsOwnPlaysWithThePageToo();
    void aBrowsersCacheMovieGetsItsPagesFlashvarsAndBase_data();
    void aBrowsersCacheMovieGetsItsPagesFlashvarsAndBase();
    void thePagesSizeShapesThePlayers();
    void hostilePageValuesReachRuffleAsData();
};

void PageParametersTest::theDemoPuzzlePlaysWithItsPagesParameter() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    dialog.show();
    auto* flash = static_cast<CFlash_ctrl*>(dialog.Control(kIdPlayer));
    Events events(flash);
    h.Select({h.Row(QStringLiteral("main"))});
    QVERIFY(h.Row(QStringLiteral("main")) >= 0);
    const PageEvent* played = WaitForPlayed(events, flash);
    QVERIFY(played != nullptr);
    QCOMPARE(played->Field("movie"), QStringLiteral("http://games.arcade.example/puzzle/main.swf"));
    QCOMPARE(played->Field("parameters"), QStringLiteral("level=levels/level1.swf?v=2"));
    QCOMPARE(played->Field("base"), kPuzzleFolder);
    // What the parameter names is what the movie loads: the cache holds the level without
    // the query, and answers with it (the next test takes the level away to see the address).
    const int load = flash->currentLoad();
    QVERIFY(RunUntil([&] { return CountNear(Grab(flash), kLevel) >= 1000; }));
    QVERIFY(CountNear(Grab(flash), kPuzzle) >= kSquare);
    QVERIFY(events.Urls(QStringLiteral("missing"), load).isEmpty());
    // The details say where the parameters came from.
    const QString tip = dialog.Control(kIdAddress)->toolTip();
    QVERIFY2(tip.contains(QStringLiteral("Sayfa (page): ") + kPuzzlePage), qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral("Parametreler (flashvars): level=levels/level1.swf?v=2")),
             qPrintable(tip));
    const QString out = qEnvironmentVariable("PELLIMOR_PAGE_SCREENSHOT");
    if (!out.isEmpty()) {
        RunFor(500);  // the level's label drawn too
        QVERIFY(dialog.grab().save(out));
    }
    // The pages were read once, for the first movie shown, not for each one.
    QCOMPARE(flash->pages()->builds(), 1);
    for (const char* movie : {"rocket", "snake", "main", "rocket"}) {
        h.Select({h.Row(QLatin1String(movie))});
        QVERIFY(WaitForPlayed(events, flash) != nullptr);
    }
    QCOMPARE(flash->pages()->builds(), 1);
    // A movie of another site's page: rocket's page gives it no parameters.
    QVERIFY(dialog.Control(kIdAddress)
                ->toolTip()
                .contains(QStringLiteral("Sayfa (page): http://www.arcade.example/index.html")));
    QCOMPARE(WaitForPlayed(events, flash)->Field("parameters"), QString());
    // A refresh reads the cache anew, once.
    h.Click(kIdRefresh);
    for (const char* movie : {"main", "snake"}) {
        h.Select({h.Row(QLatin1String(movie))});
        QVERIFY(WaitForPlayed(events, flash) != nullptr);
    }
    QCOMPARE(flash->pages()->builds(), 2);
}

// With the level's entry gone, what is missing is what the page's parameter named.
void PageParametersTest::theParameterNamesWhatTheCacheIsAsked() {
    Harness h;
    QVERIFY(h.cache->DeleteEntry(kLevelByMovie.toStdString()).ok());
    CMovieDlg& dialog = h.Open();
    dialog.show();
    auto* flash = static_cast<CFlash_ctrl*>(dialog.Control(kIdPlayer));
    Events events(flash);
    h.Select({h.Row(QStringLiteral("main"))});
    const int load = flash->currentLoad();
    QVERIFY(RunUntil([&] { return !events.Urls(QStringLiteral("missing"), load).isEmpty(); }));
    QCOMPARE(events.Urls(QStringLiteral("missing"), load), QStringList{kLevelByPage});
    QVERIFY(RunUntil([&] {
        return dialog.Control(kIdAddress)
            ->toolTip()
            .contains(QStringLiteral("1 missing:\n  ") + kLevelByPage);
    }));
}

void PageParametersTest::withoutItsPageTheMovieGoesByItsOwnFolder() {
    Harness h;
    QVERIFY(h.cache->DeleteEntry(kPuzzlePage.toStdString()).ok());
    CMovieDlg& dialog = h.Open();
    dialog.show();
    auto* flash = static_cast<CFlash_ctrl*>(dialog.Control(kIdPlayer));
    Events events(flash);
    h.Select({h.Row(QStringLiteral("main"))});
    const PageEvent* played = WaitForPlayed(events, flash);
    QVERIFY(played != nullptr);
    QCOMPARE(played->Field("parameters"), QString());
    QCOMPARE(played->Field("base"), kPuzzleFolder);
    const int load = flash->currentLoad();
    QVERIFY(RunUntil([&] { return CountNear(Grab(flash), kLevel) >= 1000; }));
    QVERIFY(events.Urls(QStringLiteral("missing"), load).isEmpty());
    QVERIFY(!flash->moviePage());
    QCOMPARE(ViewGeometry(flash), flash->rect());
    QVERIFY(!dialog.Control(kIdAddress)->toolTip().contains(QStringLiteral("Sayfa (page)")));
}

void PageParametersTest::theWindowOfItsOwnPlaysWithThePageToo() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    dialog.show();
    auto* flash = static_cast<CFlash_ctrl*>(dialog.Control(kIdPlayer));
    h.Select({h.Row(QStringLiteral("main"))});
    dialog.PlayInWindow(h.Row(QStringLiteral("main")));
    PopOutPlayer* window = dialog.popOut();
    QVERIFY(window != nullptr);
    Events events(window->player());
    const PageEvent* played = WaitForPlayed(events, window->player());
    QVERIFY(played != nullptr);
    QCOMPARE(played->Field("parameters"), QStringLiteral("level=levels/level1.swf?v=2"));
    QCOMPARE(played->Field("base"), kPuzzleFolder);
    QVERIFY(RunUntil([&] { return CountNear(Grab(window), kLevel) >= 1000; }));
    // One reading of the pages for both players.
    QCOMPARE(window->player()->pages(), flash->pages());
    QCOMPARE(flash->pages()->builds(), 1);
    window->close();
}

void PageParametersTest::aBrowsersCacheMovieGetsItsPagesFlashvarsAndBase_data() {
    QTest::addColumn<QString>("browser");
    QTest::addColumn<QString>("page");  // the page's address as the browser keyed it
    QTest::newRow("Chrome") << QStringLiteral("chrome")
                            << QStringLiteral("http://127.0.0.1:18765/index.html?run=make");
    QTest::newRow("Firefox") << QStringLiteral("firefox")
                             << QStringLiteral(
                                    "http://127.0.0.1:18765/index.html?run=make"
                                    "&fill=300&after=60&close=90");
}

// Each browser kept the page that embeds the puzzle: the puzzle plays with that page's
// flashvars and base, and loads the level they name from the same cache.
void PageParametersTest::aBrowsersCacheMovieGetsItsPagesFlashvarsAndBase() {
    QFETCH(QString, browser);
    QFETCH(QString, page);
    test::TempFolder copies;
    const std::string folder =
        copies / (browser == QLatin1String("chrome") ? "made/Cache_Data" : "made/cache2");
    auto made = MadeCache(browser.toStdString(), folder);
    QVERIFY(made != nullptr);
    PageWindow w(std::move(made), folder);
    Events events(w.Flash());
    QVERIFY(w.Select(QStringLiteral("puzzle")));
    const PageEvent* played = WaitForPlayed(events, w.Flash());
    QVERIFY(played != nullptr);
    QCOMPARE(played->Field("movie"), QStringLiteral("http://127.0.0.1:18765/games/puzzle.swf"));
    QCOMPARE(played->Field("parameters"),
             QStringLiteral("level=games/levels/level1.swf&levels=games/levels.xml"));
    QCOMPARE(played->Field("base"), QStringLiteral("http://127.0.0.1:18765/"));
    QVERIFY(WaitForFrame(events, w.Flash()));
    // The puzzle loads what its "level" names, against the page's base:
    // http://127.0.0.1:18765/games/levels/level1.swf, which the browser's cache answers.
    const int load = w.Flash()->currentLoad();
    QVERIFY(RunUntil([&] { return CountNear(Grab(w.Flash()), kLevel) >= 1000; }));
    QVERIFY(CountNear(Grab(w.Flash()), kPuzzle) >= kSquare);
    QVERIFY(events.Urls(QStringLiteral("missing"), load).isEmpty());
    QCOMPARE(w.Flash()->blockedRequests(), 0);
    const QString tip = w.dialog->Control(kIdAddress)->toolTip();
    QVERIFY2(tip.contains(QStringLiteral("Sayfa (page): ") + page + QLatin1Char('\n')),
             qPrintable(tip));
    QVERIFY2(
        tip.contains(QStringLiteral(
            "Parametreler (flashvars): level=games/levels/level1.swf&levels=games/levels.xml")),
        qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral("Boyut (size): 320 x 240")), qPrintable(tip));
    // The page's 320 x 240 in the preview: its proportions, as large as the preview allows.
    const QRect view = ViewGeometry(w.Flash());
    QVERIFY(w.Flash()->rect().contains(view));
    QVERIFY2(std::abs(view.width() * 240 - view.height() * 320) <= 320,
             qPrintable(QStringLiteral("%1 x %2").arg(view.width()).arg(view.height())));
    QVERIFY(view.width() == w.Flash()->width() || view.height() == w.Flash()->height());
}

void PageParametersTest::thePagesSizeShapesThePlayers() {
    PageWindow w({{"http://wide.example/game/main.swf", PuzzleMovie()},
                  {"http://wide.example/game/play.html",
                   "<embed src=\"main.swf\" width=\"800\" height=\"200\">"}},
                 nullptr);
    QVERIFY2(w.problem.empty(), w.problem.c_str());
    Events events(w.Flash());
    QVERIFY(w.Select(QStringLiteral("main")));
    QVERIFY(WaitForFrame(events, w.Flash()));
    const QRect view = ViewGeometry(w.Flash());
    QCOMPARE(view.width(), w.Flash()->width());
    QVERIFY2(std::abs(view.width() - 4 * view.height()) <= 4,
             qPrintable(QStringLiteral("%1 x %2").arg(view.width()).arg(view.height())));
    QCOMPARE(view.center(), w.Flash()->rect().center());
    // The movie shows in the band, the control's own white above and below it.
    QVERIFY(RunUntil([&] { return CountNear(Grab(w.Flash()), kPuzzle) > 200; }));
    const QImage shot = Grab(w.Flash());
    for (int x = 0; x < shot.width(); x += 7) {
        QCOMPARE(shot.pixel(x, 1), qRgb(255, 255, 255));
        QCOMPARE(shot.pixel(x, shot.height() - 2), qRgb(255, 255, 255));
    }
    // The window of its own takes the page's size, not the movie's 400 x 300 stage.
    w.dialog->PlayInWindow(w.Row(QStringLiteral("main")));
    PopOutPlayer* window = w.dialog->popOut();
    QVERIFY(window != nullptr);
    QCOMPARE(window->stage(), QSizeF(800, 200));
    Events popped(window->player());
    QVERIFY(WaitForFrame(popped, window->player()));
    RunFor(300);  // the movie's own stage told: it changes nothing
    QCOMPARE(window->stage(), QSizeF(800, 200));
    QVERIFY2(std::abs(window->width() - 4 * window->height()) <= 4,
             qPrintable(QStringLiteral("%1 x %2").arg(window->width()).arg(window->height())));
    window->close();
}

void PageParametersTest::hostilePageValuesReachRuffleAsData() {
    // Quotes of both kinds, a script's end, backslashes, the line separators a script may
    // not hold in a string before ES2019, bytes that are no UTF-8, and bulk: all of it within
    // one attribute, whose entities the page's reader decodes.
    std::string flashvars =
        "level=a\"b'c</script><script>window.pwned=1</script>\\\\');pellimor.play(9,{url:'x'})"
        "&x=\xE2\x80\xA8\xE2\x80\xA9&bad=\xFF\xFE&";
    std::string attribute;
    for (const char c : flashvars) {
        attribute += c == '"'   ? std::string("&quot;")
                     : c == '&' ? std::string("&amp;")
                                : std::string(1, c);
    }
    std::string bulk;
    while (bulk.size() < 60'000) {
        bulk += "pad=" + std::string(60, 'p') + "&";
    }
    flashvars += bulk + "end=1";
    for (const char c : bulk) {
        attribute += c == '&' ? std::string("&amp;") : std::string(1, c);
    }
    attribute += "end=1";
    const std::string page =
        "<embed src=\"main.swf\" width=\"100%\" height=\"100%\" "
        "base=\"javascript:window.pwned=2\" flashvars=\"" +
        attribute + "\">";
    PageWindow w({{"http://hostile.example/game/main.swf", PuzzleMovie()},
                  {"http://hostile.example/game/index.html", page},
                  {"http://hostile.example/other.swf", PuzzleMovie()}},
                 nullptr);
    QVERIFY2(w.problem.empty(), w.problem.c_str());
    Events events(w.Flash());
    QVERIFY(w.Select(QStringLiteral("main")));
    const PageEvent* played = WaitForPlayed(events, w.Flash());
    QVERIFY(played != nullptr);
    QCOMPARE(played->Field("parameters"), QString::fromStdString(flashvars));
    QCOMPARE(played->Field("base"), QStringLiteral("http://hostile.example/game/"));
    QVERIFY(WaitForFrame(events, w.Flash()));
    QVERIFY(events.Find(QStringLiteral("failed"), w.Flash()->currentLoad()) == nullptr);
    // The level parameter is asked of the cache as an address of the page, and nothing ran.
    const int load = w.Flash()->currentLoad();
    QVERIFY(RunUntil([&] { return !events.Urls(QStringLiteral("missing"), load).isEmpty(); }));
    QVERIFY(events.Urls(QStringLiteral("missing"), load)
                .first()
                .startsWith(QStringLiteral("http://hostile.example/game/a")));
    QVariant pwned;
    bool answered = false;
    w.Flash()->page()->runJavaScript(QStringLiteral("typeof window.pwned"), [&](const QVariant& v) {
        pwned = v;
        answered = true;
    });
    QVERIFY(RunUntil([&] { return answered; }));
    QCOMPARE(pwned.toString(), QStringLiteral("undefined"));
    QVERIFY(events.Find(QStringLiteral("frame"), 9) == nullptr);
    QCOMPARE(w.Flash()->page()->url(), QUrl(QString::fromLatin1(kPlayerPage)));
    // A percentage is no size: the player fills the preview.
    QCOMPARE(ViewGeometry(w.Flash()), w.Flash()->rect());
    // The tooltip keeps to short lines.
    const QString tip = w.dialog->Control(kIdAddress)->toolTip();
    QVERIFY2(tip.size() < 2000, qPrintable(tip.left(300)));
    QVERIFY(tip.contains(QStringLiteral("Sayfa (page): http://hostile.example/game/index.html")));
    // The player goes on with the next movie.
    QVERIFY(w.Select(QStringLiteral("other")));
    const PageEvent* next = WaitForPlayed(events, w.Flash());
    QVERIFY(next != nullptr);
    QCOMPARE(next->Field("parameters"), QString());
    QVERIFY(WaitForFrame(events, w.Flash()));
    QVERIFY(RunUntil([&] { return CountNear(Grab(w.Flash()), kPuzzle) >= kSquare; }));
    QCOMPARE(w.Flash()->blockedRequests(), 0);
}

}  // namespace pellimor

int main(int argc, char** argv) {
    pellimor::PrepareWebEngine();
    QApplication app(argc, argv);
    pellimor::PageParametersTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PageParametersTest.moc"
