// The window's texts as the user reads them: every caption whole in its control with the font
// in use, a tooltip on every button and field that gives the English meaning, and what the
// window says of the cache pellimor was started on (as main builds it from its arguments).
// The real window, offscreen, with the preview turned off.
#include <QFontInfo>
#include <QLabel>
#include <QStyle>
#include <QStyleOption>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "platform/webcache/RealWebCache.h"
#include "ui/DialogHarness.h"

#include <sys/stat.h>

namespace pellimor {

namespace {

// The window as the program opens it: with no font of its own, so the application's counts.
CMovieDlg& OpenAsTheProgramDoes(Harness& h) {
    h.dialog = std::make_unique<CMovieDlg>(
        DialogServices{*h.listing, h.registry, h.prompts, h.shell, h.tools.decompressor,
                       h.tools.exportFolders, h.temp / "home"},
        std::string());
    return *h.dialog;
}

// Every caption that does not fit, as "caption: needed > available" lines.
QStringList CaptionsCutOff(CMovieDlg& dialog) {
    QStringList cut;
    const auto check = [&cut](const QString& text, int needed, int available) {
        if (needed > available) {
            cut << QStringLiteral("%1: %2 > %3").arg(text).arg(needed).arg(available);
        }
    };
    for (QObject* child : dialog.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget == nullptr || !widget->property("ctrlId").isValid()) {
            continue;
        }
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            check(label->text(), label->fontMetrics().horizontalAdvance(label->text()),
                  label->contentsRect().width());
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const int room = button->style()
                                 ->subElementRect(QStyle::SE_PushButtonContents, &option, button)
                                 .width() -
                             button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
            check(button->text(), button->fontMetrics().horizontalAdvance(button->text()), room);
        } else if (auto* sites = qobject_cast<QComboBox*>(widget)) {
            // The fixed items, each as the closed drop-down shows it when chosen.
            const int chosen = sites->currentIndex();
            for (const int id : {strings::kAllSites, strings::kLeftoverFiles}) {
                sites->setCurrentIndex(sites->findText(Q(strings::Load(id))));
                QStyleOptionComboBox option;
                option.initFrom(sites);
                option.editable = false;
                option.frame = true;
                option.currentText = sites->currentText();
                const QRect field = sites->style()->subControlRect(
                    QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, sites);
                check(option.currentText,
                      sites->fontMetrics().horizontalAdvance(option.currentText), field.width());
            }
            sites->setCurrentIndex(chosen);
        }
    }
    return cut;
}

// The window on the session pellimor starts with these arguments, as main builds it.
struct SessionWindow {
    Harness h;
    CMovieApp app;
    std::unique_ptr<Session> session;
    CapturedErrors errors;

    explicit SessionWindow(const std::vector<std::string>& arguments) {
        app.InitInstance(arguments);
        session = std::make_unique<Session>(app.m_options);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(8);
        h.dialog = std::make_unique<CMovieDlg>(
            DialogServices{session->listing(), h.registry, h.prompts, h.shell,
                           session->tools().decompressor, session->tools().exportFolders,
                           h.temp / "home",
                           CacheProblem(session->cacheFolder(), !session->cache().sources().empty(),
                                        session->problems())},
            app.m_strInitialSite, font);
    }
    ~SessionWindow() { h.dialog.reset(); }  // the window goes before the session it uses
};

QFont Font(const char* family, double points) {
    QFont font{QLatin1String(family)};
    font.setPointSizeF(points);
    return font;
}

}  // namespace

class DialogTextsTest : public QObject {
    Q_OBJECT
  private slots:
    void everyCaptionFitsWithTheFontInUse();
    void everyButtonAndFieldExplainsItselfInEnglish();
    void readOnlyOptionKeepsDeleteDisabled();
    void noCacheSaysWhatWentWrong();
    void aWebCacheCopiedWhileWindowsRanSaysSo();
};

void DialogTextsTest::everyCaptionFitsWithTheFontInUse() {
    const QFont given = QApplication::font();
    // The application's own font first (DejaVu Sans 9 here, where "Dosya Boyutu:" lost its
    // colon), then fonts a desktop might hand the program.
    std::vector<QFont> fonts{given, Font("DejaVu Sans Condensed", 9), Font("DejaVu Serif", 9)};
    for (const double points : {7, 8, 9, 10, 11, 12, 14}) {
        fonts.push_back(Font("DejaVu Sans", points));
    }
    for (const QFont& font : fonts) {
        QApplication::setFont(font);
        Harness h;
        CMovieDlg& dialog = OpenAsTheProgramDoes(h);
        const QString name = font.toString();
        const QStringList cut = CaptionsCutOff(dialog);
        QVERIFY2(cut.isEmpty(), qPrintable(name + QStringLiteral(": ") + cut.join(u"; ")));
        // The family stays the one asked for; only the size moves, and not far.
        QCOMPARE(QFontInfo(dialog.font()).family(), QFontInfo(font).family());
        const double asked = QFontInfo(font).pointSizeF();
        const double used = QFontInfo(dialog.font()).pointSizeF();
        QVERIFY2(used >= asked * 0.75 && used <= asked * 1.5, qPrintable(name));
        // The layout stays in dialog units of the font in use, for every control.
        const BaseUnits base = MeasureBaseUnits(dialog.font());
        QCOMPARE(dialog.size(), ToPixels(base, kDialogSizeDu));
        QCOMPARE(dialog.Control(kIdClose)->geometry(), ToPixels(base, 326, 278, 66, 14));
        QCOMPARE(dialog.Control(kIdSave)->font(), dialog.font());
    }
    // A fixed-pitch font is too wide at any size: a proportional one takes its place.
    QApplication::setFont(Font("DejaVu Sans Mono", 9));
    {
        Harness h;
        CMovieDlg& dialog = OpenAsTheProgramDoes(h);
        const QStringList cut = CaptionsCutOff(dialog);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
        QVERIFY(!QFontInfo(dialog.font()).fixedPitch());
    }
    QApplication::setFont(given);
}

void DialogTextsTest::everyButtonAndFieldExplainsItselfInEnglish() {
    Harness h;
    CMovieDlg& dialog = h.Open();
    dialog.show();
    const struct {
        int id;
        const char* tooltip;
    } cases[] = {
        {kIdSave, "Kaydet — save the selected movies to the save folder"},
        {kIdSaveAs, "Farklı Kaydet — save the selected movies, asking for each file name"},
        {kIdSaveAll, "Tümünü Kaydet — save every listed movie to the save folder"},
        {kIdChooseFolder, "Klasör Seç — choose the save folder"},
        {kIdOpenFolder, "Klasör Aç — open the save folder"},
        {kIdOpenMovie, "Filmi Aç — open the selected movie with its program"},
        {kIdRefresh, "Yenile — list the cache again"},
        {kIdDelete, "Sil — delete the selected movies from the cache"},
        {kIdClose, "Programı Kapat — close the program"},
        {kIdAddress, "Swf Adresi — the movie's web address"},
        {kIdSize, "Dosya Boyutu — the size of the cached file"},
        {kIdModified, "Son Değiştirilme — when the movie last changed on its site"},
        {kIdMovies,
         "Filmler — the movies of the chosen site; double-click one to play it in "
         "its own window"},
        {kIdSites, "Site — choose a site to list only its movies"},
    };
    h.Select({h.Row(QStringLiteral("rocket"))});  // so that every button is enabled
    for (const auto& c : cases) {
        QWidget* control = dialog.Control(c.id);
        // The address field's first line is its own; below it come the shown movie's
        // source and facts.
        const QString shown = ToolTipShown(control);
        QCOMPARE(c.id == kIdAddress ? shown.section(QLatin1Char('\n'), 0, 0) : shown,
                 QString::fromUtf8(c.tooltip));
        if (c.id == kIdAddress) {
            QVERIFY2(shown.contains(QStringLiteral("\nKaynak (source): Internet Explorer\nSWF ")),
                     qPrintable(shown));
        }
        // A button's tooltip begins with its caption, which stays as it was.
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            QVERIFY2(
                QString::fromUtf8(c.tooltip).startsWith(button->text() + QStringLiteral(" — ")),
                c.tooltip);
        }
    }
    // Every button and field of the window is in the table.
    int withTip = 0;
    for (QObject* child : dialog.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget != nullptr &&
            (qobject_cast<QPushButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
             qobject_cast<QComboBox*>(widget) || qobject_cast<QListView*>(widget))) {
            QVERIFY2(!widget->toolTip().isEmpty(),
                     qPrintable(widget->property("ctrlId").toString()));
            ++withTip;
        }
    }
    QCOMPARE(withTip, static_cast<int>(std::size(cases)));
}

// pellimor --read-only: the options reach the window's cache, whatever the files allow.
void DialogTextsTest::readOnlyOptionKeepsDeleteDisabled() {
    test::TempFolder place;
    SessionWindow w({"--read-only", "--cache", MakeDemoCache(place / "profile").value()});
    Harness& h = w.h;
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

// Where no movie can be listed, the preview says what was looked for and what went wrong,
// with the option that names a cache; standard error says the same.
void DialogTextsTest::noCacheSaysWhatWentWrong() {
    const struct {
        std::string kind;
        const char* says;
    } rows[] = {
        {"missing", "the folder does not exist."},
        {"file", "it is a file, not a folder."},
        {"empty", "no index.dat was found there."},
        // What the reader says of a damaged index is the terminal's tests'; one stands here.
        {"fifo", "FIFO"},
        {"none", "No cache found: Pellimor looked for"},
    };
    for (const auto& [kind, says] : rows) {
        test::TempFolder place;
        const std::string folder = place / "cache";
        if (kind == "file") {
            test::WriteFile(folder, "not a folder");
        } else if (kind == "empty") {
            test::MakeFolders(folder);
        } else if (kind == "fifo") {
            test::MakeFolders(folder);
            QCOMPARE(::mkfifo((folder + "/index.dat").c_str(), 0600), 0);
        }
        // Without --cache, nowhere to look: no Wine prefix, a home without one.
        const QByteArray home = qgetenv("HOME");
        const QByteArray prefix = qgetenv("WINEPREFIX");
        qputenv("HOME", QByteArray::fromStdString(place / "home"));
        qunsetenv("WINEPREFIX");
        std::vector<std::string> arguments;
        if (kind != "none") {
            arguments = {"--cache", folder};
        }
        SessionWindow w(arguments);
        qputenv("HOME", home);
        if (!prefix.isEmpty()) {
            qputenv("WINEPREFIX", prefix);
        }
        CMovieDlg& dialog = *w.h.dialog;
        QCOMPARE(w.h.List()->model()->rowCount(), 0);
        const QString note = dialog.cacheNote();
        QVERIFY2(note.contains(says), qPrintable(Q(kind) + ": " + note));
        QVERIFY2(note.endsWith(QStringLiteral("Give the cache folder with --cache DIR.")),
                 qPrintable(Q(kind) + ": " + note));
        if (kind != "none") {
            QVERIFY2(note.contains(Q(folder)), qPrintable(Q(kind) + ": " + note));
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Pellimor \u2014 ") + Q(folder));
        } else {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Pellimor \u2014 no cache found"));
        }
        // Shown where the player would be, over its own note; printed on standard error.
        QCOMPARE(w.h.Flash()->shownNote(), note);
        QCOMPARE(QString::fromStdString(w.errors.text()),
                 QStringLiteral("pellimor: ") + note + "\n");
        // A Refresh finds the same and does not say it again.
        w.h.Click(kIdRefresh);
        QCOMPARE(w.h.Flash()->shownNote(), note);
        QCOMPARE(QString::fromStdString(w.errors.text()),
                 QStringLiteral("pellimor: ") + note + "\n");
        Screenshot(&dialog, ("no-cache-" + kind).c_str());
    }
}

// Internet Explorer 11's real WebCacheV01.dat on a copied disk: its movies listed, the list
// saying once that Windows had not closed the database, Sil saying why it cannot delete.
void DialogTextsTest::aWebCacheCopiedWhileWindowsRanSaysSo() {
    test::TempFolder place;
    test::LayOutWebCache(place / "disk/Users/Administrator", test::RealWebCacheBytes(),
                         place / "export");
    SessionWindow w({"--cache", place / "disk"});
    QCOMPARE(w.h.List()->model()->rowCount(), 12);
    const QString tip = w.h.List()->toolTip();
    QVERIFY2(tip.startsWith(Q(strings::kMoviesTip)), qPrintable(tip));
    QCOMPARE(tip.count(QStringLiteral("was not closed cleanly")), 1);
    // Not over the player, where the movies listed are played.
    QVERIFY(!w.h.Flash()->shownNote().contains(QStringLiteral("not closed cleanly")));
    const auto said = [&w] {
        return QString::fromStdString(w.errors.text())
            .count(QStringLiteral("was not closed cleanly"));
    };
    QCOMPARE(said(), 1);
    w.h.Click(kIdRefresh);
    QCOMPARE(said(), 1);
    const QString sil = w.h.dialog->Control(kIdDelete)->toolTip();
    QVERIFY2(sil.startsWith(QStringLiteral(
                 "Cannot delete: Internet Explorer's WebCache database is read-only")),
             qPrintable(sil));
}

int RunDialogTextsTests(int argc, char** argv) {
    DialogTextsTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace pellimor

#include "DialogTextsTest.moc"
