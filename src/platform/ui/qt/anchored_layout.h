#pragma once
// Controls placed by a dialog template that follow their window as it grows beyond the
// template's size: each control moves right and down by a share of the extra width and height
// and grows by another share. Controls without a rule stay where the template put them, so a
// window at its template's size looks exactly as the template says.
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <vector>

#include "platform/ui/qt/dialog_units.h"

// Shares, 0 to 1, of the extra width (left, width) and height (top, height).
struct AnchorShares {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

class CAnchoredLayout : public QObject {
public:
    // Follows `host`'s size from now on (a child object of it); `templateSize` in dialog units.
    CAnchoredLayout(QWidget* host, QSize templateSize, const DialogBaseUnits& units);

    // Rules in the order given, while the controls stand where the template put them (before
    // the host is first resized); a control keeps the first rule that names it.
    void Anchor(QWidget* control, AnchorShares shares);
    // The direct child of the host standing exactly at `rect` (dialog units): a group's frame,
    // which has no id.
    void AnchorAt(const QRect& rect, AnchorShares shares);
    // Every direct child of the host lying wholly inside `region` (dialog units): the controls
    // of a group, its frame among them.
    void AnchorInside(const QRect& region, AnchorShares shares);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Placed {
        QPointer<QWidget> control;
        QRect home;  // at the template's size
        AnchorShares shares;
    };

    void Follow();

    QWidget* m_pHost;
    QSize m_templatePixels;
    DialogBaseUnits m_units;
    std::vector<Placed> m_placed;
};
