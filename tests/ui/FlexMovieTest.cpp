// A real Flex movie in the preview: media9's audio player (tests/data/swf), an ActionScript 3
// application that talks to its page and draws its interface into bitmaps. Without its page's
// parameters it shows an alert about its missing media; a blank stage means it did not start.
#include <QApplication>
#include <QDirIterator>
#include <QFileInfo>

#include "PlayerHarness.h"
#include "ui/player/PlayerScheme.h"

namespace pellimor {

namespace {

using test::RunUntil;

// Pixels of the image within a few steps of white, and those farther from it.
struct Whites {
    int white = 0;
    int other = 0;
};
Whites CountWhite(const QImage& image) {
    const int white = test::CountNear(image, 0xFFFFFF, 10);
    return {white, image.width() * image.height() - white};
}

// The application's grey background covers the 446 x 346 preview; its alert is a white box
// of some 180 x 50 pixels on it. A blank stage is white all over.
constexpr int kBackgroundPixels = 60000;
constexpr int kAlertPixels = 5000;

bool ShowsTheAlert(const QImage& image) {
    const Whites count = CountWhite(image);
    return count.other >= kBackgroundPixels && count.white >= kAlertPixels;
}

// The renderer Ruffle says it took, from its log line.
std::string UsedRenderer(const std::string& log) {
    const std::string said = "Used renderer: ";
    const std::size_t at = log.find(said);
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t from = at + said.size();
    return log.substr(from, log.find_first_of(")\n ", from) - from);
}

// The folder of the cache's first file whose name matches this pattern, or empty.
std::string FolderOf(const std::string& root, const QString& name) {
    QDirIterator it(QString::fromStdString(root), {name}, QDir::Files,
                    QDirIterator::Subdirectories);
    return it.hasNext() ? QFileInfo(it.next()).absolutePath().toStdString() : std::string();
}

}  // namespace

class FlexMovieTest : public QObject {
    Q_OBJECT
  private slots:
    void aFlexPlayerShowsItsInterface();
};

void FlexMovieTest::aFlexPlayerShowsItsInterface() {
    Harness h;
    // Left in a cache folder with no entry, it plays by its path.
    const std::string folder = FolderOf(h.cacheFolder, QStringLiteral("orphan*.swf"));
    QVERIFY(!folder.empty());
    test::WriteFile(folder + "/APlayer[1].swf",
                    test::ReadFile(PELLIMOR_TEST_DATA "/swf/APlayer.swf"));
    qputenv("PELLIMOR_PLAYER_LOG", "1");
    CapturedErrors log;
    CMovieDlg& dialog = h.Open();
    dialog.show();
    h.ChooseSite(strings::kLeftoverFiles);
    QVERIFY(h.Select(QStringLiteral("APlayer")));
    CFlash_ctrl* flash = h.Flash();
    QVERIFY(flash->movie().contains(QLatin1String("APlayer")));
    const auto preview = [&] { return test::Grab(flash); };
    // Whether the engine gives the page WebGL.
    const bool hasWebGl =
        test::Ask(
            flash->page(),
            QStringLiteral("(() => { const c = document.createElement('canvas');"
                           " return !!(c.getContext('webgl2') || c.getContext('webgl')); })()"))
            .toBool();
    // Without WebGL Ruffle's canvas cannot draw into bitmaps: the application starts, its
    // alert never comes. Wait for the alert, or for the application's background and a while.
    const bool shown = RunUntil([&] {
        return ShowsTheAlert(preview()) ||
               (!hasWebGl && CountWhite(preview()).other >= kBackgroundPixels &&
                log.text().find("BitmapData.draw") != std::string::npos);
    });
    const QImage shot = preview();
    Screenshot(flash, "flex");
    const std::string text = log.text();
    qunsetenv("PELLIMOR_PLAYER_LOG");
    const Whites count = CountWhite(shot);
    const QString said = QStringLiteral("WebGL %1, %2 pixels white, %3 not; the player said:\n%4")
                             .arg(hasWebGl)
                             .arg(count.white)
                             .arg(count.other)
                             .arg(QString::fromStdString(text));
    QVERIFY2(shown, qPrintable(said));
    // The movie talks to its page.
    QVERIFY2(text.find("ExternalInterface is not available") == std::string::npos,
             qPrintable(said));
    // WebGL where the engine gives it, the canvas only where it does not; where a display
    // has it (Xvfb's Mesa), the engine must give it.
    if (qEnvironmentVariableIsSet("PELLIMOR_EXPECT_WEBGL")) {
        QVERIFY2(hasWebGl, qPrintable(said));
    }
    const std::string renderer = UsedRenderer(text);
    QVERIFY2(hasWebGl ? renderer.find("webgl") != std::string::npos : renderer == "canvas",
             qPrintable(said));
    if (hasWebGl) {
        QVERIFY2(ShowsTheAlert(shot), qPrintable(said));
        QVERIFY2(text.find("does not support BitmapData.draw") == std::string::npos,
                 qPrintable(said));
    }
    QCOMPARE(flash->blockedRequests(), 0);
}

}  // namespace pellimor

int main(int argc, char** argv) {
    pellimor::PrepareWebEngine();
    QApplication application(argc, argv);
    pellimor::FlexMovieTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FlexMovieTest.moc"
