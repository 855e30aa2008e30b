// What the window says about the cache instead of a movie: why none could be listed, or what
// a cache read in part may be missing.
#include <QFileInfo>

#include <iostream>

#include "resources/Strings.h"
#include "ui/CMovieDlg.h"
#include "ui/QtText.h"

namespace pellimor {

std::string CacheProblem(const std::optional<std::string>& folder, bool indexFound,
                         const std::vector<std::string>& unusable) {
    const std::string option(strings::kGiveCacheOption);
    if (!folder) {
        return std::string(strings::kNoCacheFound) + "\n" + option;
    }
    if (indexFound) {
        return {};
    }
    const QFileInfo info(QString::fromStdString(*folder));
    std::string what;
    if (!info.exists()) {
        what = strings::kFolderMissing;
    } else if (!info.isDir()) {
        what = strings::kFolderIsFile;
    } else if (!unusable.empty()) {
        for (const std::string& problem : unusable) {
            what += (what.empty() ? "" : "; ") + problem;
        }
    } else {
        what = strings::kNoIndexThere;
    }
    return "No cache at " + *folder + ": " + what + "\n" + option;
}

void CMovieDlg::ShowCacheNote() {
    // Only where the empty list would puzzle: listed movies say enough themselves.
    std::string note;
    if (m_listing.catalogue.IsEmpty()) {
        if (!m_services.cacheProblem.empty()) {
            note = m_services.cacheProblem;
        } else if (!m_listing.cacheError.empty()) {
            note = m_listing.cacheError + "\n" + std::string(strings::kGiveCacheOption);
        }
    }
    const QString text = Q(note);
    if (text != m_cacheNote && !note.empty()) {
        std::cerr << "pellimor: " << note << "\n";
    }
    m_cacheNote = text;
    m_flash->ShowNotice(m_cacheNote);
    // A cache read only in part (a database Windows did not close ...): the movies listed
    // stand, and the list says what may be missing from it, without covering the player.
    const std::string partial =
        m_listing.catalogue.IsEmpty() ? std::string() : m_listing.cacheError;
    const QString tip = partial.empty()
                            ? Q(strings::kMoviesTip)
                            : Q(strings::kMoviesTip) + QStringLiteral("\n\n") + Q(partial);
    if (tip != m_lbMovies->toolTip() && !partial.empty()) {
        std::cerr << "pellimor: " << partial << "\n";
    }
    m_lbMovies->setToolTip(tip);
}

}  // namespace pellimor
