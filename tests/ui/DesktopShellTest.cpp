// Opening with the desktop's program, with stand-ins for the desktop's own tools on PATH: a
// type the desktop names no program for is not handed to the opener, and the window is told.
#include <QtTest>

#include <sys/stat.h>

#include "support/TempFolder.h"
#include "ui/Shell.h"

namespace pellimor {

namespace {

void WriteScript(const std::string& path, const std::string& body) {
    test::WriteFile(path, "#!/bin/sh\n" + body + "\n");
    QCOMPARE(::chmod(path.c_str(), 0755), 0);
}

}  // namespace

class DesktopShellTest : public QObject {
    Q_OBJECT
  private slots:
    void openingNeedsADefaultProgram();
};

// The desktop's table names no program for folders. (With one named, the opener decides, and
// the offscreen platform has none to ask.)
void DesktopShellTest::openingNeedsADefaultProgram() {
    test::TempFolder temp;
    test::MakeFolders(temp / "bin");
    test::MakeFolders(temp / "saved");
    const std::string log = temp / "opened";
    const std::string asked = temp / "asked";
    WriteScript(temp / "bin/xdg-mime", "echo \"$@\" >> '" + asked + "'; echo");
    WriteScript(temp / "bin/xdg-open", "echo \"$1\" >> '" + log + "'");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(temp / "bin") + ":" + path);
    DesktopShell shell;
    const bool opened = shell.Open(temp / "saved");
    qputenv("PATH", path);
    QCOMPARE(test::ReadFile(asked), std::string("query default inode/directory\n"));
    QVERIFY(!opened);
    QTest::qWait(500);
    QVERIFY(!test::FileExists(log));  // the opener was not even started
}

int RunDesktopShellTests(int argc, char** argv) {
    DesktopShellTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace pellimor

#include "DesktopShellTest.moc"
