// The preview page reaches nothing and cannot tell the window made-up events. Listeners on
// 127.0.0.1 (TCP and UDP) stand where a host would be while a movie and script in the page
// try every way out; the same script in a plain page, in a process of its own without the
// preview's guards, reaches them, so the listeners are shown to see what arrives.
#include <QApplication>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <QWebEngineProfile>

#include "PlayerHarness.h"
#include "app/SwfMaker.h"
#include "app/SwfReachMovie.h"
#include "ui/player/PlayerScheme.h"

namespace pellimor {

class PlayerNetworkTest : public QObject {
    Q_OBJECT
  private slots:
    void aPlainPageReachesTheListeners();
    void aPageAndItsMovieReachNothing_data();
    void aPageAndItsMovieReachNothing();
    void thePagesScriptSeesNoEventOfItsOwn();
};

namespace {

using namespace test;

constexpr int kTimeoutMs = 30000;
// How long the page is given to reach out once it has tried. A plain page reaches the
// listeners well within it; what has not come by then is not coming.
constexpr int kSettleMs = 3000;
// The load number a made-up event claims.
constexpr int kForgedLoad = 77;

// A TCP and a UDP socket on 127.0.0.1, counting what reaches them.
struct Listeners {
    QTcpServer tcp;
    QUdpSocket udp;
    int connections = 0;
    int datagrams = 0;
    QStringList requests;  // the first line of each TCP connection that sent one

    Listeners() {
        if (!tcp.listen(QHostAddress::LocalHost, 0) || !udp.bind(QHostAddress::LocalHost, 0)) {
            qFatal("no listener on 127.0.0.1");
        }
        QObject::connect(&tcp, &QTcpServer::newConnection, &tcp, [this] {
            while (QTcpSocket* socket = tcp.nextPendingConnection()) {
                ++connections;
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (socket->canReadLine() && !socket->property("seen").toBool()) {
                        socket->setProperty("seen", true);
                        requests << QString::fromLatin1(socket->readLine().trimmed());
                    }
                });
            }
        });
        QObject::connect(&udp, &QUdpSocket::readyRead, &udp, [this] {
            while (udp.hasPendingDatagrams()) {
                udp.receiveDatagram();
                ++datagrams;
            }
        });
    }
    int tcpPort() const { return tcp.serverPort(); }
    int udpPort() const { return udp.localPort(); }
    bool Heard(const QString& request) const { return requests.filter(request).size() > 0; }
};

// Every way a script in a page has to reach a host, all aimed at the listeners (WebRTC from
// the page's world and from a fresh frame's, where the page's script cannot have taken it
// away); then every way it has to tell the window an event: the event address as it was,
// with whatever key it can find in the page's timings, and with the key of a page it reads
// again.
QString ReachScript(int tcpPort, int udpPort) {
    return QStringLiteral(R"(
        const host = "127.0.0.1:%1";
        const base = "http://" + host + "/";
        const tries = [
            () => { new Image().src = base + "image.png"; },
            () => { const x = new XMLHttpRequest(); x.open("GET", base + "xhr"); x.send(); },
            () => { navigator.sendBeacon(base + "beacon", "x"); },
            () => { window.probeSocket = new WebSocket("ws://" + host + "/socket"); },
            () => { window.probeEvents = new EventSource(base + "events"); },
            () => { fetch(base + "fetch").catch(() => {}); },
        ];
        const frame = document.createElement("iframe");
        document.body.appendChild(frame);
        window.probePeers = [];
        for (const Peer of [window.RTCPeerConnection,
                            frame.contentWindow && frame.contentWindow.RTCPeerConnection]) {
            tries.push(() => {
                const peer = new Peer({ iceServers: [
                    { urls: "stun:127.0.0.1:%2" },
                    { urls: "turn:" + host + "?transport=tcp", username: "u", credential: "c" },
                ] });
                peer.createDataChannel("probe");
                peer.createOffer().then((o) => peer.setLocalDescription(o)).catch(() => {});
                window.probePeers.push(peer);
            });
        }
        const forge = (query) => {
            const x = new XMLHttpRequest();
            x.open("GET", "pellimor://player/event?" + query + "name=frame&load=%3");
            x.send();
        };
        tries.push(() => forge(""));
        tries.push(() => {
            for (const entry of performance.getEntries()) {
                const found = /key=([0-9a-f]+)/.exec(entry.name);
                if (found) forge("key=" + found[1] + "&");
            }
        });
        tries.push(() => {
            const x = new XMLHttpRequest();
            x.open("GET", "pellimor://player/index.html");
            x.onload = () => {
                const found = /pellimorPageKey = .([0-9a-f]+)/.exec(x.responseText);
                if (found) forge("key=" + found[1] + "&");
            };
            x.send();
        });
        let tried = 0;
        for (const t of tries) {
            try { t(); ++tried; } catch (e) {}
        }
        window.probeTried = (window.probeTried || 0) + tried;
        )")
        .arg(tcpPort)
        .arg(udpPort)
        .arg(kForgedLoad);
}

// The preview alone, shown, with what its page tells.
struct Preview {
    PosixFileOps files;
    QWidget window;
    CFlash_ctrl* flash;
    Events events;  // outlives the page, which may tell one as it closes

    Preview() : flash(new CFlash_ctrl(nullptr, &files, &window)), events(flash) {
        window.resize(400, 300);
        flash->resize(400, 300);
        window.show();
    }
    bool Told(const QString& name, int load = -1) const {
        return events.Find(name, load) != nullptr;
    }
};

constexpr char kUnguarded[] = "--unguarded-page";

}  // namespace

// The harness sees traffic: the same script in a plain page of a process without the
// preview's flags, scheme, guard or page reaches both listeners.
void PlayerNetworkTest::aPlainPageReachesTheListeners() {
    Listeners listen;
    QProcess plain;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"));
    plain.setProcessEnvironment(environment);
    plain.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    plain.start(QCoreApplication::applicationFilePath(),
                {QLatin1String(kUnguarded), QString::number(listen.tcpPort()),
                 QString::number(listen.udpPort())});
    QVERIFY(plain.waitForStarted());
    const QStringList expected{QStringLiteral("GET /image.png"), QStringLiteral("GET /xhr"),
                               QStringLiteral("POST /beacon"),   QStringLiteral("GET /socket"),
                               QStringLiteral("GET /events"),    QStringLiteral("GET /fetch")};
    const bool heard = RunUntil([&] {
        return listen.datagrams > 0 && std::all_of(expected.begin(), expected.end(),
                                                   [&](auto& r) { return listen.Heard(r); });
    });
    plain.kill();
    plain.waitForFinished();
    QVERIFY2(heard, qPrintable(listen.requests.join(QLatin1Char('|')) +
                               QStringLiteral(" datagrams: ") + QString::number(listen.datagrams)));
}

// The script in the page reaches nothing. Then a movie: with allowNetworking "internal"
// Ruffle keeps it from the page's script (no ExternalInterface and no "javascript:" address).
// As the player is set up, with the original player's script access, the movie's script runs
// in the page and still reaches nothing.
void PlayerNetworkTest::aPageAndItsMovieReachNothing_data() {
    QTest::addColumn<bool>("scriptLetOut");
    QTest::newRow("kept from the page") << false;
    QTest::newRow("as set up") << true;
}

void PlayerNetworkTest::aPageAndItsMovieReachNothing() {
    QFETCH(bool, scriptLetOut);
    Listeners listen;
    test::TempFolder temp;
    const std::string path = temp / "reach.swf";
    test::WriteFile(
        path, MakeSwfReachMovie("127.0.0.1", listen.tcpPort(),
                                ReachScript(listen.tcpPort(), listen.udpPort()).toStdString()));
    Preview p;
    QVERIFY(p.flash->hasPlayer());
    QVERIFY(RunUntil([&] { return p.Told(QStringLiteral("ready")); }));
    QWebEnginePage* page = p.flash->page();
    Ask(page, ReachScript(listen.tcpPort(), listen.udpPort()));
    RunFor(kSettleMs);
    QCOMPARE(listen.connections, 0);
    QCOMPARE(listen.datagrams, 0);
    QVERIFY(!p.Told(QStringLiteral("frame"), kForgedLoad));
    // WebRTC was tried in earnest: the page took its own peer connections away, a fresh
    // frame made one.
    QCOMPARE(Ask(page, QStringLiteral("window.probePeers.length")).toInt(), 1);

    const QString keep = scriptLetOut ? QString()
                                      : QStringLiteral(
                                            "window.RufflePlayer.config.allowNetworking "
                                            "= 'internal';");
    Ask(page, keep + QStringLiteral("window.probeTried = 0; true"));
    const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(listen.tcpPort());
    p.flash->SetMovie(QString::fromStdString(path), base + QStringLiteral("reach.swf"));
    QVERIFY(RunUntil([&] { return p.Told(QStringLiteral("metadata"), p.flash->currentLoad()); }));
    // The movie's own loads come to the page, which asks the cache: proof that it ran.
    QVERIFY(RunUntil([&] {
        const QStringList missing =
            p.events.Urls(QStringLiteral("missing"), p.flash->currentLoad());
        return missing.contains(base + QStringLiteral("loadmovie.swf")) &&
               missing.contains(base + QStringLiteral("loadvars")) &&
               missing.contains(base + QStringLiteral("xml"));
    }));
    const auto tried = [&] { return Ask(page, QStringLiteral("window.probeTried || 0")).toInt(); };
    if (scriptLetOut) {
        // Through ExternalInterface, and again through the "javascript:" address if Ruffle
        // follows it.
        QVERIFY(RunUntil([&] { return tried() > 0; }));
    }
    RunFor(kSettleMs);
    QCOMPARE(listen.connections, 0);
    QCOMPARE(listen.datagrams, 0);
    QVERIFY(!p.Told(QStringLiteral("frame"), kForgedLoad));
    QCOMPARE(tried() > 0, scriptLetOut);
}

// (A script forging events without the page's key is the reach test's.) A script that
// replaced what the page sends its events with sees none of them. Programs the window starts
// keep their own network.
void PlayerNetworkTest::thePagesScriptSeesNoEventOfItsOwn() {
    test::TempFolder temp;
    const std::string path = temp / "movie.swf";
    test::WriteFile(path, MakeSwfMovie(MovieDesign{}));
    Preview p;
    QVERIFY(RunUntil([&] { return p.Told(QStringLiteral("ready")); }));
    QWebEnginePage* page = p.flash->page();
    Ask(page, QStringLiteral(R"(
        window.seen = [];
        const open = XMLHttpRequest.prototype.open;
        XMLHttpRequest.prototype.open = function (method, url) {
            window.seen.push(String(url));
            return open.apply(this, arguments);
        };
        const join = Array.prototype.join;
        Array.prototype.join = function () {
            const joined = join.apply(this, arguments);
            window.seen.push(joined);
            return joined;
        };
        const encode = window.encodeURIComponent;
        window.encodeURIComponent = (text) => { window.seen.push(String(text)); return encode(text); };
        true)"));
    p.flash->SetMovie(QString::fromStdString(path));
    QVERIFY(RunUntil([&] { return p.Told(QStringLiteral("metadata"), p.flash->currentLoad()); }));
    const QStringList seen = Ask(page, QStringLiteral("window.seen")).toStringList();
    QVERIFY2(!seen.filter(QStringLiteral("file?path=")).isEmpty(),
             "the replaced method sees the movie's load");
    QVERIFY2(seen.filter(QStringLiteral("event")).isEmpty() &&
                 seen.filter(QStringLiteral("key=")).isEmpty() &&
                 seen.filter(QStringLiteral("metadata")).isEmpty(),
             qPrintable(seen.join(QLatin1Char('|'))));
    // The preview's flags are for its own web engine: a program started once the preview is up
    // (the shell's "open" may start a browser) inherits neither the proxy nor the WebRTC policy.
    QProcess child;
    child.start(QStringLiteral("/usr/bin/env"), {});
    QVERIFY(child.waitForFinished());
    const QByteArray environment = child.readAllStandardOutput();
    QVERIFY(environment.contains("PATH="));
    QVERIFY2(!environment.contains("--proxy-server") &&
                 !environment.contains("--force-webrtc-ip-handling-policy"),
             environment.constData());
}

// The plain page of aPlainPageReachesTheListeners, in its own process.
int RunUnguardedPage(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    QWebEngineProfile profile;
    QWebEnginePage page(&profile);
    const QString script = ReachScript(args.value(2).toInt(), args.value(3).toInt());
    QObject::connect(&page, &QWebEnginePage::loadFinished, &page,
                     [&](bool) { page.runJavaScript(script); });
    page.setHtml(QStringLiteral("<html><body></body></html>"),
                 QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(args.value(2))));
    QTimer::singleShot(kTimeoutMs, &application, &QCoreApplication::quit);
    return application.exec();
}

}  // namespace pellimor

int main(int argc, char** argv) {
    if (argc == 4 && qstrcmp(argv[1], pellimor::kUnguarded) == 0) {
        return pellimor::RunUnguardedPage(argc, argv);
    }
    pellimor::PrepareWebEngine();
    QApplication application(argc, argv);
    pellimor::PlayerNetworkTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PlayerNetworkTest.moc"
