// Playing with saves: movies made here that keep a shared object play in the real window,
// offscreen, with Ruffle. Flash Player's saves found on disk reach Ruffle under the key it
// asks for, for every form of SharedObject.getLocal; what the movie saves while it plays is
// written into the save folder by the list's menu entry, as Ruffle stored it.
#include <QAction>
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QListView>
#include <QPainter>
#include <QToolTip>
#include <QWebEnginePage>
#include <algorithm>

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

// One movie per form of getLocal, each under its own address of one site; and movies left
// in the cache folder (no address: the player's page serves them to Ruffle from its own
// address), whose saves Flash Player kept under "localhost" when they were played from files.
struct Form {
    const char* movie;  // the list's name
    SaveMovieDesign design;
    std::vector<std::string> path;  // where Flash Player kept its save, below the host
    std::string key;                // the key Ruffle keeps it under
    std::set<std::string> stored;   // the keys of the saves the page is given for the movie
    bool leftover = false;          // a file: its save's path is the file's own, as read
                                    // from another mount (its first folder dropped)
};

std::vector<Form> Forms() {
    const std::string hi = "games.example/arcade/hi", all = "games.example//all";
    return {
        {"run",
         {"progress", std::nullopt, "level 2"},
         {"arcade", "run.swf"},
         "games.example/arcade/run.swf/progress",
         {"games.example/arcade/run.swf/progress", hi, all}},
        {"folder", {"hi", std::string("/arcade"), "level 2"}, {"arcade"}, hi, {hi, all}},
        {"root", {"all", std::string("/"), "level 2"}, {}, all, {hi, all}},
        {"slash",
         {"a/b", std::nullopt, "level 2"},
         {"arcade", "slash.swf"},
         "games.example/arcade/slash.swf/#a/b",
         {"games.example/arcade/slash.swf/#a/b", hi, all}},
        {"keep",
         {"progress", std::nullopt, "level 2"},
         {},
         "player/file/progress",
         {"player/file/progress", "player//every"},
         true},
        {"keepall",
         {"every", std::string("/"), "level 2"},
         {},
         "player//every",
         {"player//every"},
         true},
    };
}

// A window on a WinINet cache holding the form movies, with saves found on disk (Flash
// Player's layout under AppData/Roaming) or none.
struct SaveWindow {
    test::TempFolder temp;
    PosixFileOps files;
    PlatformTools tools;
    std::unique_ptr<CacheSource> cache;
    HiveRegistry registry{temp / "config/Tavrik/hkcu.reg"};
    test::ScriptedPrompts prompts;
    RecordingShell shell;
    std::unique_ptr<ListingServices> listing;
    std::unique_ptr<CMovieDlg> dialog;
    std::string ieFolder;
    std::string leftovers;  // the folder the leftover movies lie in
    FoundSaves found;

    explicit SaveWindow(bool withSaves) {
        CacheProfileWriter writer(temp / "user/AppData/Local/Microsoft/Windows",
                                  indexdat::Flavour::kInternetExplorer, 17);
        const std::string sharedObjects =
            temp / "user/AppData/Roaming/Macromedia/Flash Player/#SharedObjects";
        for (const Form& form : Forms()) {
            if (form.leftover) {
                continue;
            }
            ContentEntry e;
            e.url = "http://games.example/arcade/" + std::string(form.movie) + ".swf";
            e.body = MakeSwfSaveMovie(form.design);
            e.extension = "swf";
            e.headers = "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n\r\n";
            if (const auto added = writer.AddContent(e); !added) {
                qWarning("%s", added.error().c_str());
            }
            if (withSaves) {
                WriteSave(sharedObjects, "games.example", form.path, form.design.name);
            }
        }
        if (const Status saved = writer.Save(); !saved) {
            qWarning("%s", saved.error().c_str());
        }
        ieFolder = writer.cacheFolder();
        // The leftovers lie beside a cached movie, in its cache folder.
        std::string beside;
        for (const auto& file : std::filesystem::recursive_directory_iterator(ieFolder)) {
            if (file.path().extension() == ".swf") {
                beside = file.path().parent_path();
            }
        }
        for (const Form& form : Forms()) {
            if (!form.leftover) {
                continue;
            }
            leftovers = beside;
            const std::string movie = beside + "/" + form.movie + ".swf";
            test::WriteFile(movie, MakeSwfSaveMovie(form.design));
            if (withSaves) {
                std::vector<std::string> path;
                if (!form.design.localPath) {
                    for (const auto& part : std::filesystem::path(movie)) {
                        if (part != "/") {
                            path.push_back(part);
                        }
                    }
                    path.erase(path.begin());
                }
                WriteSave(sharedObjects, "localhost", path, form.design.name);
            }
        }
        if (withSaves) {
            FindSaves(sharedObjects, found);
        }
        cache = std::make_unique<IndexDatCache>(ieFolder, 1252);
        listing = std::make_unique<ListingServices>(ListingServices{
            *cache, files, [this] { return std::optional<std::string>(ieFolder); }});
        test::MakeFolders(temp / "saved");
        SetSavePath(registry, temp / "saved");
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(8);
        dialog = std::make_unique<CMovieDlg>(DialogServices{*listing,
                                                            registry,
                                                            prompts,
                                                            shell,
                                                            tools.decompressor,
                                                            tools.exportFolders,
                                                            temp / "home",
                                                            {},
                                                            &found.saves},
                                             "", font);
        dialog->show();
    }
    // A save as Flash Player kept it, holding "found <name>" as its score.
    static void WriteSave(const std::string& sharedObjects, const std::string& host,
                          const std::vector<std::string>& path, const std::string& name) {
        FoundSave save{{}, host, path, name, {}, {}};
        std::string file = sharedObjects + "/K7Q2XW9B";
        for (const std::string& segment : SaveFileSegments(save)) {
            file += "/" + segment;
        }
        test::MakeFolders(std::filesystem::path(file).parent_path());
        test::WriteFile(file, SolWithScore(name, "found " + name));
    }
    QListView* List() const { return static_cast<QListView*>(dialog->Control(kIdMovies)); }
    CFlash_ctrl* Flash() const { return static_cast<CFlash_ctrl*>(dialog->Control(kIdPlayer)); }
    // Lists the form's movie (the cached movies, or the leftovers) and selects it.
    bool Show(const Form& form) {
        auto* sites = static_cast<QComboBox*>(dialog->Control(kIdSites));
        const int site = sites->findText(
            Q(strings::Load(form.leftover ? strings::kLeftoverFiles : strings::kAllSites)));
        if (sites->currentIndex() != site) {
            sites->setCurrentIndex(site);
            emit sites->activated(site);
        }
        return Select(QString::fromLatin1(form.movie));
    }
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
    // What the page's storage holds now, under Ruffle's own keys.
    std::map<std::string, std::string> Played() {
        std::map<std::string, std::string> saves;
        bool answered = false;
        Flash()->page()->runJavaScript(
            QStringLiteral("pellimor.saves()"), [&](const QVariant& answer) {
                for (const QJsonValue& entry :
                     QJsonDocument::fromJson(answer.toString().toUtf8()).array()) {
                    saves[entry[0].toString().toStdString()] =
                        QByteArray::fromBase64(entry[1].toString().toLatin1()).toStdString();
                }
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
    void anExportAfterPlayingKeepsThePlayedSaveBesideTheFoundOne();
    void screenshot();
};

// The movie traces and keeps as "seen" what its save held when it started: the found save,
// reached under the key the core gives, and nothing of another movie's.
void SavePlayTest::everyGetLocalFormFindsItsSaveUnderRufflesKey() {
    SaveWindow w(true);
    QCOMPARE(w.found.saves.size(), Forms().size());
    for (const Form& form : Forms()) {
        QVERIFY2(w.Show(form), form.movie);
        const std::string bytes = w.WaitForSave(form.key);
        QVERIFY2(!bytes.empty(), form.movie);
        QCOMPARE(Member(bytes, "seen"), "found " + form.design.name);
        // Its own save and those kept for a folder above it (each has "hi" and "all"), and
        // only these, are in the player's storage.
        std::set<std::string> keys;
        std::string listed = form.movie;
        for (const auto& [key, played] : w.Played()) {
            keys.insert(key);
            listed += " " + key;
        }
        QVERIFY2(keys == form.stored, listed.c_str());
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
        QVERIFY2(w.Show(form), form.movie);
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
    // A leftover's save goes under "localhost" and the path it plays from, as Flash Player
    // keeps a file's saves, not under the player page's address Ruffle keeps it under.
    QVERIFY(w.Show(Forms()[4]));
    const std::string kept = w.WaitForSave("player/file/progress");
    entry->trigger();
    const std::string file = w.temp / ("saved/localhost" + w.leftovers + "/keep.swf/progress.sol");
    QVERIFY(RunUntil([&] { return test::FileExists(file); }));
    QCOMPARE(test::ReadFile(file), kept);
    QVERIFY(!test::FileExists(w.temp / "saved/player"));
}

// Exported after it was played, a game takes what it saved here beside the save found (a
// numbered name where they differ), once the user says so; the found one stays as it was.
void SavePlayTest::anExportAfterPlayingKeepsThePlayedSaveBesideTheFoundOne() {
    for (const bool keep : {true, false}) {
        SaveWindow w(true);
        QVERIFY(w.Select(QStringLiteral("slash")));
        const std::string stored = w.WaitForSave("games.example/arcade/slash.swf/#a/b");
        QVERIFY(!stored.empty());
        const std::string games = w.temp / (keep ? "games" : "games-found-only");
        test::MakeFolders(games);
        w.prompts.folderAnswer = games;
        w.prompts.textAnswers = {"Arcade", "en"};
        w.prompts.yes = keep;
        QAction* exportGame = w.MenuEntry(strings::kExportGame);
        QVERIFY(exportGame != nullptr);
        exportGame->trigger();
        const std::string meta = games + "/slash/meta.yaml";
        QVERIFY(RunUntil([&] { return test::FileExists(meta) && w.dialog->isEnabled(); }));
        QCOMPARE(w.prompts.questions.size(), std::size_t{1});
        QCOMPARE(w.prompts.questions[0], std::string(strings::kExportPlayedSaves));
        const std::string saves = games + "/slash/saves/games.example/arcade/slash.swf/#a";
        const auto found = std::find_if(w.found.saves.begin(), w.found.saves.end(), [](auto& save) {
            return save.file.ends_with("/slash.swf/#a/b.sol");
        });
        QVERIFY(found != w.found.saves.end());
        QCOMPARE(test::ReadFile(saves + "/b.sol"), test::ReadFile(found->file));
        QCOMPARE(Member(test::ReadFile(saves + "/b.sol"), "score"), "found " + found->name);
        QCOMPARE(test::FileExists(saves + "/b01.sol"), keep);
        QCOMPARE(test::ReadFile(meta).find("Save played in Pellimor: ") != std::string::npos, keep);
        if (keep) {
            QCOMPARE(test::ReadFile(saves + "/b01.sol"), stored);
        }
    }
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
