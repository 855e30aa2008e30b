// Playing with saves: movies made here that keep a shared object play in the real window,
// offscreen, with Ruffle. Flash Player's saves found on disk reach Ruffle under the key it
// asks for, for every form of SharedObject.getLocal; what the movie saves while it plays is
// written into the save folder by the list's menu entry, as Ruffle stored it.
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "PlayerHarness.h"
#include "app/SwfSaveMovie.h"
#include "catalogue/MovieSaves.h"
#include "catalogue/SolFile.h"
#include "platform/saves/SaveFinder.h"
#include "ui/PopOutPlayer.h"
#include "ui/player/PlayerScheme.h"

namespace pellimor {

namespace {

using namespace test;

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

CacheFiles CachedForms() {
    CacheFiles files;
    for (const Form& form : Forms()) {
        if (!form.leftover) {
            files.emplace_back("http://games.example/arcade/" + std::string(form.movie) + ".swf",
                               MakeSwfSaveMovie(form.design));
        }
    }
    return files;
}

// What the player's page holds now, under Ruffle's own keys.
std::map<std::string, std::string> Played(CFlash_ctrl* flash) {
    std::map<std::string, std::string> saves;
    const QVariant answer = Ask(flash->page(), QStringLiteral("pellimor.saves()"));
    for (const QJsonValue& entry : QJsonDocument::fromJson(answer.toString().toUtf8()).array()) {
        saves[entry[0].toString().toStdString()] =
            QByteArray::fromBase64(entry[1].toString().toLatin1()).toStdString();
    }
    return saves;
}

// Waits until the movie has flushed its save under key; its bytes.
std::string WaitForSave(CFlash_ctrl* flash, const std::string& key) {
    std::string bytes;
    RunUntil([&] {
        const auto played = Played(flash);
        const auto it = played.find(key);
        bytes = it == played.end() ? "" : it->second;
        return Member(bytes, "score") == "level 2";
    });
    return bytes;
}

// A window on a WinINet cache holding the form movies, with the leftovers beside them and
// saves found on disk (Flash Player's layout under AppData/Roaming) or none.
struct SaveWindow {
    Harness h{CachedForms()};
    std::string leftovers;  // the folder the leftover movies lie in
    FoundSaves found;

    explicit SaveWindow(bool withSaves) {
        const std::string sharedObjects =
            h.temp / "user/AppData/Roaming/Macromedia/Flash Player/#SharedObjects";
        for (const auto& file : std::filesystem::recursive_directory_iterator(h.cacheFolder)) {
            if (file.path().extension() == ".swf") {
                leftovers = file.path().parent_path();
            }
        }
        for (const Form& form : Forms()) {
            std::vector<std::string> path = form.path;
            if (form.leftover) {
                const std::string movie = leftovers + "/" + form.movie + ".swf";
                test::WriteFile(movie, MakeSwfSaveMovie(form.design));
                for (const auto& part : std::filesystem::path(movie)) {
                    if (part != "/" && !form.design.localPath) {
                        path.push_back(part);
                    }
                }
                path.erase(path.begin(), path.begin() + (path.empty() ? 0 : 1));
            }
            if (withSaves) {
                WriteSave(sharedObjects, form.leftover ? "localhost" : "games.example", path,
                          form.design.name);
            }
        }
        if (withSaves) {
            FindSaves(sharedObjects, found);
            h.saves = &found.saves;
        }
        h.Open().show();
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
    // Lists the form's movie (the cached movies, or the leftovers) and selects it.
    bool Show(const Form& form) {
        const int site = h.Sites()->findText(
            Q(strings::Load(form.leftover ? strings::kLeftoverFiles : strings::kAllSites)));
        if (h.Sites()->currentIndex() != site) {
            h.ChooseSite(h.Sites()->itemText(site));
        }
        return h.Select(QString::fromLatin1(form.movie));
    }
};

// The window playing a movie with its saves, the address field's tooltip drawn over it: the
// README's picture.
void SavesScreenshot(CMovieDlg& dialog) {
    if (qEnvironmentVariableIsEmpty("PELLIMOR_SCREENSHOT_DIR")) {
        return;
    }
    QWidget* address = dialog.Control(kIdAddress);
    const QPoint below(address->width() / 3, address->height());
    QToolTip::showText(address->mapToGlobal(below), address->toolTip(), address);
    QWidget* tip = nullptr;
    QVERIFY(RunUntil([&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            tip = top->inherits("QTipLabel") && top->isVisible() ? top : tip;
        }
        return tip != nullptr;
    }));
    QImage shot = dialog.grab().toImage();
    const QPoint at = address->mapTo(&dialog, below);
    QPainter(&shot).drawImage(QPoint(std::min(at.x(), shot.width() - tip->width()),
                                     std::max(0, std::min(at.y(), shot.height() - tip->height()))),
                              tip->grab().toImage());
    QVERIFY(shot.save(qEnvironmentVariable("PELLIMOR_SCREENSHOT_DIR") + "/saves.png"));
}

}  // namespace

class SavePlayTest : public QObject {
    Q_OBJECT
  private slots:
    void everyGetLocalFormFindsItsSaveUnderRufflesKey();
    void aMovieWithoutSavesStartsAfreshAndSavesItsOwn();
    void playedSavesAreWrittenAndExported();
};

// The movie traces and keeps as "seen" what its save held when it started: the found save,
// reached under the key the core gives, and nothing of another movie's.
void SavePlayTest::everyGetLocalFormFindsItsSaveUnderRufflesKey() {
    SaveWindow w(true);
    QCOMPARE(w.found.saves.size(), Forms().size());
    for (const Form& form : Forms()) {
        QVERIFY2(w.Show(form), form.movie);
        const std::string bytes = WaitForSave(w.h.Flash(), form.key);
        QVERIFY2(!bytes.empty(), form.movie);
        QCOMPARE(Member(bytes, "seen"), "found " + form.design.name);
        // Its own save and those kept for a folder above it (each has "hi" and "all"), and
        // only these, are in the player's storage.
        std::set<std::string> keys;
        std::string listed = form.movie;
        for (const auto& [key, played] : Played(w.h.Flash())) {
            keys.insert(key);
            listed += " " + key;
        }
        QVERIFY2(keys == form.stored, listed.c_str());
        // The movie's tooltip names its saves.
        const QString tip = w.h.dialog->Control(kIdAddress)->toolTip();
        QVERIFY2(tip.contains(QStringLiteral("%1 saves:").arg(keys.size())), qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("\n  ") + QString::fromStdString(form.design.name) +
                              QStringLiteral("  (")),
                 qPrintable(tip));
    }
    SavesScreenshot(*w.h.dialog);
    QVERIFY(w.Show(Forms()[0]));
    w.h.dialog->PlayInWindow(w.h.Row(QStringLiteral("run")));
    // The window of its own hands the page the same saves. (Both pages keep their storage in
    // one profile, so what the movie reads there may be what the preview's stored meanwhile.)
    CFlash_ctrl* popOut = w.h.dialog->popOut()->player();
    QVERIFY(!popOut->movieSaves().empty());
    QCOMPARE(popOut->movieSaves(), w.h.Flash()->movieSaves());
    w.h.dialog->popOut()->close();
}

// Without a save the movie finds nothing and saves its own, which Ruffle wrote: these are the
// test saves of tests/data/saves (PELLIMOR_SAVE_DATA_OUT names a folder to write them to).
void SavePlayTest::aMovieWithoutSavesStartsAfreshAndSavesItsOwn() {
    SaveWindow w(false);
    const char* out = std::getenv("PELLIMOR_SAVE_DATA_OUT");
    for (const Form& form : Forms()) {
        QVERIFY2(w.Show(form), form.movie);
        QVERIFY(w.h.Flash()->movieSaves().empty());
        const std::string bytes = WaitForSave(w.h.Flash(), form.key);
        QVERIFY2(!bytes.empty(), form.movie);
        QCOMPARE(Member(bytes, "seen"), std::string());
        QCOMPARE(ReadSol(bytes).error, std::string());
        if (out != nullptr) {
            test::WriteFile(std::string(out) + "/ruffle-" + form.movie + ".sol", bytes);
        }
    }
}

// The menu entry writes what the game playing saved as <host>/<path>/<name>.sol, byte for
// byte as Ruffle stored it, never over a file that is there; an export takes it too.
void SavePlayTest::playedSavesAreWrittenAndExported() {
    SaveWindow w(true);
    QVERIFY(w.h.Select(QStringLiteral("slash")));
    const std::string stored = WaitForSave(w.h.Flash(), "games.example/arcade/slash.swf/#a/b");
    QVERIFY(!stored.empty());
    const std::string folder = w.h.temp / "saved/games.example/arcade/slash.swf/#a";
    test::MakeFolders(folder);
    test::WriteFile(folder + "/b.sol", "another save");
    QAction* entry = w.h.MenuEntry(strings::kWritePlayedSaves);
    QVERIFY(entry != nullptr);
    entry->trigger();
    QVERIFY(RunUntil([&] { return test::FileExists(folder + "/b01.sol"); }));
    QCOMPARE(test::ReadFile(folder + "/b01.sol"), stored);
    QCOMPARE(test::ReadFile(folder + "/b.sol"), std::string("another save"));
    // A leftover's save goes under "localhost" and the path it plays from, as Flash Player
    // keeps a file's saves, not under the player page's address Ruffle keeps it under.
    QVERIFY(w.Show(Forms()[4]));
    const std::string kept = WaitForSave(w.h.Flash(), "player/file/progress");
    entry->trigger();
    const std::string file =
        w.h.temp / ("saved/localhost" + w.leftovers + "/keep.swf/progress.sol");
    QVERIFY(RunUntil([&] { return test::FileExists(file); }));
    QCOMPARE(test::ReadFile(file), kept);
    QVERIFY(!test::FileExists(w.h.temp / "saved/player"));

    // Exported after it was played, a game takes what it saved here beside the save found (a
    // numbered name where they differ), once the user says so; the found one stays as it was.
    QVERIFY(w.Show(Forms()[3]));
    QCOMPARE(WaitForSave(w.h.Flash(), "games.example/arcade/slash.swf/#a/b"), stored);
    const auto found = std::find_if(w.found.saves.begin(), w.found.saves.end(), [](auto& save) {
        return save.file.ends_with("/slash.swf/#a/b.sol");
    });
    QVERIFY(found != w.found.saves.end());
    for (const bool keep : {true, false}) {
        const std::string games = w.h.temp / (keep ? "games" : "games-found-only");
        test::MakeFolders(games);
        w.h.prompts.folderAnswer = games;
        w.h.prompts.textAnswers = {"Arcade", "en"};
        w.h.prompts.yes = keep;
        w.h.prompts.questions.clear();
        w.h.MenuEntry(strings::kExportGame)->trigger();
        const std::string meta = games + "/slash/meta.yaml";
        QVERIFY(RunUntil([&] { return test::FileExists(meta) && w.h.dialog->isEnabled(); }));
        QCOMPARE(w.h.prompts.questions,
                 std::vector<std::string>{std::string(strings::kExportPlayedSaves)});
        const std::string saves = games + "/slash/saves/games.example/arcade/slash.swf/#a";
        QCOMPARE(test::ReadFile(saves + "/b.sol"), test::ReadFile(found->file));
        QCOMPARE(Member(test::ReadFile(saves + "/b.sol"), "score"), "found " + found->name);
        QCOMPARE(test::FileExists(saves + "/b01.sol"), keep);
        QCOMPARE(test::ReadFile(meta).find("Save played in Pellimor: ") != std::string::npos, keep);
        if (keep) {
            QCOMPARE(test::ReadFile(saves + "/b01.sol"), stored);
        }
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
