// The preview player at control 1011: Ruffle, the Flash Player emulator, in a web view. The
// dialog only ever sets its movie; how it is played is this class's affair alone. Where no
// player can run, a note takes its place and the rest of the window works as ever.
#pragma once

#include <QLabel>
#include <QString>
#include <QUrlQuery>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "catalogue/CacheAddressBook.h"
#include "files/MoviePage.h"
#include "ports/CacheSource.h"
#include "ports/FileOps.h"
#include "ports/SaveFile.h"
#include "ui/RuffleOptions.h"

class QWebEnginePage;

namespace pellimor {

class CFlash_ctrl : public QWidget {
    Q_OBJECT
  public:
    // cache answers the loads of movies that play under their own address; may be null.
    // files: how the preview reads the movie and what it loads (within the cache folder).
    // addresses, pages: the address book and the pages of another player of the same cache,
    // shared; null: its own.
    explicit CFlash_ctrl(CacheSource* cache = nullptr, FileOps* files = nullptr,
                         QWidget* parent = nullptr,
                         std::shared_ptr<SharedAddressBook> addresses = nullptr,
                         std::shared_ptr<SharedMoviePages> pages = nullptr);
    ~CFlash_ctrl() override;

    // Plays the movie at this local path, under its address when that is a web address; the
    // same path again plays it again from its start. A movie under its address that a cached
    // page of its site embeds plays with that page's parameters, base address and size.
    // A movie without a file of its own (localPath empty) is read through the cache by id.
    void SetMovie(const QString& localPath, const QString& address = QString(),
                  const EntryId& id = {});

    // The saves found beside the caches: a movie set later starts with its own (those of its
    // host whose path its address starts with) in the player's storage. Kept by the caller.
    void SetSaves(const std::vector<FoundSave>* saves) { saves_ = saves; }
    // The saves given to the movie set last.
    const std::vector<std::size_t>& movieSaves() const { return movieSaves_; }
    // What the movie playing keeps in the player's storage now: the key and the bytes of each
    // save (Ruffle's key; for a movie played from a file, the key Flash Player keeps a file's
    // saves under); handed to done once the page answers (nothing without a player).
    void ReadPlayedSaves(
        std::function<void(std::vector<std::pair<std::string, std::string>>)> done);

    // The cache was scanned again, or entries deleted: the next load reads its addresses anew.
    void CacheChanged() {
        addresses_->CacheChanged();
        pages_->CacheChanged();
    }
    // The book the movies' loads are looked up in, for a second player of the same cache.
    const std::shared_ptr<SharedAddressBook>& addresses() const { return addresses_; }
    // The pages that embed movies, for a second player of the same cache.
    const std::shared_ptr<SharedMoviePages>& pages() const { return pages_; }
    // The page the movie set last plays with, if a cached page embeds it.
    const std::optional<MoviePage>& moviePage() const { return moviePage_; }

    const QString& movie() const { return movie_; }
    int moviesSet() const { return moviesSet_; }
    // The number of the load the page plays now (1 for the first movie set).
    int currentLoad() const { return moviesSet_; }

    // Holds the movie where it is while paused (another player plays, and one sound at a
    // time is heard); a movie set meanwhile waits too.
    void SetPaused(bool paused);
    bool paused() const { return paused_; }

    bool hasPlayer() const;
    // The note shown in the player's place when no player can run, or empty.
    const QString& note() const { return noteText_; }
    // A note over the preview until it is given again empty: what the window shows instead of
    // a movie (no cache, say). It goes before every other note.
    void ShowNotice(const QString& text);
    // The text shown over the preview now (a notice, a missing movie, no player), or empty.
    QString shownNote() const;
    int blockedRequests() const;
    const RuffleOptions& options() const { return options_; }
    // The player's page, or null without a player: for the tests and the benchmark.
    QWebEnginePage* page() const;

  signals:
    void movieSet(const QString& localPath);
    // What the page tells: "ready", "metadata" (with what Ruffle was given: movie, base,
    // parameters), "frame", "missing", "failed"; load is the number of the movie set it
    // belongs to.
    void pageEvent(const QString& name, int load, const QUrlQuery& fields);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    // Tab and Shift+Tab in the player leave it for the window's next or previous control.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Player;

    void ShowNote(std::string_view why);
    void UpdateNote();
    void WatchKeys(QObject* object);
    void Play();
    void OnPageEvent(const QString& name, const QUrlQuery& fields);
    // The player's place: the whole control, or the page's size fitted into it.
    void PlacePlayer();

    RuffleOptions options_;
    std::shared_ptr<SharedAddressBook> addresses_;
    std::shared_ptr<SharedMoviePages> pages_;
    std::optional<MoviePage> moviePage_;
    std::unique_ptr<Player> player_;
    QLabel* note_;
    QString noteText_;
    QString noticeText_;
    QString missingText_;  // the movie set is not there
    QString movie_;
    QString pageUrl_;  // what the page is to play
    const std::vector<FoundSave>* saves_ = nullptr;
    std::vector<std::size_t> movieSaves_;
    int moviesSet_ = 0;
    bool paused_ = false;
};

}  // namespace pellimor
