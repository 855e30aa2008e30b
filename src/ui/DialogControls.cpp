// The window's controls made from the dialog template, the focus walking them in template
// order, and the transient note over the foot of the preview.
#include <QApplication>
#include <QFrame>

#include <algorithm>

#include "resources/Strings.h"
#include "ui/CMovieDlg.h"
#include "ui/QtText.h"

namespace pellimor {

namespace {

constexpr int kTransientMs = 5000;  // how long a transient note stays

}  // namespace

QWidget* CMovieDlg::MakeControl(const ControlSpec& spec, const BaseUnits& base, bool& tabStop) {
    tabStop = true;
    switch (spec.kind) {
        case ControlKind::kButton:
        case ControlKind::kDefaultButton: {
            auto* button = new QPushButton(Q(spec.caption), this);
            button->setAutoDefault(false);
            button->setDefault(spec.kind == ControlKind::kDefaultButton);
            if (spec.id == kIdClose) {
                connect(button, &QPushButton::clicked, this, &QDialog::accept);
            }
            return button;
        }
        case ControlKind::kReadOnlyEdit: {
            auto* edit = new QLineEdit(this);
            edit->setReadOnly(true);
            edit->setFrame(false);
            return edit;
        }
        case ControlKind::kListBox:
            m_lbMovies = new QListView(this);
            m_model = new MovieListModel(m_lbMovies);
            m_lbMovies->setModel(m_model);
            m_lbMovies->setSelectionMode(QAbstractItemView::ExtendedSelection);
            m_lbMovies->setEditTriggers(QAbstractItemView::NoEditTriggers);
            m_lbMovies->setUniformItemSizes(true);
            m_lbMovies->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            m_lbMovies->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
            tabStop = false;
            return m_lbMovies;
        case ControlKind::kLabel:
            tabStop = false;
            return new QLabel(Q(spec.caption), this);
        case ControlKind::kPlayer:
            m_flash = new CFlash_ctrl(&m_services.listing.cache, &m_services.listing.files, this);
            m_flash->setFocusPolicy(Qt::TabFocus);
            m_flash->SetSaves(m_services.saves);
            connect(m_flash, &CFlash_ctrl::pageEvent, this, &CMovieDlg::OnPlayerEvent);
            return m_flash;
        case ControlKind::kFrame: {
            auto* frame = new QFrame(this);
            frame->setFrameStyle(QFrame::Box | QFrame::Plain);
            frame->setLineWidth(1);
            QPalette palette = frame->palette();
            palette.setColor(QPalette::WindowText, Qt::black);
            frame->setPalette(palette);
            tabStop = false;
            return frame;
        }
        case ControlKind::kDropDown:
            m_cbSites = new QComboBox(this);
            m_cbSites->setEditable(false);
            m_cbSites->setMaxVisibleItems(
                std::max(1, ToPixels(base, spec.x, spec.y, spec.w, spec.h).height() /
                                m_cbSites->fontMetrics().height()));
            return m_cbSites;
    }
    return nullptr;
}

void CMovieDlg::BuildControls(const QFont& font) {
    setFont(font);
    const BaseUnits base = MeasureBaseUnits(font);
    setFixedSize(ToPixels(base, kDialogSizeDu));
    QWidget* previousTabStop = nullptr;
    for (const ControlSpec& spec : kControls) {
        bool tabStop = true;
        QWidget* widget = MakeControl(spec, base, tabStop);
        widget->setProperty("ctrlId", spec.id);
        widget->setToolTip(Q(spec.tooltip));
        QRect rect = ToPixels(base, spec.x, spec.y, spec.w, spec.h);
        if (spec.kind == ControlKind::kDropDown) {
            rect.setHeight(widget->sizeHint().height());  // the height given includes the list
        }
        widget->setGeometry(rect);
        if (tabStop) {
            if (previousTabStop != nullptr) {
                QWidget::setTabOrder(previousTabStop, widget);
            }
            previousTabStop = widget;
        }
        m_controls.emplace_back(spec.id, widget);
        m_tabStops.push_back(tabStop);
    }
    BuildTransientNote();
    // The first control of the template is the topmost.
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
        it->second->raise();
    }
}

void CMovieDlg::BuildTransientNote() {
    // Over the foot of the preview's frame: a few seconds' word on what was done.
    m_transient = new QLabel(this);
    m_transient->setObjectName(QStringLiteral("transientNote"));
    m_transient->setWordWrap(true);
    m_transient->setMargin(4);
    m_transient->setAutoFillBackground(true);
    m_transient->setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette palette = m_transient->palette();
    palette.setColor(QPalette::Window, QColor(0xff, 0xff, 0xe1));  // the colour of tooltips
    palette.setColor(QPalette::WindowText, Qt::black);
    m_transient->setPalette(palette);
    m_transient->hide();
}

QWidget* CMovieDlg::Control(int id) const {
    for (const auto& [controlId, widget] : m_controls) {
        if (controlId == id) {
            return widget;
        }
    }
    return nullptr;
}

QWidget* CMovieDlg::NextTabStop(int from, bool next) const {
    const int count = static_cast<int>(m_controls.size());
    for (int step = 1; step <= count; ++step) {
        int i = (from < 0 ? (next ? -1 : count) : from) + (next ? step : -step);
        i = ((i % count) + count) % count;
        QWidget* widget = m_controls[static_cast<std::size_t>(i)].second;
        if (m_tabStops[static_cast<std::size_t>(i)] && widget->isEnabled() && !widget->isHidden()) {
            return widget;
        }
    }
    return nullptr;
}

bool CMovieDlg::focusNextPrevChild(bool next) {
    // The focus may sit deep inside a control (the player's page): find the control.
    QWidget* focus = QApplication::focusWidget();
    int at = -1;
    for (std::size_t i = 0; i < m_controls.size() && focus != nullptr; ++i) {
        QWidget* control = m_controls[i].second;
        if (control == focus || control->isAncestorOf(focus)) {
            at = static_cast<int>(i);
        }
    }
    QWidget* target = NextTabStop(at, next);
    if (target == nullptr) {
        return false;
    }
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

QString CMovieDlg::transientNote() const {
    return m_transient->isHidden() ? QString() : m_transient->text();
}

void CMovieDlg::ShowTransient(const QString& text) {
    const QRect frame = Control(kIdFrame)->geometry().adjusted(1, 1, -1, -1);
    m_transient->setText(text);
    const int width = frame.width() - 16;
    const int height = m_transient->heightForWidth(width);
    m_transient->setGeometry(frame.left() + 8, frame.bottom() - 8 - height, width, height);
    m_transient->show();
    m_transient->raise();
    m_transientTimer.start(kTransientMs);
}

}  // namespace pellimor
