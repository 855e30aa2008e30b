#include "ui/CFlash_ctrl.h"

#include <QFileInfo>
#include <QPalette>

namespace pellimor {

CFlash_ctrl::CFlash_ctrl(QWidget* parent) : QWidget(parent), note_(new QLabel(this)) {
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);  // the player's stored background colour
    setPalette(palette);
    note_->setAlignment(Qt::AlignCenter);
    note_->setWordWrap(true);
}

void CFlash_ctrl::SetMovie(const QString& localPath) {
    movie_ = localPath;
    ++moviesSet_;
    note_->setText(QFileInfo(localPath).fileName());
    emit movieSet(localPath);
}

void CFlash_ctrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    note_->setGeometry(rect());
}

}  // namespace pellimor
