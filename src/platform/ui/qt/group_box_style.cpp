#include "platform/ui/qt/group_box_style.h"

#include <qdrawutil.h>

#include <QApplication>
#include <QGroupBox>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>
#include <algorithm>

namespace {

// The line stops this far short of the caption's text on either side.
constexpr int kCaptionGap = 2;

// The caption as it shows: "&&" is one ampersand, a single "&" marks the mnemonic and is not drawn.
QString ShownText(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && ++i == text.size()) break;
        shown += text[i];
    }
    return shown;
}

// Checkable and flat boxes have their own drawing in every style, with nothing to take from the
// dialog manager's frame.
bool OwnPlacement(const QStyleOptionGroupBox& box) {
    return !(box.subControls & QStyle::SC_GroupBoxCheckBox) &&
           !(box.features & QStyleOptionFrame::Flat);
}

QRect CaptionRect(const QStyleOptionGroupBox& box) {
    if (box.text.isEmpty()) return QRect();
    const QFontMetrics& metrics = box.fontMetrics;
    const QString text = ShownText(box.text);
    // Styles size a caption by the ink of its text, which may reach past its advance.
    const int ink =
        std::max(metrics.horizontalAdvance(text), metrics.boundingRect(text).right() + 1);
    // About one character in from the frame's edge, as the dialog manager indents it.
    const int indent = metrics.averageCharWidth();
    const int width =
        std::clamp(ink + 2 * kCaptionGap, 0, std::max(0, box.rect.width() - 2 * indent));
    int x = indent;
    switch (box.textAlignment & Qt::AlignHorizontal_Mask) {
        case Qt::AlignHCenter:
            x = (box.rect.width() - width) / 2;
            break;
        case Qt::AlignRight:
            x = box.rect.width() - indent - width;
            break;
        default:
            break;
    }
    const QRect caption(box.rect.left() + x, box.rect.top(), width, metrics.height());
    return QStyle::visualRect(box.direction, box.rect, caption);
}

}  // namespace

void CGroupBoxStyle::Attach(QGroupBox* group) {
    // A base of the application's own style, so that the box looks as the rest of the window.
    auto* style = new CGroupBoxStyle(QStyleFactory::create(QApplication::style()->name()));
    style->setParent(group);
    group->setStyle(style);
}

CGroupBoxStyle::CGroupBoxStyle(QStyle* base) : QProxyStyle(base) {}

QRect CGroupBoxStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                     SubControl sub, const QWidget* widget) const {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || box == nullptr || !OwnPlacement(*box)) {
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }
    if (sub == SC_GroupBoxLabel) return CaptionRect(*box);
    if (sub == SC_GroupBoxFrame) {
        // The top line runs through the middle of the caption; without one, along the box's top.
        const QRect caption = CaptionRect(*box);
        const int top = caption.isEmpty() ? 0 : caption.height() / 2;
        return box->rect.adjusted(0, top, 0, 0);
    }
    return QProxyStyle::subControlRect(control, option, sub, widget);
}

void CGroupBoxStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                        QPainter* painter, const QWidget* widget) const {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || box == nullptr || !OwnPlacement(*box)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const QRect caption = proxy()->subControlRect(control, option, SC_GroupBoxLabel, widget);
    if (box->subControls & SC_GroupBoxFrame) {
        painter->save();
        // The line breaks for the caption instead of being painted over: the box has no
        // background of its own to paint with.
        if (!caption.isEmpty()) {
            painter->setClipRegion(QRegion(box->rect).subtracted(QRegion(caption)),
                                   Qt::IntersectClip);
        }
        // An etched frame, as the separator lines of the same windows.
        qDrawShadeRect(painter, proxy()->subControlRect(control, option, SC_GroupBoxFrame, widget),
                       box->palette, true, 1, 0);
        painter->restore();
    }
    if (!caption.isEmpty() && (box->subControls & SC_GroupBoxLabel)) {
        int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
        if (!proxy()->styleHint(SH_UnderlineShortcut, option, widget))
            flags |= Qt::TextHideMnemonic;
        proxy()->drawItemText(painter, caption, flags, box->palette, box->state & State_Enabled,
                              box->text, QPalette::WindowText);
    }
}
