// The window with the player running (Ruffle in the web view, offscreen): the keyboard
// reaches every control through and out of the preview, and a movie whose cached file is
// gone is named in a note instead of the player's own panel.
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>

#include <functional>

#include <unistd.h>

#include "EventLoop.h"
#include "ui/DialogHarness.h"
#include "ui/player/PlayerScheme.h"

namespace pellimor {

namespace {

using test::RunUntil;

// The window shown on the demo cache once the page has drawn the first movie.
struct Playing {
    Harness h;
    CMovieDlg& dialog;
    CFlash_ctrl* flash;
    int frames = 0;

    Playing() : dialog(h.Open()), flash(static_cast<CFlash_ctrl*>(dialog.Control(kIdPlayer))) {
        QObject::connect(flash, &CFlash_ctrl::pageEvent, flash,
                         [this](const QString& name, int, const QUrlQuery&) {
                             frames += name == QLatin1String("frame") ? 1 : 0;
                         });
        dialog.show();
    }
};

}  // namespace

class PlayerKeysTest : public QObject {
    Q_OBJECT
  private slots:
    void tabWalksThroughAndOutOfThePlayer();
    void missingCachedFileIsNamedOverThePlayer();
};

void PlayerKeysTest::tabWalksThroughAndOutOfThePlayer() {
    Playing p;
    QVERIFY(p.flash->hasPlayer());
    QVERIFY(RunUntil([&] { return p.frames > 0; }));
    WalkTheTabOrder(p.dialog);
    // In the preview the keys go to the movie's page, not to a frame around it.
    const std::vector<QWidget*> stops = EnabledTabStops(p.dialog);
    const auto player = std::find(stops.begin(), stops.end(), p.flash);
    QVERIFY(player != stops.end() && player != stops.begin());
    (*(player - 1))->setFocus();
    QTest::keyClick(p.dialog.windowHandle(), Qt::Key_Tab);
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus != p.flash && p.flash->isAncestorOf(focus));
    // In and out of the page again: each Tab leaves it at once.
    for (int round = 0; round < 3; ++round) {
        QTest::keyClick(p.dialog.windowHandle(), Qt::Key_Tab);
        QCOMPARE(ControlOf(p.dialog, QApplication::focusWidget()), *(player + 1));
        QTest::keyClick(p.dialog.windowHandle(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(ControlOf(p.dialog, QApplication::focusWidget()), p.flash);
    }
}

void PlayerKeysTest::missingCachedFileIsNamedOverThePlayer() {
    Playing p;
    QVERIFY(RunUntil([&] { return p.frames > 0; }));
    p.h.Select({p.h.Row("rain")});
    const QString path = p.flash->movie();
    QVERIFY(path.endsWith(QStringLiteral("rain[1].swf")));
    QCOMPARE(p.flash->shownNote(), QString());  // the player plays it
    QCOMPARE(::unlink(path.toLocal8Bit().constData()), 0);
    p.h.Select({p.h.Row("snake")});
    p.h.Select({p.h.Row("rain")});
    const QString note = QStringLiteral("The cached file is missing:\n") + path;
    QCOMPARE(p.flash->shownNote(), note);
    // The note covers the whole preview, over whatever the player shows of the failed load.
    QLabel* shown = nullptr;
    for (QLabel* label : p.flash->findChildren<QLabel*>()) {
        if (label->isVisible() && label->text() == note) {
            shown = label;
        }
    }
    QVERIFY(shown != nullptr);
    QCOMPARE(shown->geometry(), p.flash->rect());
    QCOMPARE(p.flash->childAt(p.flash->rect().center()), static_cast<QWidget*>(shown));
    const QString out = qEnvironmentVariable("PELLIMOR_SCREENSHOT_DIR");
    if (!out.isEmpty()) {
        QTest::qWait(1000);
        QVERIFY(p.dialog.grab().save(out + "/missing-file-player.png"));
    }
    p.h.Select({p.h.Row("snake")});
    QCOMPARE(p.flash->shownNote(), QString());
    QVERIFY(p.flash->hasPlayer());
}

}  // namespace pellimor

int main(int argc, char** argv) {
    pellimor::PrepareWebEngine();
    QApplication application(argc, argv);
    pellimor::PlayerKeysTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PlayerKeysTest.moc"
