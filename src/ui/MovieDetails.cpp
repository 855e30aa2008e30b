// The shown movie's details: its address, size and date, and the tooltip with its source,
// its facts, its page, its saves and what it asked for that the cache lacks.
#include "catalogue/MovieSaves.h"
#include "catalogue/SwfFactsSummary.h"
#include "resources/Strings.h"
#include "ui/CMovieDlg.h"
#include "ui/QtText.h"

namespace pellimor {

void CMovieDlg::ShowEntryDetails(std::int32_t key) {
    const SwfEntry entry =
        ShownSize(m_listing.catalogue.GetEntryByKey(key), m_services.listing.files);
    if (entry.key == 0) {
        return;
    }
    m_flash->SetMovie(QString::fromStdString(entry.localPath), QString::fromStdString(entry.url),
                      entry.id);
    m_shownFacts = MovieFactsText(entry);
    m_playedMissing.clear();
    ShowDetailsTip();
    static_cast<QLineEdit*>(Control(kIdAddress))->setText(QString::fromStdString(entry.url));
    static_cast<QLineEdit*>(Control(kIdSize))->setText(QString::fromStdString(entry.sizeText));
    static_cast<QLineEdit*>(Control(kIdModified))
        ->setText(QString::fromStdString(entry.lastModified));
}

std::string CMovieDlg::MovieFactsText(const SwfEntry& entry) {
    // Which browser's cache holds it, and what the movie says about itself, where the user
    // can see it without another control.
    std::string text;
    if (!entry.source.empty()) {
        text += "Kaynak (source): " + entry.source + "\n";
    }
    if (!entry.unreadable.empty()) {
        return text + entry.unreadable;
    }
    // A tooltip's facts are read from the first part of a movie at most.
    constexpr std::uint64_t kFactsReadLimit = 64ULL << 20;
    std::optional<std::string> bytes;
    std::string error;
    if (!entry.localPath.empty()) {
        if (Result<std::string> read =
                m_services.listing.files.ReadFile(entry.localPath, kFactsReadLimit);
            read) {
            bytes = std::move(read).value();
        } else {
            error = read.error();
        }
    } else if (Result<CacheBody> body =
                   m_services.listing.cache.ReadBody(entry.id, kFactsReadLimit);
               body.ok()) {
        bytes = std::move(body->bytes);
    } else {
        error = body.error();
    }
    if (!bytes) {
        return text + error;
    }
    return text + FactsSummary(ReadSwfFacts(*bytes, m_services.decompressor));
}

void CMovieDlg::ShowDetailsTip() {
    QString tip = Q(strings::kAddressTip) + QLatin1Char('\n') + Q(m_shownFacts);
    if (const auto& page = m_flash->moviePage()) {
        tip += QLatin1Char('\n') + Q(MoviePageText(*page)).trimmed();  // what it plays with
    }
    if (!m_flash->movieSaves().empty()) {
        // Flash Player's saves of this movie, which the preview starts it with.
        tip += QStringLiteral("\n%1 saves:").arg(m_flash->movieSaves().size());
        for (const std::size_t i : m_flash->movieSaves()) {
            const FoundSave& save = (*m_services.saves)[i];
            tip += QStringLiteral("\n  ") + Q(save.name) + QStringLiteral("  (") +
                   Q(SavePathText(save)) + QLatin1Char(')');
        }
    }
    if (!m_playedMissing.empty()) {
        // What the movie asked for while it played that the cache does not hold.
        tip += QStringLiteral("\n%1 missing:").arg(m_playedMissing.size());
        for (const QString& address : m_playedMissing) {
            tip += QStringLiteral("\n  ") + address;
        }
    }
    Control(kIdAddress)->setToolTip(tip);
}

void CMovieDlg::OnPlayerEvent(const QString& name, int load, const QUrlQuery& fields) {
    if (name != QStringLiteral("missing") || load != m_flash->currentLoad()) {
        return;
    }
    const QString address = fields.queryItemValue(QStringLiteral("url"), QUrl::FullyDecoded);
    if (!address.isEmpty() && m_playedMissing.insert(address).second) {
        ShowDetailsTip();
    }
}

}  // namespace pellimor
