#include "ui/MovieListModel.h"

namespace pellimor {

void MovieListModel::SetLines(const std::vector<MovieLine>& lines) {
    beginResetModel();
    lines_ = lines;
    endResetModel();
}

std::int32_t MovieListModel::KeyAt(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < lines_.size()
               ? lines_[static_cast<std::size_t>(row)].key
               : 0;
}

int MovieListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant MovieListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= lines_.size()) {
        return {};
    }
    const MovieLine& line = lines_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        return QString::fromStdString(line.text);
    }
    if (role == kKeyRole) {
        return line.key;
    }
    return {};
}

}  // namespace pellimor
