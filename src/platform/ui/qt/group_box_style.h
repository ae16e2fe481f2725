#pragma once
// The group frames of dialog templates as the dialog manager draws them: the caption sits on the
// frame's top line, indented by about one character, and the line breaks around it. Qt's own
// styles put the caption above the frame instead, at the box's left edge, which moves the frame
// away from where the template places it. Every other part of the box is the application
// style's. Checkable group boxes are left to the application style entirely.
#include <QProxyStyle>

class QGroupBox;

class CGroupBoxStyle : public QProxyStyle {
public:
    // Gives the group box this placement; the style belongs to the box and goes with it.
    static void Attach(QGroupBox* group);

    explicit CGroupBoxStyle(QStyle* base);

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override;
};
