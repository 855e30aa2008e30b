// The window's fixed texts as the user reads them: every caption whole in its control with the
// font in use, and a tooltip on every button and field that gives the English meaning. The real
// window, offscreen, with the preview turned off.
#include <QFontInfo>
#include <QLabel>
#include <QStyle>
#include <QStyleOption>

#include "ui/DialogHarness.h"

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
};

void DialogTextsTest::everyCaptionFitsWithTheFontInUse() {
    const QFont given = QApplication::font();
    // The application's own font first (DejaVu Sans 9 here, where "Dosya Boyutu:" lost its
    // colon), then fonts a desktop might hand the program.
    const QFont fonts[] = {
        given,
        Font("DejaVu Sans", 7),
        Font("DejaVu Sans", 8),
        Font("DejaVu Sans", 9),
        Font("DejaVu Sans", 10),
        Font("DejaVu Sans", 11),
        Font("DejaVu Sans", 12),
        Font("DejaVu Sans", 14),
        Font("DejaVu Sans Condensed", 9),
        Font("DejaVu Serif", 9),
    };
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
        QVERIFY(control != nullptr);
        QVERIFY2(control->isEnabled(), c.tooltip);
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

int RunDialogTextsTests(int argc, char** argv) {
    DialogTextsTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace pellimor

#include "DialogTextsTest.moc"
