// The movie list's lines, already in the core's sorted order, as one model: a refill of
// 100,000 lines is one reset, not 100,000 insertions.
#pragma once

#include <QAbstractListModel>

#include <vector>

#include "catalogue/CacheScan.h"

namespace pellimor {

class MovieListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    static constexpr int kKeyRole = Qt::UserRole;

    using QAbstractListModel::QAbstractListModel;
    void SetLines(const std::vector<MovieLine>& lines);
    std::int32_t KeyAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    std::vector<MovieLine> lines_;
};

}  // namespace pellimor
