#include "platform/ui/qt/anchored_layout.h"

#include <QEvent>
#include <algorithm>
#include <cmath>

CAnchoredLayout::CAnchoredLayout(QWidget* host, QSize templateSize, const DialogBaseUnits& units)
    : QObject(host),
      m_pHost(host),
      m_templatePixels(DluToPixels(templateSize, units)),
      m_units(units) {
    host->installEventFilter(this);
}

void CAnchoredLayout::Anchor(QWidget* control, AnchorShares shares) {
    if (control == nullptr) return;
    for (const Placed& placed : m_placed)
        if (placed.control == control) return;
    m_placed.push_back({control, control->geometry(), shares});
    Follow();
}

void CAnchoredLayout::AnchorAt(const QRect& rect, AnchorShares shares) {
    const QRect pixels = DluToPixels(rect, m_units);
    for (QWidget* child : m_pHost->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child->geometry() == pixels) Anchor(child, shares);
}

void CAnchoredLayout::AnchorInside(const QRect& region, AnchorShares shares) {
    const QRect pixels = DluToPixels(region, m_units);
    for (QWidget* child : m_pHost->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (pixels.contains(child->geometry())) Anchor(child, shares);
}

bool CAnchoredLayout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pHost && event->type() == QEvent::Resize) Follow();
    return QObject::eventFilter(watched, event);
}

void CAnchoredLayout::Follow() {
    const int extraWidth = std::max(0, m_pHost->width() - m_templatePixels.width());
    const int extraHeight = std::max(0, m_pHost->height() - m_templatePixels.height());
    const auto share = [](int extra, double part) {
        return static_cast<int>(std::lround(extra * part));
    };
    for (const Placed& placed : m_placed) {
        if (!placed.control) continue;
        const AnchorShares& s = placed.shares;
        placed.control->setGeometry(placed.home.x() + share(extraWidth, s.left),
                                    placed.home.y() + share(extraHeight, s.top),
                                    placed.home.width() + share(extraWidth, s.width),
                                    placed.home.height() + share(extraHeight, s.height));
    }
}
