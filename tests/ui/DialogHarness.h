// One real window on a cache made for the test, with the prompts and the shell it talks to
// recorded.
#pragma once

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QToolTip>
#include <QtTest>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <utility>
#include "app/DemoCache.h"
#include "app/PlatformTools.h"
#include "files/SettingsStore.h"

#include "catalogue/CacheProfile.h"
#include "platform/chromium/SimpleCache.h"
#include "platform/fileops/PosixFileOps.h"
#include "platform/registry/HiveRegistry.h"
#include "platform/urlcache/CacheWriter.h"
#include "platform/urlcache/IndexDatCache.h"
#include "resources/Strings.h"
#include "support/ScriptedPrompts.h"
#include "support/TempFolder.h"
#include "ui/CFlash_ctrl.h"
#include "ui/CMovieDlg.h"
#include "ui/QtText.h"

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

// A copy of the cache Chrome made (tests/data/browsers/made).
struct MadeCache {
    bool withDemo = false;  // read together with the demo's Internet Explorer cache
};

// The demo cache without the entry of this address.
struct Deleted {
    std::string address;
};

// An Internet Explorer cache's files: address and body. A body that begins as a movie is
// filed as one, any other as a page.
using CacheFiles = std::vector<std::pair<std::string, std::string>>;

// One window on one cache, with everything it talks to recorded.
struct Harness {
    test::TempFolder temp;
    std::string cacheFolder;
    PosixFileOps files;
    PlatformTools tools;
    std::unique_ptr<CacheSource> source;  // what the window lists
    IndexDatCache* cache = nullptr;       // its Internet Explorer cache, if it has one
    HiveRegistry registry{temp / "config/Tavrik/hkcu.reg"};
    test::ScriptedPrompts prompts;
    RecordingShell shell;
    const std::vector<FoundSave>* saves = nullptr;  // the saves found on disk, if any
    std::unique_ptr<ListingServices> listing;
    std::unique_ptr<CMovieDlg> dialog;

    // The demo cache.
    Harness() { Use(MakeDemoCache(temp / "profile").value()); }
    explicit Harness(const Deleted& entry) : Harness() {
        if (!cache->DeleteEntry(entry.address).ok()) {
            qWarning("%s was not deleted", entry.address.c_str());
        }
    }
    explicit Harness(const CacheFiles& written) { Write(written); }
    explicit Harness(const MadeCache& made) {
        const std::string folder = temp / "Cache_Data";
        std::filesystem::copy(std::string(PELLIMOR_TEST_DATA) +
                                  "/browsers/made/chromium-simple/Default/Cache/Cache_Data",
                              folder, std::filesystem::copy_options::recursive);
        std::unique_ptr<CacheSource> browser = std::make_unique<ChromiumSimpleCache>(folder);
        if (made.withDemo) {
            Use(MakeDemoCache(temp / "profile").value());
            auto profile = std::make_unique<CacheProfile>();
            profile->Add(std::move(source));
            profile->Add(std::move(browser));
            source = std::move(profile);
        } else {
            source = std::move(browser);
        }
        cacheFolder = folder;
        Listing();
    }

    CMovieDlg& Open(const std::string& site = "") {
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
                                                            saves},
                                             site, font);
        return *dialog;
    }
    QListView* List() const { return static_cast<QListView*>(dialog->Control(kIdMovies)); }
    QComboBox* Sites() const { return static_cast<QComboBox*>(dialog->Control(kIdSites)); }
    CFlash_ctrl* Flash() const { return static_cast<CFlash_ctrl*>(dialog->Control(kIdPlayer)); }
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
    // Selects the line of that name alone; whether it is listed.
    bool Select(const QString& name) {
        const int row = Row(name);
        Select({row});
        return row >= 0;
    }
    void Click(int id) {
        QTest::mouseClick(static_cast<QPushButton*>(dialog->Control(id)), Qt::LeftButton);
    }
    void ChooseSite(const QString& text) {
        const int index = Sites()->findText(text);
        Sites()->setCurrentIndex(index);
        emit Sites()->activated(index);
    }
    void ChooseSite(int item) { ChooseSite(Q(strings::Load(item))); }
    // The entry of the list's context menu with this text.
    QAction* MenuEntry(std::string_view text) const {
        for (QAction* action : List()->actions()) {
            if (action->text() == Q(text)) {
                return action;
            }
        }
        return nullptr;
    }

  private:
    void Use(const std::string& folder) {
        cacheFolder = folder;
        auto ie = std::make_unique<IndexDatCache>(folder, 1252);
        cache = ie.get();
        source = std::move(ie);
        Listing();
    }
    void Write(const CacheFiles& written) {
        CacheProfileWriter writer(temp / "profile", indexdat::Flavour::kInternetExplorer, 11);
        for (const auto& [url, body] : written) {
            const bool movie = body.starts_with("FWS");
            ContentEntry e;
            e.url = url;
            e.body = body;
            e.extension = movie ? "swf" : "htm";
            e.headers = std::string("HTTP/1.1 200 OK\r\nContent-Type: ") +
                        (movie ? "application/x-shockwave-flash" : "text/html") + "\r\n\r\n";
            if (const auto added = writer.AddContent(e); !added) {
                qWarning("%s", added.error().c_str());
            }
        }
        if (const Status saved = writer.Save(); !saved) {
            qWarning("%s", saved.error().c_str());
        }
        Use(writer.cacheFolder());
    }
    void Listing() {
        listing = std::make_unique<ListingServices>(ListingServices{
            *source, files, [this] { return std::optional<std::string>(cacheFolder); }});
        test::MakeFolders(temp / "saved");
        SetSavePath(registry, temp / "saved");
    }
};

// What the window prints on standard error while it lives.
class CapturedErrors {
  public:
    CapturedErrors() : old_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~CapturedErrors() { std::cerr.rdbuf(old_); }
    CapturedErrors(const CapturedErrors&) = delete;
    CapturedErrors& operator=(const CapturedErrors&) = delete;
    std::string text() const { return text_.str(); }

  private:
    std::ostringstream text_;
    std::streambuf* old_;
};

// The tooltip a pointer resting on the widget would show (also on a disabled one).
inline QString ToolTipShown(QWidget* widget) {
    QToolTip::hideText();
    const QPoint centre = widget->rect().center();
    QHelpEvent hover(QEvent::ToolTip, centre, widget->mapToGlobal(centre));
    QApplication::sendEvent(widget, &hover);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

// Pictures for the README: the widget as shown, saved as name.png in the folder
// PELLIMOR_SCREENSHOT_DIR names, when it names one.
inline void Screenshot(QWidget* widget, const char* name) {
    const QString folder = qEnvironmentVariable("PELLIMOR_SCREENSHOT_DIR");
    if (!folder.isEmpty()) {
        widget->show();
        QVERIFY(widget->grab().save(folder + QLatin1Char('/') + QLatin1String(name) +
                                    QStringLiteral(".png")));
    }
}

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
            QVERIFY2(reached == stops[static_cast<std::size_t>(at)],
                     qPrintable(QStringLiteral("%1 step %2").arg(forward).arg(step)));
        }
    };
    walk(true);
    walk(false);
}

}  // namespace pellimor
