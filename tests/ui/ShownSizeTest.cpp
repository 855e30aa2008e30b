// The window's size field gives the shown movie's file as it is when the movie is shown: the
// scan behind a Refresh looks up no sizes, so whatever stands there by then is what counts.
#include <sys/stat.h>
#include <unistd.h>

#include "DialogHarness.h"
#include "catalogue/DisplayTexts.h"

namespace pellimor {

class ShownSizeTest : public QObject {
    Q_OBJECT
  private slots:
    void sizeIsTheFilesWhenTheMovieIsShown();
    void noSizeAndNoWaitForWhatIsNoFile();
};

namespace {

// The cached file behind a line of the list.
std::string PathOf(Harness& h, const QString& line) {
    const int row = h.Row(line);
    const QVariant key = h.List()->model()->index(row, 0).data(Qt::UserRole);
    return h.dialog->listing().catalogue.GetEntryByKey(key.toInt()).localPath;
}

}  // namespace

void ShownSizeTest::sizeIsTheFilesWhenTheMovieIsShown() {
    Harness h(3);
    h.Open();
    QCOMPARE(h.Text(kIdSize), QString::fromStdString(FormatSizeText(3)));  // the first line
    const std::string path = PathOf(h, QStringLiteral("m1"));
    QVERIFY(!path.empty());
    test::WriteFile(path, std::string(3000, 'x'));  // after the scan
    h.Select({h.Row(QStringLiteral("m1"))});
    QCOMPARE(h.Text(kIdSize), QString::fromStdString(FormatSizeText(3000)));
    h.Select({h.Row(QStringLiteral("m2"))});
    QCOMPARE(h.Text(kIdSize), QString::fromStdString(FormatSizeText(3)));
}

void ShownSizeTest::noSizeAndNoWaitForWhatIsNoFile() {
    const struct {
        const char* what;
        int (*replace)(const char* path);
    } cases[] = {
        {"gone", [](const char*) { return 0; }},
        {"FIFO", [](const char* p) { return ::mkfifo(p, 0600); }},
        {"link to /dev/zero", [](const char* p) { return ::symlink("/dev/zero", p); }},
        {"link to a folder", [](const char* p) { return ::symlink("/", p); }},
    };
    for (const auto& c : cases) {
        Harness h(2);
        h.Open();
        const std::string path = PathOf(h, QStringLiteral("m1"));
        QVERIFY2(::unlink(path.c_str()) == 0 && c.replace(path.c_str()) == 0, c.what);
        h.Select({h.Row(QStringLiteral("m1"))});
        QVERIFY2(h.Text(kIdAddress).endsWith(QStringLiteral("/m1.swf")), c.what);
        QVERIFY2(h.Text(kIdSize).isEmpty(), qPrintable(h.Text(kIdSize) + " for " + c.what));
    }
}

int RunShownSizeTests(int argc, char** argv) {
    ShownSizeTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace pellimor

#include "ShownSizeTest.moc"
