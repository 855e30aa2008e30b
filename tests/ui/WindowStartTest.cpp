// The window as a user starts it: a process of its own, offscreen, on the demo cache. The web
// engine's start-up report (its parameters and the GL it found) is printed only when the
// player's log is asked for.
#include <QDir>
#include <QProcess>
#include <QtTest>

#include "EventLoop.h"
#include "support/TempFolder.h"

namespace pellimor {

namespace {

// Whether a process whose parent is pid runs the web engine's helper program.
bool HasEngineHelper(qint64 pid) {
    const QString parent = QString::number(pid);
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // pid (name) state ppid ...: the name may hold spaces, the rest follows its ")".
        const QByteArray line = stat.readAll();
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && rest[1] == parent.toLatin1()) {
            QFile command(QStringLiteral("/proc/") + entry + QStringLiteral("/cmdline"));
            if (command.open(QIODevice::ReadOnly) &&
                command.readAll().contains("QtWebEngineProcess")) {
                return true;
            }
        }
    }
    return false;
}

// The window's standard error from its start until the web engine has started its helper
// processes and a few seconds beyond; the report is printed before they start.
QString StandardErrorOfAStart(const test::TempFolder& temp, const QString& cache, bool log) {
    QProcess window;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), QString::fromStdString(temp.path()));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(temp / "config"));
    environment.remove(QStringLiteral("QT_LOGGING_RULES"));
    environment.remove(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"));
    if (log) {
        environment.insert(QStringLiteral("PELLIMOR_PLAYER_LOG"), QStringLiteral("1"));
    } else {
        environment.remove(QStringLiteral("PELLIMOR_PLAYER_LOG"));
    }
    window.setProcessEnvironment(environment);
    window.start(QStringLiteral(PELLIMOR_WINDOW), {QStringLiteral("--cache"), cache});
    if (!window.waitForStarted()) {
        return QStringLiteral("did not start");
    }
    const bool helper = test::RunUntil([&] { return HasEngineHelper(window.processId()); });
    test::RunFor(3000);
    window.kill();
    window.waitForFinished();
    const QString said = QString::fromUtf8(window.readAllStandardError());
    return helper ? said : QStringLiteral("no helper process started:\n") + said;
}

}  // namespace

class WindowStartTest : public QObject {
    Q_OBJECT
  private slots:
    void theEnginesReportOnlyWithThePlayersLog();
    void theVersionIsTheBuilds();
};

void WindowStartTest::theEnginesReportOnlyWithThePlayersLog() {
    test::TempFolder temp;
    int status = -1;
    test::RunCommand(std::string(PELLIMOR_CLI) + " demo '" + temp.path() + "/profile'", status);
    QCOMPARE(status, 0);
    const QString cache = QString::fromStdString(temp / "profile/INetCache");
    // Lines of the report: its heading, the GL facts, the parameters the engine started with.
    const QStringList report = {QStringLiteral("qt.webenginecontext"), QStringLiteral("GL Type"),
                                QStringLiteral("Init Parameters"),
                                QStringLiteral("browser-subprocess-path")};
    const QString logged = StandardErrorOfAStart(temp, cache, true);
    QVERIFY2(!logged.startsWith(QLatin1String("no helper")), qPrintable(logged));
    for (const QString& line : report) {
        QVERIFY2(logged.contains(line), qPrintable(line + QStringLiteral(" missing:\n") + logged));
    }
    const QString quiet = StandardErrorOfAStart(temp, cache, false);
    QVERIFY2(!quiet.startsWith(QLatin1String("no helper")), qPrintable(quiet));
    for (const QString& line : report) {
        QVERIFY2(!quiet.contains(line), qPrintable(quiet));
    }
}

void WindowStartTest::theVersionIsTheBuilds() {
    int status = -1;
    const std::string version = test::RunCommand(PELLIMOR_WINDOW " --version", status);
    QCOMPARE(status, 0);
    // The same text as the terminal's, which its own test holds against the build.
    const std::string cli = test::RunCommand(PELLIMOR_CLI " --version", status);
    QCOMPARE(version, "pellimor" + cli.substr(cli.find(' ')));
}

}  // namespace pellimor

QTEST_GUILESS_MAIN(pellimor::WindowStartTest)
#include "WindowStartTest.moc"
