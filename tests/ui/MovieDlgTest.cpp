// The real window, offscreen, on demo caches made by the container writer. The preview is
// turned off here (its own tests play movies): these are the window's rules.
#include <QLabel>
#include <QMessageBox>

#include "catalogue/DisplayTexts.h"
#include "ui/DialogHarness.h"
#include "ui/QtPrompts.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace pellimor {

class MovieDlgTest : public QObject {
    Q_OBJECT
  private slots:
    void controlTableRows();
    void buttonStates();
    void secondLineKeepsTheDetails();
    void aThousandOfTwelveHundredLines();
    void siteChoiceRefreshAndStartSite();
    void deleteAsksAndSilSaysWhyItCannot();
    void deleteFollowsTheSelectedLinesCache();
    void exportFromTheListsContextMenu();
    void saveSaveAsAndSaveAllSayWhereTheyWent();
    void openingAndWithoutAProgram();
    void aFolderThatCannotBeStoredIsSaid();
    void copyFailureBoxCarriesTheReason();
    void tabWalksEveryControl();
};

// The window as its template lays it out; a good cache has no note.
void MovieDlgTest::controlTableRows() {
    CapturedErrors errors;
    Harness h;
    CMovieDlg& dialog = h.Open();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Pellimor \u2014 ") + Q(h.cacheFolder));
    QVERIFY(dialog.windowIcon().availableSizes().contains(QSize(32, 32)));
    // DejaVu Sans 8 pt at 96 dpi: base units 7 x 13, worked out by hand below.
    const BaseUnits base = MeasureBaseUnits(dialog.font());
    QCOMPARE(base.x, 7);
    QCOMPARE(base.y, 13);
    QCOMPARE(dialog.size(), QSize(698, 486));              // 399 * 7 / 4, 299 * 13 / 8
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());  // cannot be resized
    QCOMPARE(dialog.Control(kIdSave)->geometry(), QRect(12, 424, 88, 23));
    QCOMPARE(dialog.Control(kIdMovies)->geometry(), QRect(12, 11, 221, 348));
    QCOMPARE(dialog.Control(kIdFrame)->geometry(), QRect(238, 11, 448, 348));
    for (const ControlSpec& spec : kControls) {
        // The player was moved into its frame; every other control is found by id and place.
        QWidget* w = spec.id == kIdPlayer ? dialog.Control(kIdPlayer) : nullptr;
        for (QObject* child : dialog.children()) {
            auto* widget = qobject_cast<QWidget*>(child);
            if (widget != nullptr && widget->property("ctrlId").toInt() == spec.id &&
                widget->geometry().topLeft() ==
                    ToPixels(base, spec.x, spec.y, spec.w, spec.h).topLeft()) {
                w = widget;
            }
        }
        QVERIFY2(w != nullptr, spec.caption.data());
        const QRect expected = ToPixels(base, spec.x, spec.y, spec.w, spec.h);
        if (spec.kind != ControlKind::kDropDown && spec.id != kIdPlayer) {
            QCOMPARE(w->geometry(), expected);
        }
        const QString caption =
            QString::fromUtf8(spec.caption.data(), static_cast<int>(spec.caption.size()));
        switch (spec.kind) {
            case ControlKind::kButton:
            case ControlKind::kDefaultButton:
                QCOMPARE(qobject_cast<QPushButton*>(w)->text(), caption);
                QCOMPARE(qobject_cast<QPushButton*>(w)->isDefault(),
                         spec.kind == ControlKind::kDefaultButton);
                break;
            case ControlKind::kReadOnlyEdit:
                QVERIFY(qobject_cast<QLineEdit*>(w)->isReadOnly());
                QVERIFY(!qobject_cast<QLineEdit*>(w)->hasFrame());
                break;
            case ControlKind::kLabel:
                QCOMPARE(qobject_cast<QLabel*>(w)->text(), caption);
                break;
            case ControlKind::kDropDown:
                QVERIFY(!qobject_cast<QComboBox*>(w)->isEditable());
                QCOMPARE(w->width(), expected.width());
                break;
            case ControlKind::kListBox:  // (its selection: the thousand lines' test)
                QCOMPARE(w->focusPolicy(), Qt::ClickFocus);  // no tab stop, yet clicked
                break;
            default:
                break;
        }
    }
    // The preview sits one pixel inside its frame, above it.
    QCOMPARE(h.Flash()->geometry(), dialog.Control(kIdFrame)->geometry().adjusted(1, 1, -1, -1));
    const auto children = dialog.children();
    QVERIFY(children.indexOf(h.Flash()) > children.indexOf(dialog.Control(kIdFrame)));
    QCOMPARE(dialog.cacheNote(), QString());
    QVERIFY(!h.Flash()->shownNote().contains(QStringLiteral("--cache")));
    QCOMPARE(errors.text(), std::string());
}

void MovieDlgTest::buttonStates() {
    Harness h;
    h.Open();
    const struct {
        std::vector<int> rows;
        bool selection;
        bool open;
    } cases[] = {
        {{}, false, false}, {{0}, true, true}, {{0, 3}, true, false}, {{1, 2, 5}, true, false}};
    for (const auto& c : cases) {
        auto* selection = h.List()->selectionModel();
        selection->clearSelection();
        for (int r : c.rows) {
            selection->select(h.List()->model()->index(r, 0), QItemSelectionModel::Select);
        }
        for (const int id : {kIdSave, kIdSaveAs, kIdDelete}) {
            QCOMPARE(h.Enabled(id), c.selection);
        }
        QCOMPARE(h.Enabled(kIdOpenMovie), c.open);
        QVERIFY(h.Enabled(kIdSaveAll));
    }
}

// The details follow the one line chosen; the size is the cached file's as it is when its
// movie is shown (a Refresh's scan looks up no sizes).
void MovieDlgTest::secondLineKeepsTheDetails() {
    Harness h;
    h.Open();
    CFlash_ctrl* flash = h.Flash();
    QCOMPARE(h.Text(kIdAddress),
             QStringLiteral("https://cdn.widgets.example/banner.swf?v=3"));  // first line
    QCOMPARE(flash->moviesSet(), 1);
    h.Select({h.Row("rain")});
    QCOMPARE(h.Text(kIdAddress), QStringLiteral("http://cartoons.example/shorts/rain.swf"));
    QCOMPARE(h.Text(kIdModified), QStringLiteral("Wed, 24 Jun 2009 12:30:00 GMT"));
    const QString rain = flash->movie();
    QVERIFY(rain.endsWith("rain[1].swf"));
    h.List()->selectionModel()->select(h.List()->model()->index(h.Row("snake"), 0),
                                       QItemSelectionModel::Select);
    QCOMPARE(h.Text(kIdAddress), QStringLiteral("http://cartoons.example/shorts/rain.swf"));
    QCOMPARE(flash->movie(), rain);
    h.Select({});
    QCOMPARE(h.Text(kIdAddress), QStringLiteral("http://cartoons.example/shorts/rain.swf"));
    test::WriteFile(rain.toStdString(), std::string(3000, 'x'));
    // The same movie again sets the same path again, and reads its size again.
    h.Select({h.Row("rain")});
    QCOMPARE(flash->moviesSet(), 3);
    QCOMPARE(h.Text(kIdSize), Q(FormatSizeText(3000)));
    // What is no file by then has no size, and the window does not wait on it.
    const struct {
        const char* what;
        int (*replace)(const char* path);
    } hostile[] = {
        {"FIFO", [](const char* p) { return ::mkfifo(p, 0600); }},
        {"link to /dev/zero", [](const char* p) { return ::symlink("/dev/zero", p); }},
        {"link to a folder", [](const char* p) { return ::symlink("/", p); }},
        {"gone", [](const char*) { return 0; }},
    };
    for (const auto& c : hostile) {
        const std::string path = rain.toStdString();
        QVERIFY2(::unlink(path.c_str()) == 0 && c.replace(path.c_str()) == 0, c.what);
        h.Select({h.Row("snake")});
        h.Select({h.Row("rain")});
        QVERIFY2(h.Text(kIdSize).isEmpty(), qPrintable(h.Text(kIdSize) + " for " + c.what));
    }
}

void MovieDlgTest::aThousandOfTwelveHundredLines() {
    CacheFiles many;
    for (int i = 0; i < 1200; ++i) {
        many.emplace_back("http://many.example/m" + std::to_string(i) + ".swf", "FWS");
    }
    Harness h(many);
    CMovieDlg& dialog = h.Open();
    QCOMPARE(h.List()->model()->rowCount(), 1200);
    h.List()->selectAll();
    QCOMPARE(dialog.GetSelItems(), 1000);
    QCOMPARE(dialog.selection()[0], 0);
    QCOMPARE(dialog.selection()[999], 999);
    h.Click(kIdSave);
    int saved = 0;
    for (const auto& entry : std::filesystem::directory_iterator(h.temp / "saved")) {
        saved += entry.is_regular_file() ? 1 : 0;
    }
    QCOMPARE(saved, 1000);
}

void MovieDlgTest::siteChoiceRefreshAndStartSite() {
    Harness h;
    h.Open();
    h.ChooseSite(QStringLiteral("cartoons.example"));
    QCOMPARE(h.List()->model()->rowCount(), 2);
    h.ChooseSite(strings::kLeftoverFiles);
    QCOMPARE(h.List()->model()->rowCount(), 2);
    QVERIFY(h.Row("orphan") >= 0);
    QVERIFY(h.Text(kIdAddress).endsWith("orphan[1].swf") ||
            h.Text(kIdAddress).endsWith("lostgame[1].swf"));
    QCOMPARE(h.Text(kIdModified), QString());
    h.Click(kIdRefresh);
    QCOMPARE(h.List()->model()->rowCount(), 2);
    QCOMPARE(h.Sites()->currentText(), Q(strings::Load(strings::kLeftoverFiles)));
    h.ChooseSite(strings::kAllSites);
    QCOMPARE(h.List()->model()->rowCount(), 12);
    // With the leftovers gone their listing is empty, and the details shown stay.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(h.cacheFolder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("orphan") || name.starts_with("lostgame")) {
            std::filesystem::remove(entry.path());
        }
    }
    const QString before = h.Text(kIdAddress);
    h.ChooseSite(strings::kLeftoverFiles);
    QCOMPARE(h.List()->model()->rowCount(), 0);
    QCOMPARE(h.Text(kIdAddress), before);
    QVERIFY(!h.Enabled(kIdSaveAll));
    QVERIFY(!h.Enabled(kIdSave));
    QCOMPARE(h.Sites()->currentText(), Q(strings::Load(strings::kLeftoverFiles)));
    // Started with /site:games: the item beginning with it, its movies only.
    Harness started;
    started.Open("games");
    QCOMPARE(started.Sites()->currentText(), QStringLiteral("games.arcade.example"));
    QCOMPARE(started.List()->model()->rowCount(), 2);
    Harness nowhere;
    nowhere.Open("nowhere.example");
    QCOMPARE(nowhere.Sites()->currentText(), Q(strings::Load(strings::kAllSites)));
    QCOMPARE(nowhere.dialog->listing().site, std::string());
}

// Two caches in one listing: Sil goes with the lines chosen. Chrome's cache, held open by a
// running program, cannot be changed; Internet Explorer's can.
void MovieDlgTest::deleteFollowsTheSelectedLinesCache() {
    Harness h(MadeCache{true});
    int status = -1;
    const std::string pid = test::RunCommand(
        "sh -c 'exec 3<\"" + h.cacheFolder + "/index\"; exec sleep 60' >/dev/null 2>&1 & echo $!",
        status);
    CMovieDlg& dialog = h.Open();
    QWidget* sil = dialog.Control(kIdDelete);
    h.Select({h.Row("rocket"), h.Row("snake")});  // the demo's, in Internet Explorer's cache
    QVERIFY(sil->isEnabled());
    QCOMPARE(sil->toolTip(), Q(strings::kDeleteTip));
    h.Select({h.Row("snake"), h.Row("puzzle")});  // puzzle is Chrome's
    QVERIFY(!sil->isEnabled());
    QVERIFY2(sil->toolTip().startsWith(QStringLiteral("Cannot delete: sleep (process ")),
             qPrintable(sil->toolTip()));
    test::RunCommand("kill " + pid, status);
    h.Select({h.Row("puzzle")});  // let go: the line may be deleted now
    QVERIFY(sil->isEnabled());
}

// The list's context menu exports the chosen movie whole, asking for what the cache cannot
// tell; what the game archive would still miss is said.
void MovieDlgTest::exportFromTheListsContextMenu() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    dialog.show();
    QAction* exportGame = h.MenuEntry(strings::kExportGame);
    QVERIFY(exportGame != nullptr);
    h.Select({h.Row("main")});
    h.prompts.folderAnswer = std::nullopt;  // cancelled: nothing more is asked
    exportGame->trigger();
    QVERIFY(h.prompts.textAsked.empty());
    test::MakeFolders(h.temp / "games");
    h.prompts.folderAnswer = h.temp / "games";
    h.prompts.textAnswers = {std::nullopt};  // no tags: the export is cancelled
    exportGame->trigger();
    QVERIFY(!QFileInfo::exists(Q(h.temp / "games/main")));
    h.prompts.textAsked.clear();
    h.prompts.textAnswers = {"Puzzle", ""};  // tags, and no language
    exportGame->trigger();
    QCOMPARE(h.prompts.textAsked.size(), std::size_t{2});
    QVERIFY(h.prompts.textAsked[0].starts_with("Tags of main "));
    QVERIFY(
        h.prompts.textAsked[1].starts_with("The cache does not say which language main speaks."));
    const std::string meta = test::ReadFile(h.temp / "games/main/meta.yaml");
    QVERIFY(meta.find("Tags: given in the window.") != std::string::npos);
    // Without a language and (the preview turned off) without pictures, it is not ready.
    QCOMPARE(h.prompts.errors.size(), std::size_t{1});
    QCOMPARE(h.prompts.errors[0], std::string("main: not ready to hand in to the game archive"));
    // (A missing language is the terminal's curation tests'; the window's hint is here.)
    const std::string& why = h.prompts.errorDetails[0];
    QVERIFY2(why.find("main: no logo.png or ss.png: no player can run here") != std::string::npos,
             why.c_str());
    QVERIFY2(why.find("give it in the window (ISO 639-1") != std::string::npos, why.c_str());
    QVERIFY(dialog.isEnabled());
}

// A copy made read-only (as root too: the mode bits decide): Sil is disabled and says why;
// made writable again, a Refresh brings it back, and it deletes once the user says yes to the
// question.
void MovieDlgTest::deleteAsksAndSilSaysWhyItCannot() {
    Harness h;
    int status = 0;
    test::RunCommand("chmod -R a-w '" + h.temp.path() + "/profile'", status);
    QCOMPARE(status, 0);
    CMovieDlg& dialog = h.Open();
    QWidget* sil = dialog.Control(kIdDelete);
    h.Select({h.Row("rocket"), h.Row("snake")});
    QVERIFY(h.Enabled(kIdSave));
    QVERIFY(!sil->isEnabled());
    const QString why = QStringLiteral("Cannot delete: ") + Q(h.cache->CanDelete().error());
    QVERIFY2(why.endsWith(QStringLiteral("/index.dat is read-only")), qPrintable(why));
    QCOMPARE(ToolTipShown(sil), why);
    h.Click(kIdDelete);
    QVERIFY(h.prompts.questions.empty());
    QCOMPARE(h.List()->model()->rowCount(), 12);

    test::RunCommand("chmod -R u+w '" + h.temp.path() + "/profile'", status);
    QCOMPARE(status, 0);
    h.Click(kIdRefresh);
    // Listed anew with its first line selected, as at the start.
    QCOMPARE(h.List()->selectionModel()->selectedRows(),
             QModelIndexList{h.List()->model()->index(0, 0)});
    QVERIFY(h.Enabled(kIdSave));
    h.Select({h.Row("rocket"), h.Row("snake")});
    QVERIFY(sil->isEnabled());
    QCOMPARE(ToolTipShown(sil), Q(strings::kDeleteTip));  // its meaning again, no reason
    h.prompts.yes = false;
    h.Click(kIdDelete);
    QCOMPARE(h.prompts.questions, (std::vector<std::string>{"Are you sure?"}));
    QCOMPARE(h.List()->model()->rowCount(), 12);
    QCOMPARE(h.List()->selectionModel()->selectedIndexes().size(), 2);
    h.prompts.yes = true;
    h.Click(kIdDelete);
    QCOMPARE(h.prompts.questions.size(), std::size_t{2});
    QCOMPARE(h.List()->model()->rowCount(), 10);
    QCOMPARE(h.Row("rocket"), -1);  // listed anew from the cache
}

// Each save says for a few seconds over the preview how many went where, then goes; Save As
// asks for the name (an extension it gives is the movie's), and a
// failed save says nothing there.
void MovieDlgTest::saveSaveAsAndSaveAllSayWhereTheyWent() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    const QString saved = Q(h.temp / "saved");
    QCOMPARE(dialog.transientNote(), QString());
    h.Select({h.Row("rain")});
    h.Click(kIdSave);
    QCOMPARE(dialog.transientNote(), QStringLiteral("1 movie saved in ") + saved);
    h.prompts.saveAnswers = {std::nullopt};
    h.Click(kIdSaveAs);
    QCOMPARE(h.prompts.saveAsked.size(), std::size_t{1});
    QCOMPARE(h.prompts.saveAsked[0].second, std::string("rain"));
    QVERIFY(!test::FileExists(h.temp / "saved/rain01.swf"));
    test::MakeFolders(h.temp / "other");
    h.prompts.saveAnswers = {h.temp / "other/storm.txt"};
    h.Click(kIdSaveAs);
    QVERIFY(test::FileExists(h.temp / "other/storm.swf"));
    QCOMPARE(dialog.transientNote(), QStringLiteral("1 movie saved in ") + Q(h.temp / "other"));
    h.ChooseSite(QStringLiteral("cartoons.example"));
    h.Click(kIdSaveAll);
    QVERIFY(h.prompts.errors.empty());
    QCOMPARE(dialog.transientNote(),
             QStringLiteral("%1 movies saved in ").arg(h.List()->model()->rowCount()) + saved);
    Screenshot(&dialog, "saved");
    QTRY_COMPARE_WITH_TIMEOUT(dialog.transientNote(), QString(), 20'000);  // it goes by itself
    // A save folder that is not there: one message, nothing saved, no note.
    SetSavePath(h.registry, h.temp / "gone");
    h.Click(kIdSaveAll);
    QCOMPARE(h.prompts.errors.size(), std::size_t{1});
    QCOMPARE(h.prompts.errorDetails[0],
             std::string(std::strerror(ENOENT)) + "\nFolder: " + (h.temp / "gone"));
    QCOMPARE(dialog.transientNote(), QString());
}

// The save folder and the movie of one line open with the desktop's program; where there is
// none, the window says so over the preview and on standard error.
void MovieDlgTest::openingAndWithoutAProgram() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    h.Click(kIdOpenFolder);
    QCOMPARE(h.shell.opened, (std::vector<std::string>{h.temp / "saved"}));
    QCOMPARE(dialog.transientNote(), QString());  // opened: nothing to say
    h.Select({h.Row("rain")});
    h.Click(kIdOpenMovie);
    QCOMPARE(h.shell.opened.size(), std::size_t{2});
    QVERIFY(h.shell.opened[1].ends_with("rain[1].swf"));
    h.Select({h.Row("rain"), h.Row("snake")});
    h.dialog->OnOpenMovie();  // with two lines nothing opens
    QCOMPARE(h.shell.opened.size(), std::size_t{2});
    h.shell.hasProgram = false;
    {
        CapturedErrors errors;
        h.Click(kIdOpenFolder);
        QCOMPARE(dialog.transientNote(),
                 QStringLiteral("No program was found to open ") + Q(h.temp / "saved"));
        QCOMPARE(QString::fromStdString(errors.text()),
                 QStringLiteral("pellimor: ") + dialog.transientNote() + "\n");
    }
    h.Select({h.Row("rain")});
    h.Click(kIdOpenMovie);
    QVERIFY(dialog.transientNote().startsWith(QStringLiteral("No program was found to open ")));
    QVERIFY(dialog.transientNote().endsWith(QStringLiteral("rain[1].swf")));
    QCOMPARE(h.shell.opened.size(), std::size_t{4});
}

// Klasör Seç: a folder chosen is stored; one the settings file cannot take is said, with why,
// and the settings file is left as it was.
void MovieDlgTest::aFolderThatCannotBeStoredIsSaid() {
    Harness h;
    h.Open();
    test::MakeFolders(h.temp / "chosen");
    h.prompts.folderAnswer = h.temp / "chosen";
    h.Click(kIdChooseFolder);
    QVERIFY(h.prompts.errors.empty());
    QCOMPARE(GetSavePath(h.registry, h.temp / "home"), h.temp / "chosen");
    const std::string hive = h.temp / "config/Tavrik/hkcu.reg";
    test::WriteFile(hive, "colour=blue\n");
    h.prompts.folderAnswer = h.temp / "saved";
    h.Click(kIdChooseFolder);
    QCOMPARE(h.prompts.errors.size(), std::size_t{1});
    const std::string said = h.prompts.errors[0];
    QVERIFY2(said.starts_with("the save folder was not stored: "), said.c_str());
    QVERIFY2(said.find("not registry text") != std::string::npos, said.c_str());
    QCOMPARE(test::ReadFile(hive), std::string("colour=blue\n"));
}

// The real box: the copy-failure text as it is, the reason and folder beneath it.
void MovieDlgTest::copyFailureBoxCarriesTheReason() {
    QtPrompts prompts(nullptr);
    QString text;
    QString informative;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        text = box->text();
        informative = box->informativeText();
        box->accept();
    });
    const std::string failed = std::string(strings::Load(strings::kCopyFailed)) + "intro";
    prompts.ShowErrorDetails(failed, "No such file or directory\nFolder: /nowhere");
    QCOMPARE(text, Q(failed));
    QCOMPARE(informative, QStringLiteral("No such file or directory\nFolder: /nowhere"));
}

// With the preview off (its own tests walk it with the player running).
void MovieDlgTest::tabWalksEveryControl() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    WalkTheTabOrder(dialog);
    // With nothing selected, the disabled buttons are left out.
    h.List()->selectionModel()->clearSelection();
    QVERIFY(!h.Enabled(kIdSave));
    dialog.Control(kIdSites)->setFocus();  // the last in template order
    const std::vector<QWidget*> stops = EnabledTabStops(dialog);
    QTest::keyClick(dialog.windowHandle(), Qt::Key_Tab);
    QCOMPARE(ControlOf(dialog, QApplication::focusWidget()), stops.front());
}

int RunDialogTextsTests(int argc, char** argv);
int RunDesktopShellTests(int argc, char** argv);

}  // namespace pellimor

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setAttribute(Qt::AA_Use96Dpi, true);
    pellimor::MovieDlgTest test;
    const int failed = QTest::qExec(&test, argc, argv);
    return failed + pellimor::RunDialogTextsTests(argc, argv) +
           pellimor::RunDesktopShellTests(argc, argv);
}

#include "MovieDlgTest.moc"
