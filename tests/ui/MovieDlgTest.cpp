// The real window, offscreen, on demo caches made by the container writer. The preview is
// turned off here (its own tests play movies): these are the window's rules.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QToolTip>
#include <QtTest>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "resources/Strings.h"
#include "ui/DialogHarness.h"
#include "ui/QtText.h"

namespace pellimor {

class MovieDlgTest : public QObject {
    Q_OBJECT
  private slots:
    void controlTableRows();
    void previewSitsOnePixelInsideItsFrame();
    void buttonStates();
    void secondLineKeepsTheDetails();
    void aThousandOfTwelveHundredLines();
    void emptyLeftoverListingKeepsDetails();
    void siteChoiceRefreshAndStartSite();
    void deleteYesAndNo();
    void deleteDisabledOnReadOnlyCache();
    void readOnlyOptionKeepsDeleteDisabled();
    void saveSaveAsAndSaveAll();
    void foldersAndOpening();
    void screenshot();
};

void MovieDlgTest::controlTableRows() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Pellimor"));
    QVERIFY(!dialog.windowIcon().isNull());
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
    std::vector<QWidget*> tabStops;
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
                tabStops.push_back(w);
                break;
            case ControlKind::kReadOnlyEdit:
                QVERIFY(qobject_cast<QLineEdit*>(w)->isReadOnly());
                QVERIFY(!qobject_cast<QLineEdit*>(w)->hasFrame());
                tabStops.push_back(w);
                break;
            case ControlKind::kLabel:
                QCOMPARE(qobject_cast<QLabel*>(w)->text(), caption);
                break;
            case ControlKind::kListBox:
                QCOMPARE(qobject_cast<QListView*>(w)->selectionMode(),
                         QAbstractItemView::ExtendedSelection);
                QCOMPARE(w->focusPolicy(), Qt::ClickFocus);
                break;
            case ControlKind::kDropDown:
                QVERIFY(!qobject_cast<QComboBox*>(w)->isEditable());
                QCOMPARE(w->geometry().topLeft(), expected.topLeft());
                QCOMPARE(w->width(), expected.width());
                tabStops.push_back(w);
                break;
            case ControlKind::kPlayer:
                QVERIFY(qobject_cast<CFlash_ctrl*>(w) != nullptr);
                tabStops.push_back(w);
                break;
            case ControlKind::kFrame:
                QCOMPARE(qobject_cast<QFrame*>(w)->frameShape(), QFrame::Box);
                break;
        }
    }
    QVERIFY(tabStops.size() == 14);
    for (std::size_t i = 0; i + 1 < tabStops.size(); ++i) {
        QWidget* next = tabStops[i]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus || next->focusPolicy() == Qt::ClickFocus) {
            next = next->nextInFocusChain();
        }
        QCOMPARE(next, tabStops[i + 1]);
    }
}

void MovieDlgTest::previewSitsOnePixelInsideItsFrame() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    QCOMPARE(dialog.Control(kIdPlayer)->geometry(),
             dialog.Control(kIdFrame)->geometry().adjusted(1, 1, -1, -1));
    // The player stands above its frame.
    const auto children = dialog.children();
    QVERIFY(children.indexOf(dialog.Control(kIdPlayer)) >
            children.indexOf(dialog.Control(kIdFrame)));
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
        for (const int id : {kIdRefresh, kIdChooseFolder, kIdOpenFolder, kIdClose}) {
            QVERIFY(h.Enabled(id));
        }
    }
}

void MovieDlgTest::secondLineKeepsTheDetails() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    auto* flash = static_cast<CFlash_ctrl*>(dialog.Control(kIdPlayer));
    QCOMPARE(h.Text(kIdAddress),
             QStringLiteral("https://cdn.widgets.example/banner.swf?v=3"));  // first line
    QCOMPARE(flash->moviesSet(), 1);
    h.Select({h.Row("rain")});
    QCOMPARE(h.Text(kIdAddress), QStringLiteral("http://cartoons.example/shorts/rain.swf"));
    QVERIFY(h.Text(kIdSize).endsWith(" KB"));
    QCOMPARE(h.Text(kIdModified), QStringLiteral("Wed, 24 Jun 2009 12:30:00 GMT"));
    QVERIFY(flash->movie().endsWith("rain[1].swf"));
    h.List()->selectionModel()->select(h.List()->model()->index(h.Row("snake"), 0),
                                       QItemSelectionModel::Select);
    QCOMPARE(h.Text(kIdAddress), QStringLiteral("http://cartoons.example/shorts/rain.swf"));
    QVERIFY(flash->movie().endsWith("rain[1].swf"));
    QVERIFY(!h.Enabled(kIdOpenMovie));
    h.Select({});
    QCOMPARE(h.Text(kIdAddress), QStringLiteral("http://cartoons.example/shorts/rain.swf"));
    QVERIFY(!h.Enabled(kIdSave));
    // The same movie again sets the same path again.
    h.Select({h.Row("rain")});
    QCOMPARE(flash->moviesSet(), 3);
}

void MovieDlgTest::aThousandOfTwelveHundredLines() {
    Harness h(1200);
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

void MovieDlgTest::emptyLeftoverListingKeepsDetails() {
    Harness h;
    // Remove the demo's leftovers so that the leftover listing is empty.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(h.cacheFolder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("orphan", 0) == 0 || name.rfind("lostgame", 0) == 0) {
            std::filesystem::remove(entry.path());
        }
    }
    h.Open();
    const QString before = h.Text(kIdAddress);
    h.ChooseSite(QString::fromUtf8(strings::Load(strings::kLeftoverFiles).data()));
    QCOMPARE(h.List()->model()->rowCount(), 0);
    QCOMPARE(h.Text(kIdAddress), before);
    QVERIFY(!h.Enabled(kIdSaveAll));
    QVERIFY(!h.Enabled(kIdSave));
    QCOMPARE(h.Sites()->currentText(),
             QString::fromUtf8(strings::Load(strings::kLeftoverFiles).data()));
}

void MovieDlgTest::siteChoiceRefreshAndStartSite() {
    Harness h;
    h.Open();
    h.ChooseSite(QStringLiteral("cartoons.example"));
    QCOMPARE(h.List()->model()->rowCount(), 2);
    h.ChooseSite(QString::fromUtf8(strings::Load(strings::kLeftoverFiles).data()));
    QCOMPARE(h.List()->model()->rowCount(), 2);
    QVERIFY(h.Row("orphan") >= 0);
    QVERIFY(h.Text(kIdAddress).endsWith("orphan[1].swf") ||
            h.Text(kIdAddress).endsWith("lostgame[1].swf"));
    QCOMPARE(h.Text(kIdModified), QString());
    h.Click(kIdRefresh);
    QCOMPARE(h.List()->model()->rowCount(), 2);
    QCOMPARE(h.Sites()->currentText(),
             QString::fromUtf8(strings::Load(strings::kLeftoverFiles).data()));
    h.ChooseSite(QString::fromUtf8(strings::Load(strings::kAllSites).data()));
    QCOMPARE(h.List()->model()->rowCount(), 12);
    // Started with /site:games: the item beginning with it, its movies only.
    Harness started;
    started.Open("games");
    QCOMPARE(started.Sites()->currentText(), QStringLiteral("games.arcade.example"));
    QCOMPARE(started.List()->model()->rowCount(), 2);
    Harness nowhere;
    nowhere.Open("nowhere.example");
    QCOMPARE(nowhere.Sites()->currentText(),
             QString::fromUtf8(strings::Load(strings::kAllSites).data()));
    QCOMPARE(nowhere.dialog->listing().site, std::string());
}

void MovieDlgTest::deleteYesAndNo() {
    Harness h;
    h.Open();
    h.Select({h.Row("rocket"), h.Row("snake")});
    h.prompts.yes = false;
    h.Click(kIdDelete);
    QCOMPARE(h.prompts.questions, (std::vector<std::string>{"Are you sure?"}));
    QCOMPARE(h.List()->model()->rowCount(), 12);
    QCOMPARE(h.List()->selectionModel()->selectedIndexes().size(), 2);
    h.prompts.yes = true;
    h.Click(kIdDelete);
    QCOMPARE(h.List()->model()->rowCount(), 10);
    QCOMPARE(h.Row("rocket"), -1);
    IndexDatCache fresh(h.cacheFolder, 1252);
    int records = 0;
    fresh.Enumerate([&](const CacheRecord& r) {
        records += r.url && r.url->find("rocket") != std::string::npos && r.localFileName ? 1 : 0;
        return true;
    });
    QCOMPARE(records, 0);
}

namespace {

// The tooltip a pointer resting on the button would show (also on a disabled one).
QString ToolTipShown(QWidget* button) {
    QToolTip::hideText();
    const QPoint centre = button->rect().center();
    QHelpEvent hover(QEvent::ToolTip, centre, button->mapToGlobal(centre));
    QApplication::sendEvent(button, &hover);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

void ExpectSilKeptItsPlace(CMovieDlg& dialog) {
    QWidget* sil = dialog.Control(kIdDelete);
    QCOMPARE(sil->property("ctrlId").toInt(), kIdDelete);
    QCOMPARE(static_cast<QPushButton*>(sil)->text(), QStringLiteral("Sil"));
    QCOMPARE(sil->geometry(), ToPixels(MeasureBaseUnits(dialog.font()), 61, 244, 50, 14));
}

}  // namespace

// A copy made read-only (as root too: the mode bits decide): Sil is disabled and says why;
// made writable again, a Refresh brings it back.
void MovieDlgTest::deleteDisabledOnReadOnlyCache() {
    Harness h;
    int status = 0;
    test::RunCommand("chmod -R a-w '" + h.temp.path() + "/profile'", status);
    QCOMPARE(status, 0);
    CMovieDlg& dialog = h.Open();
    QWidget* sil = dialog.Control(kIdDelete);
    h.Select({h.Row("rocket"), h.Row("snake")});
    QVERIFY(h.Enabled(kIdSave));
    QVERIFY(!sil->isEnabled());
    const QString why = QStringLiteral("Cannot delete: ") + Q(h.cache->ReadOnlyReason());
    QVERIFY2(why.endsWith(QStringLiteral("/index.dat is read-only")), qPrintable(why));
    QCOMPARE(sil->toolTip(), why);
    QCOMPARE(ToolTipShown(sil), why);
    ExpectSilKeptItsPlace(dialog);
    h.Click(kIdDelete);
    QVERIFY(h.prompts.questions.empty());
    QCOMPARE(h.List()->model()->rowCount(), 12);

    test::RunCommand("chmod -R u+w '" + h.temp.path() + "/profile'", status);
    QCOMPARE(status, 0);
    h.Click(kIdRefresh);
    h.Select({h.Row("rocket")});
    QVERIFY(sil->isEnabled());
    QCOMPARE(sil->toolTip(), QString());
    QCOMPARE(ToolTipShown(sil), QString());
    ExpectSilKeptItsPlace(dialog);
    h.Click(kIdDelete);
    QCOMPARE(h.prompts.questions.size(), std::size_t{1});
    QCOMPARE(h.Row("rocket"), -1);
}

// pellimor --read-only: the options reach the window's cache, whatever the files allow.
void MovieDlgTest::readOnlyOptionKeepsDeleteDisabled() {
    Harness h;
    CMovieApp app;
    app.InitInstance({"--read-only", "--cache", h.cacheFolder});
    Session session(app.m_options);
    struct CloseFirst {
        Harness& h;
        ~CloseFirst() { h.dialog.reset(); }  // the window goes before the session it uses
    } closeFirst{h};
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    h.dialog =
        std::make_unique<CMovieDlg>(DialogServices{session.listing(), session.files(), h.registry,
                                                   h.prompts, h.shell, h.temp / "home"},
                                    app.m_strInitialSite, font);
    QCOMPARE(h.List()->model()->rowCount(), 12);
    const QString why =
        QStringLiteral("Cannot delete: the cache was opened read-only (--read-only)");
    for (int round = 0; round < 2; ++round) {
        h.Select({h.Row("rain")});
        QVERIFY(h.Enabled(kIdSave));
        QVERIFY(!h.Enabled(kIdDelete));
        QCOMPARE(ToolTipShown(h.dialog->Control(kIdDelete)), why);
        h.Click(kIdRefresh);  // the option holds after a Refresh
    }
    QVERIFY(h.prompts.questions.empty());
}

void MovieDlgTest::saveSaveAsAndSaveAll() {
    Harness h;
    h.Open();
    h.Select({h.Row("rain")});
    h.Click(kIdSave);
    h.Click(kIdSave);
    QVERIFY(test::FileExists(h.temp / "saved/rain.swf"));
    QVERIFY(test::FileExists(h.temp / "saved/rain01.swf"));
    h.prompts.saveAnswers = {std::nullopt};
    h.Click(kIdSaveAs);
    QCOMPARE(h.prompts.saveAsked.size(), std::size_t{1});
    QCOMPARE(h.prompts.saveAsked[0].second, std::string("rain"));
    QVERIFY(!test::FileExists(h.temp / "saved/rain02.swf"));
    h.prompts.saveAnswers = {h.temp / "saved/storm.txt"};
    h.Click(kIdSaveAs);
    QVERIFY(test::FileExists(h.temp / "saved/storm.swf"));
    h.ChooseSite(QStringLiteral("cartoons.example"));
    h.Click(kIdSaveAll);
    QVERIFY(test::FileExists(h.temp / "saved/intro.swf"));
    QVERIFY(test::FileExists(h.temp / "saved/rain02.swf"));
    QVERIFY(h.prompts.errors.empty());
}

void MovieDlgTest::foldersAndOpening() {
    Harness h;
    h.Open();
    test::MakeFolders(h.temp / "chosen");
    h.prompts.saveAnswers.clear();
    h.Click(kIdOpenFolder);
    QCOMPARE(h.shell.opened, (std::vector<std::string>{h.temp / "saved"}));
    h.Select({h.Row("rain")});
    h.Click(kIdOpenMovie);
    QCOMPARE(h.shell.opened.size(), std::size_t{2});
    QVERIFY(h.shell.opened[1].ends_with("rain[1].swf"));
    h.Select({h.Row("rain"), h.Row("snake")});
    h.dialog->OnOpenMovie();  // with two lines nothing opens
    QCOMPARE(h.shell.opened.size(), std::size_t{2});
}

void MovieDlgTest::screenshot() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    h.Select({h.Row("main")});
    const QString out = qEnvironmentVariable("PELLIMOR_SCREENSHOT");
    if (!out.isEmpty()) {
        dialog.show();
        QTest::qWait(200);
        QVERIFY(dialog.grab().save(out));
    }
    QVERIFY(!dialog.grab().isNull());
}

}  // namespace pellimor

QTEST_MAIN(pellimor::MovieDlgTest)
#include "MovieDlgTest.moc"
