// The one table of texts the user sees, by the string ids the program has always used.
#pragma once

#include <string_view>

namespace pellimor::strings {

constexpr int kFolderBrowserTitle = 130;
constexpr int kCopyFailed = 131;
constexpr int kAllSites = 132;
constexpr int kLeftoverFiles = 133;

// The text of a string id; empty for an unknown id.
std::string_view Load(int id);

// Captions and other fixed texts, in the window's language.
inline constexpr std::string_view kAppName = "Pellimor";
inline constexpr std::string_view kAreYouSure = "Are you sure?";
inline constexpr std::string_view kSave = "Kaydet";
inline constexpr std::string_view kSaveAs = "Farklı Kaydet";
inline constexpr std::string_view kSaveAll = "Tümünü Kaydet";
inline constexpr std::string_view kChooseFolder = "Klasör Seç";
inline constexpr std::string_view kOpenFolder = "Klasör Aç";
inline constexpr std::string_view kOpenMovie = "Filmi Aç";
inline constexpr std::string_view kRefresh = "Yenile";
inline constexpr std::string_view kDelete = "Sil";
inline constexpr std::string_view kClose = "Programı Kapat";
inline constexpr std::string_view kAddressLabel = "Swf Adresi :";
inline constexpr std::string_view kSizeLabel = "Dosya Boyutu:";
inline constexpr std::string_view kModifiedLabel = "Son Değiştirilme:";
inline constexpr std::string_view kSiteLabel = "Site:";

// The note in the preview's place when no player can run.
inline constexpr std::string_view kNoWebEngine =
    "No preview: this build of Pellimor has no web engine.";
inline constexpr std::string_view kNoRuffle =
    "No preview: Ruffle's files are not installed (run \"npm ci\" in the source folder, or "
    "name their folder in PELLIMOR_RUFFLE_DIR).";
inline constexpr std::string_view kPreviewTurnedOff =
    "No preview: turned off by PELLIMOR_PREVIEW=off.";
inline constexpr std::string_view kPlayerStopped = "No preview: the player stopped.";
inline constexpr std::string_view kPreviewOthersWork =
    "Listing, saving and deleting work as usual.";

// What the window says about the cache it shows and what went wrong.
inline constexpr std::string_view kNoCacheCaption = "no cache found";
inline constexpr std::string_view kNoCacheFound =
    "No cache found: Pellimor looked for the Internet cache (INetCache) of a Wine prefix "
    "($WINEPREFIX or ~/.wine) and found none.";
inline constexpr std::string_view kFolderMissing = "the folder does not exist.";
inline constexpr std::string_view kFolderIsFile = "it is a file, not a folder.";
inline constexpr std::string_view kNoIndexThere = "no index.dat was found there.";
inline constexpr std::string_view kGiveCacheOption = "Give the cache folder with --cache DIR.";
inline constexpr std::string_view kCachedFileMissing = "The cached file is missing:";
inline constexpr std::string_view kNoProgramToOpen = "No program was found to open";

// Tooltips: the Turkish name with its meaning in English, for those who read no Turkish.
inline constexpr std::string_view kSaveTip = "Kaydet — save the selected movies to the save folder";
inline constexpr std::string_view kSaveAsTip =
    "Farklı Kaydet — save the selected movies, asking for each file name";
inline constexpr std::string_view kSaveAllTip =
    "Tümünü Kaydet — save every listed movie to the save folder";
inline constexpr std::string_view kChooseFolderTip = "Klasör Seç — choose the save folder";
inline constexpr std::string_view kOpenFolderTip = "Klasör Aç — open the save folder";
inline constexpr std::string_view kOpenMovieTip =
    "Filmi Aç — open the selected movie with its program";
inline constexpr std::string_view kRefreshTip = "Yenile — list the cache again";
inline constexpr std::string_view kDeleteTip = "Sil — delete the selected movies from the cache";
inline constexpr std::string_view kCloseTip = "Programı Kapat — close the program";
inline constexpr std::string_view kAddressTip = "Swf Adresi — the movie's web address";
inline constexpr std::string_view kSizeTip = "Dosya Boyutu — the size of the cached file";
inline constexpr std::string_view kModifiedTip =
    "Son Değiştirilme — when the movie last changed on its site";
inline constexpr std::string_view kMoviesTip =
    "Filmler — the movies of the chosen site; double-click one to play it in its own window";
inline constexpr std::string_view kSitesTip = "Site — choose a site to list only its movies";
// The movie list's context menu, and the window that plays a movie at its stage size.
inline constexpr std::string_view kPlayInWindow = "Ayrı Pencerede Oynat";
// The list's context menu: the chosen movies taken away whole, as web-game archives keep them.
inline constexpr std::string_view kExportGame = "Oyunu Dışa Aktar";
inline constexpr std::string_view kExportGameTip =
    "Oyunu Dışa Aktar — export the chosen movies with every cached file they load and a "
    "description (meta.yaml), each in a folder of its own";
// The list's context menu: what the game playing saved, written into the save folder.
inline constexpr std::string_view kWritePlayedSaves = "Oyun Kayıtlarını Yaz";
inline constexpr std::string_view kWritePlayedSavesTip =
    "Oyun Kayıtlarını Yaz — write the saves of the game playing in the preview into the save "
    "folder, as Flash Player's .sol files under <host>/<path>/<name>.sol";
// What the export asks for a curation that the cache cannot tell, and says when it is not ready.
inline constexpr std::string_view kAskTags =
    "Tags of %1 for the game archive, separated by semicolons (such as \"Puzzle; Arcade\"):";
inline constexpr std::string_view kAskLanguage =
    "The cache does not say which language %1 speaks. Its languages as ISO 639-1 codes "
    "(such as en), separated by semicolons:";
inline constexpr std::string_view kExportPlayedSaves =
    "The game in the preview saved its progress while it played here. Export that save too, "
    "beside the save found?";
inline constexpr std::string_view kNotReady = "%1: not ready to hand in to the game archive";
inline constexpr std::string_view kPlayInWindowTip =
    "Ayrı Pencerede Oynat — play the movie in a window of its own, at its stage size";

}  // namespace pellimor::strings
