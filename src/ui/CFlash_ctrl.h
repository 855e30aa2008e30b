// The preview player at control 1011. The dialog only ever sets its movie; what plays it
// is this class's affair alone.
#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>

namespace pellimor {

class CFlash_ctrl : public QWidget {
    Q_OBJECT
  public:
    explicit CFlash_ctrl(QWidget* parent = nullptr);

    // Loads the movie at this local path; the same path again reloads it.
    void SetMovie(const QString& localPath);

    const QString& movie() const { return movie_; }
    int moviesSet() const { return moviesSet_; }

  signals:
    void movieSet(const QString& localPath);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QLabel* note_;
    QString movie_;
    int moviesSet_ = 0;
};

}  // namespace pellimor
