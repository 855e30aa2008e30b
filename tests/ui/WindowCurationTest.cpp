// The window's export as the web-game archive takes a curation: the tags asked for, the
// pictures taken by the window's own player offscreen, the folder checked against an offline
// statement of the archive's rules (tests/files/curation-rules.py).
#include <QApplication>
#include <QImage>

#include "resources/Strings.h"
#include "ui/DialogHarness.h"
#include "ui/QtText.h"
#include "ui/player/PlayerScheme.h"

namespace pellimor {

class WindowCurationTest : public QObject {
    Q_OBJECT
  private slots:
    void theDemoPuzzleIsReadyToHandIn();
};

void WindowCurationTest::theDemoPuzzleIsReadyToHandIn() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    dialog.show();
    QAction* exportGame = nullptr;
    for (QAction* action : h.List()->actions()) {
        if (action->text() == Q(strings::kExportGame)) {
            exportGame = action;
        }
    }
    QVERIFY(exportGame != nullptr);
    h.Select({h.Row(QStringLiteral("main"))});
    test::MakeFolders(h.temp / "games");
    h.prompts.folderAnswer = h.temp / "games";
    h.prompts.textAnswers = {"Puzzle;Logic", "en"};  // the tags, then the language
    exportGame->trigger();
    // The export waits for the preview's player to tell what the game saved.
    const std::string game = h.temp / "games/main";
    QTRY_VERIFY_WITH_TIMEOUT(test::FileExists(game + "/ss.png") && dialog.isEnabled(), 120000);
    QCOMPARE(h.prompts.textAsked.size(), std::size_t{2});
    QVERIFY2(h.prompts.errors.empty(),
             qPrintable(Q(h.prompts.errors.empty()
                              ? ""
                              : h.prompts.errors.front() + "\n" + h.prompts.errorDetails.front())));
    int status = -1;
    const std::string faults =
        test::RunCommand("python3 '" + std::string(PELLIMOR_SOURCE_DIR) +
                             "/tests/files/curation-rules.py' '" + game + "' 2>&1",
                         status);
    QVERIFY2(status == 0, faults.c_str());
    QVERIFY(test::ReadFile(game + "/meta.yaml").find("Tags: \"Puzzle; Logic\"") !=
            std::string::npos);
    // The movie's own pictures at its stage size, not the window's preview; the logo is its
    // first frame, the screenshot one a few seconds on.
    QImage logo;
    QImage shot;
    QVERIFY(logo.load(Q(game + "/logo.png")));
    QVERIFY(shot.load(Q(game + "/ss.png")));
    QCOMPARE(logo.size(), shot.size());
    QVERIFY(shot.size() != dialog.Control(kIdPlayer)->size());
    QVERIFY(logo != shot);
    QVERIFY(dialog.isEnabled());
}

}  // namespace pellimor

int main(int argc, char** argv) {
    pellimor::PrepareWebEngine();
    QApplication application(argc, argv);
    pellimor::WindowCurationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WindowCurationTest.moc"
