// Playing with saves: movies made here that keep a shared object play in the real window,
// offscreen, with Ruffle. Flash Player's saves found on disk reach Ruffle under the key it
// asks for, for every form of SharedObject.getLocal; what the movie saves while it plays is
// written into the save folder by the list's menu entry, as Ruffle stored it.
#include <QAction>
#include <QApplication>
#include <QListView>
#include <QPainter>
#include <QToolTip>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "EventLoop.h"
#include "app/SwfSaveMovie.h"
#include "catalogue/MovieSaves.h"
#include "catalogue/SolFile.h"
#include "platform/saves/SaveFinder.h"
#include "resources/Strings.h"
#include "ui/DialogHarness.h"
#include "ui/QtText.h"
#include "ui/player/PlayerScheme.h"

namespace pellimor {

namespace {

using test::RunUntil;

std::string Be(std::uint64_t value, int size) {
    std::string out;
    for (int i = size - 1; i >= 0; --i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return out;
}

// A save as Flash Player wrote them: one AMF0 string, "score".
std::string SolWithScore(const std::string& name, const std::string& score) {
    const std::string body =
        Be(5, 2) + "score" + "\x02" + Be(score.size(), 2) + score + std::string(1, '\0');
    const std::string rest = std::string("TCSO") + std::string("\x00\x04\x00\x00\x00\x00", 6) +
                             Be(name.size(), 2) + name + Be(0, 4) + body;
    return std::string("\x00\xBF", 2) + Be(rest.size(), 4) + rest;
}

// The string member of a save, or empty.
std::string Member(const std::string& bytes, const std::string& name) {
    for (const AmfValue& v : ReadSol(bytes).values) {
        if (v.name == name && v.kind == AmfValue::Kind::kString) {
            return v.text;
        }
    }
    return {};
}

// One movie per form of getLocal, each under its own address of one site.
struct Form {
    const char* movie;  // the list's name
    SaveMovieDesign design;
    std::vector<std::string> path;  // where Flash Player kept its save, below the host
    std::string key;                // the key Ruffle keeps it under
};

std::vector<Form> Forms() {
    return {
        {"run",
         {"progress", std::nullopt, "level 2"},
         {"arcade", "run.swf"},
         "games.example/arcade/run.swf/progress"},
        {"folder",
         {"hi", std::string("/arcade"), "level 2"},
         {"arcade"},
         "games.example/arcade/hi"},
        {"root", {"all", std::string("/"), "level 2"}, {}, "games.example//all"},
        {"slash",
         {"a/b", std::nullopt, "level 2"},
         {"arcade", "slash.swf"},
         "games.example/arcade/slash.swf/#a/b"},
    };
}

// A window on a WinINet cache holding the form movies, with saves found on disk (Flash
// Player's layout under AppData/Roaming) or none.
struct SaveWindow {
    test::TempFolder temp;
    PosixFileOps files;
    std::unique_ptr<CacheSource> cache;
    HiveRegistry registry{temp / "config/Tavrik/hkcu.reg"};
    test::ScriptedPrompts prompts;
    RecordingShell shell;
    std::unique_ptr<ListingServices> listing;
    std::unique_ptr<CMovieDlg> dialog;
    std::string ieFolder;
    FoundSaves found;

    explicit SaveWindow(bool withSaves) {
        CacheProfileWriter writer(temp / "user/AppData/Local/Microsoft/Windows",
                                  indexdat::Flavour::kInternetExplorer, 17);
        const std::string sharedObjects =
            temp / "user/AppData/Roaming/Macromedia/Flash Player/#SharedObjects";
        for (const Form& form : Forms()) {
            ContentEntry e;
            e.url = "http://games.example/arcade/" + std::string(form.movie) + ".swf";
            e.body = MakeSwfSaveMovie(form.design);
            e.extension = "swf";
            e.headers = "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n\r\n";
            if (const auto added = writer.AddContent(e); !added) {
                qWarning("%s", added.error().c_str());
            }
            if (withSaves) {
                FoundSave save;
                save.host = "games.example";
                save.path = form.path;
                save.name = form.design.name;
                std::string file = sharedObjects + "/K7Q2XW9B";
                for (const std::string& segment : SaveFileSegments(save)) {
                    file += "/" + segment;
                }
                test::MakeFolders(std::filesystem::path(file).parent_path());
                test::WriteFile(file, SolWithScore(form.design.name, "found " + save.name));
            }
        }
        if (const Status saved = writer.Save(); !saved) {
            qWarning("%s", saved.error().c_str());
        }
        if (withSaves) {
            FindSaves(sharedObjects, found);
        }
        ieFolder = writer.cacheFolder();
        cache = std::make_unique<IndexDatCache>(ieFolder, 1252);
        listing = std::make_unique<ListingServices>(ListingServices{
            *cache, files, [this] { return std::optional<std::string>(ieFolder); }});
        test::MakeFolders(temp / "saved");
        SetSavePath(registry, temp / "saved");
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(8);
        dialog = std::make_unique<CMovieDlg>(
            DialogServices{
                *listing, files, registry, prompts, shell, temp / "home", {}, &found.saves},
            "", font);
        dialog->show();
    }
    QListView* List() const { return static_cast<QListView*>(dialog->Control(kIdMovies)); }
    CFlash_ctrl* Flash() const { return static_cast<CFlash_ctrl*>(dialog->Control(kIdPlayer)); }
    bool Select(const QString& name) {
        const auto* model = List()->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            if (model->index(r, 0).data().toString() == name) {
                List()->selectionModel()->select(model->index(r, 0),
                                                 QItemSelectionModel::ClearAndSelect);
                return true;
            }
        }
        return false;
    }
    // What the page's storage holds now.
    std::map<std::string, std::string> Played() {
        std::map<std::string, std::string> saves;
        bool answered = false;
        Flash()->ReadPlayedSaves([&](std::vector<std::pair<std::string, std::string>> read) {
            saves.insert(read.begin(), read.end());
            answered = true;
        });
        RunUntil([&] { return answered; });
        return saves;
    }
    // Waits until the movie has flushed its save under key; its bytes.
    std::string WaitForSave(const std::string& key) {
        std::string bytes;
        RunUntil([&] {
            const auto played = Played();
            const auto it = played.find(key);
            bytes = it == played.end() ? "" : it->second;
            return Member(bytes, "score") == "level 2";
        });
        return bytes;
    }
    QAction* MenuEntry(std::string_view text) const {
        for (QAction* action : List()->actions()) {
            if (action->text() == Q(text)) {
                return action;
            }
        }
        return nullptr;
    }
};

}  // namespace

class SavePlayTest : public QObject {
    Q_OBJECT
  private slots:
    void everyGetLocalFormFindsItsSaveUnderRufflesKey();
    void aMovieWithoutSavesStartsAfreshAndSavesItsOwn();
    void playedSavesAreWrittenIntoTheSaveFolder();
    void screenshot();
};

// The movie traces and keeps as "seen" what its save held when it started: the found save,
// reached under the key the core gives, and nothing of another movie's.
void SavePlayTest::everyGetLocalFormFindsItsSaveUnderRufflesKey() {
    SaveWindow w(true);
    QCOMPARE(w.found.saves.size(), Forms().size());
    for (const Form& form : Forms()) {
        QVERIFY(w.Select(QString::fromLatin1(form.movie)));
        // Its own save, and those kept for a folder above it ("run" has all three).
        std::set<std::string> keys;
        for (const std::size_t i : w.Flash()->movieSaves()) {
            keys.insert(RuffleStorageKey(w.found.saves[i]));
        }
        QVERIFY2(keys.contains(form.key), form.movie);
        const std::string bytes = w.WaitForSave(form.key);
        QVERIFY2(!bytes.empty(), form.movie);
        QCOMPARE(Member(bytes, "seen"), "found " + form.design.name);
        // Only this movie's saves are in the player's storage.
        for (const auto& [key, played] : w.Played()) {
            QVERIFY2(keys.contains(key), key.c_str());
        }
        // The movie's tooltip names its saves.
        const QString tip = w.dialog->Control(kIdAddress)->toolTip();
        QVERIFY2(tip.contains(QStringLiteral("%1 saves:").arg(keys.size())), qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("\n  ") + QString::fromStdString(form.design.name) +
                              QStringLiteral("  (")),
                 qPrintable(tip));
    }
}

// Without a save the movie finds nothing and saves its own, which Ruffle wrote: these are the
// test saves of tests/data/saves (PELLIMOR_SAVE_DATA_OUT names a folder to write them to).
void SavePlayTest::aMovieWithoutSavesStartsAfreshAndSavesItsOwn() {
    SaveWindow w(false);
    const char* out = std::getenv("PELLIMOR_SAVE_DATA_OUT");
    for (const Form& form : Forms()) {
        QVERIFY(w.Select(QString::fromLatin1(form.movie)));
        QVERIFY(w.Flash()->movieSaves().empty());
        const std::string bytes = w.WaitForSave(form.key);
        QVERIFY2(!bytes.empty(), form.movie);
        QCOMPARE(Member(bytes, "seen"), std::string());
        const SolContents sol = ReadSol(bytes);
        QCOMPARE(sol.error, std::string());
        if (out != nullptr) {
            test::WriteFile(std::string(out) + "/ruffle-" + form.movie + ".sol", bytes);
        }
    }
}

// The menu entry writes what the game playing saved as <host>/<path>/<name>.sol, byte for
// byte as Ruffle stored it, never over a file that is there.
void SavePlayTest::playedSavesAreWrittenIntoTheSaveFolder() {
    SaveWindow w(true);
    QVERIFY(w.Select(QStringLiteral("slash")));
    const std::string stored = w.WaitForSave("games.example/arcade/slash.swf/#a/b");
    QVERIFY(!stored.empty());
    const std::string folder = w.temp / "saved/games.example/arcade/slash.swf/#a";
    test::MakeFolders(folder);
    test::WriteFile(folder + "/b.sol", "another save");
    QAction* entry = w.MenuEntry(strings::kWritePlayedSaves);
    QVERIFY(entry != nullptr);
    entry->trigger();
    QVERIFY(RunUntil([&] { return test::FileExists(folder + "/b01.sol"); }));
    QCOMPARE(test::ReadFile(folder + "/b01.sol"), stored);
    QCOMPARE(test::ReadFile(folder + "/b.sol"), std::string("another save"));
    QCOMPARE(AmfValuesAsJson(ReadSol(test::ReadFile(folder + "/b01.sol")).values),
             AmfValuesAsJson(ReadSol(stored).values));
    // The save found on disk is as it was.
    QCOMPARE(Member(test::ReadFile(w.found.saves[0].file), "score"),
             "found " + w.found.saves[0].name);
}

// The window playing a movie with its saves, the address field's tooltip naming them: the
// README's picture (PELLIMOR_SAVES_SCREENSHOT names the file).
void SavePlayTest::screenshot() {
    SaveWindow w(true);
    QVERIFY(w.Select(QStringLiteral("run")));
    QVERIFY(!w.WaitForSave("games.example/arcade/run.swf/progress").empty());
    QWidget* address = w.dialog->Control(kIdAddress);
    const QPoint at =
        address->mapTo(w.dialog.get(), QPoint(address->width() / 3, address->height()));
    QToolTip::showText(address->mapToGlobal(QPoint(address->width() / 3, address->height())),
                       address->toolTip(), address);
    QWidget* tip = nullptr;
    QVERIFY(RunUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->inherits("QTipLabel") && top->isVisible()) {
                tip = top;
            }
        }
        return tip != nullptr;
    }));
    QImage shot = w.dialog->grab().toImage();
    QPainter painter(&shot);
    painter.drawImage(QPoint(std::min(at.x(), shot.width() - tip->width()),
                             std::max(0, std::min(at.y(), shot.height() - tip->height()))),
                      tip->grab().toImage());
    painter.end();
    const QString out = qEnvironmentVariable("PELLIMOR_SAVES_SCREENSHOT");
    if (!out.isEmpty()) {
        QVERIFY(shot.save(out));
    }
}

}  // namespace pellimor

int main(int argc, char** argv) {
    pellimor::PrepareWebEngine();
    QApplication app(argc, argv);
    pellimor::SavePlayTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SavePlayTest.moc"
