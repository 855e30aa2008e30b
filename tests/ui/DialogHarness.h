// One real window on a demo cache, with the prompts and the shell it talks to recorded.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QListView>
#include <QPushButton>
#include <QtTest>

#include <filesystem>
#include "app/DemoCache.h"
#include "app/PlatformTools.h"
#include "files/SettingsStore.h"

#include "catalogue/CacheProfile.h"
#include "platform/chromium/SimpleCache.h"
#include "platform/fileops/PosixFileOps.h"
#include "platform/registry/HiveRegistry.h"
#include "platform/urlcache/CacheWriter.h"
#include "platform/urlcache/IndexDatCache.h"
#include "support/ScriptedPrompts.h"
#include "support/TempFolder.h"
#include "ui/CMovieDlg.h"

namespace pellimor {

class RecordingShell : public Shell {
  public:
    std::vector<std::string> opened;
    bool hasProgram = true;  // false: as a desktop without a default program
    bool Open(const std::string& path) override {
        opened.push_back(path);
        return hasProgram;
    }
};

// A copy of a Chrome cache made by the real browser (tests/data/browsers/made).
struct ChromeCache {
    std::string folder;
    bool withDemo = false;  // read together with the demo's Internet Explorer cache
};

// One window on one cache, with everything it talks to recorded.
struct Harness {
    test::TempFolder temp;
    std::string cacheFolder;
    PosixFileOps files;
    PlatformTools tools;
    std::unique_ptr<IndexDatCache> cache;
    std::unique_ptr<CacheSource> chrome;  // instead of cache, for a Chrome cache
    HiveRegistry registry{temp / "config/Tavrik/hkcu.reg"};
    test::ScriptedPrompts prompts;
    RecordingShell shell;
    std::unique_ptr<ListingServices> listing;
    std::unique_ptr<CMovieDlg> dialog;

    explicit Harness(int movies = 0) {
        std::string error;
        if (movies == 0) {
            cacheFolder = MakeDemoCache(temp / "profile", error);
        } else {
            CacheProfileWriter writer(temp / "profile", indexdat::Flavour::kInternetExplorer, 5);
            for (int i = 0; i < movies; ++i) {
                ContentEntry e;
                e.url = "http://many.example/m" + std::to_string(i) + ".swf";
                e.body = "FWS";
                e.extension = "swf";
                (void)writer.AddContent(e);
            }
            (void)writer.Save();
            cacheFolder = writer.cacheFolder();
        }
        cache = std::make_unique<IndexDatCache>(cacheFolder, 1252);
        listing = std::make_unique<ListingServices>(ListingServices{
            *cache, files, [this] { return std::optional<std::string>(cacheFolder); }});
        test::MakeFolders(temp / "saved");
        SetSavePath(registry, temp / "saved");
    }
    explicit Harness(const ChromeCache& made) {
        cacheFolder = temp / "Cache_Data";
        std::filesystem::copy(made.folder, cacheFolder, std::filesystem::copy_options::recursive);
        chrome = std::make_unique<ChromiumSimpleCache>(cacheFolder);
        if (made.withDemo) {
            std::string error;
            auto profile = std::make_unique<CacheProfile>();
            profile->Add(
                std::make_unique<IndexDatCache>(MakeDemoCache(temp / "profile", error), 1252));
            profile->Add(std::move(chrome));
            chrome = std::move(profile);
        }
        listing = std::make_unique<ListingServices>(ListingServices{
            *chrome, files, [this] { return std::optional<std::string>(cacheFolder); }});
        test::MakeFolders(temp / "saved");
        SetSavePath(registry, temp / "saved");
    }
    CMovieDlg& Open(const std::string& site = "") {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSize(8);
        dialog = std::make_unique<CMovieDlg>(
            DialogServices{*listing, registry, prompts, shell, tools.decompressor,
                           tools.exportFolders, temp / "home"},
            site, font);
        return *dialog;
    }
    QListView* List() const { return static_cast<QListView*>(dialog->Control(kIdMovies)); }
    QComboBox* Sites() const { return static_cast<QComboBox*>(dialog->Control(kIdSites)); }
    QString Text(int id) const { return static_cast<QLineEdit*>(dialog->Control(id))->text(); }
    bool Enabled(int id) const { return dialog->Control(id)->isEnabled(); }
    int Row(const QString& text) const {
        const auto* model = List()->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            if (model->index(r, 0).data().toString() == text) {
                return r;
            }
        }
        return -1;
    }
    // Selects these lines at once, as one change of the selection.
    void Select(std::initializer_list<int> rows) {
        QItemSelection lines;
        for (const int r : rows) {
            const QModelIndex index = List()->model()->index(r, 0);
            lines.select(index, index);
        }
        List()->selectionModel()->select(lines, QItemSelectionModel::ClearAndSelect);
    }
    void Click(int id) {
        QTest::mouseClick(static_cast<QPushButton*>(dialog->Control(id)), Qt::LeftButton);
    }
    void ChooseSite(const QString& text) {
        const int index = Sites()->findText(text);
        Sites()->setCurrentIndex(index);
        emit Sites()->activated(index);
    }
};

// The control a widget belongs to (itself or a control it lies within).
inline QWidget* ControlOf(CMovieDlg& dialog, QWidget* widget) {
    for (const ControlSpec& spec : kControls) {
        QWidget* control = dialog.Control(spec.id);
        if (control != nullptr && (control == widget || control->isAncestorOf(widget))) {
            return control;
        }
    }
    return nullptr;
}

// The enabled controls with a tab stop, in template order.
inline std::vector<QWidget*> EnabledTabStops(CMovieDlg& dialog) {
    std::vector<QWidget*> stops;
    for (const ControlSpec& spec : kControls) {
        if (spec.kind == ControlKind::kLabel || spec.kind == ControlKind::kFrame ||
            spec.kind == ControlKind::kListBox) {
            continue;
        }
        QWidget* control = dialog.Control(spec.id);
        if (control->isEnabled()) {
            stops.push_back(control);
        }
    }
    return stops;
}

// Tab from the first control round to it again, then Shift+Tab back round: every enabled
// control with a tab stop in template order, in and out of the preview.
inline void WalkTheTabOrder(CMovieDlg& dialog) {
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    const std::vector<QWidget*> stops = EnabledTabStops(dialog);
    QVERIFY(stops.size() >= 10);
    QCOMPARE(ControlOf(dialog, QApplication::focusWidget()), stops.front());
    const auto walk = [&](bool forward) {
        const int n = static_cast<int>(stops.size());
        for (int step = 1; step <= n; ++step) {
            QTest::keyClick(dialog.windowHandle(), forward ? Qt::Key_Tab : Qt::Key_Backtab,
                            forward ? Qt::NoModifier : Qt::ShiftModifier);
            const int at = forward ? step % n : (n - step % n) % n;
            QWidget* reached = ControlOf(dialog, QApplication::focusWidget());
            QVERIFY2(
                reached == stops[static_cast<std::size_t>(at)],
                qPrintable(
                    QStringLiteral("%1 %2: reached %3, expected %4")
                        .arg(forward ? "Tab" : "Shift+Tab")
                        .arg(step)
                        .arg(reached ? reached->property("ctrlId").toInt() : 0)
                        .arg(stops[static_cast<std::size_t>(at)]->property("ctrlId").toInt())));
        }
    };
    walk(true);
    walk(false);
}

}  // namespace pellimor
