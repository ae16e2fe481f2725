#include "pages/health/health_light.h"

#include <QPainter>

namespace {

// The lamp is a little smaller than a capital letter, and the text starts one lamp further on.
int LampDiameter(const QFontMetrics& metrics) {
    return metrics.ascent() * 3 / 4;
}

}  // namespace

CHealthLight::CHealthLight(QWidget* parent) : QLabel(parent) {
    setIndent(LampDiameter(fontMetrics()) * 2);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QColor CHealthLight::ColourOf(health_texts::Light state) {
    switch (state) {
        case health_texts::Light::Good:
            return {0x2E, 0x9D, 0x3A};
        case health_texts::Light::Bad:
            return {0xD3, 0x2F, 0x2F};
        case health_texts::Light::Unknown:
            break;
    }
    return {0x9E, 0x9E, 0x9E};
}

void CHealthLight::Show(health_texts::Light state, const QString& text, const QString& spoken) {
    if (state != m_state) {
        m_state = state;
        update();
    }
    if (this->text() != text) setText(text);
    if (accessibleName() != spoken) {
        setAccessibleName(spoken);
        setToolTip(spoken);
    }
}

void CHealthLight::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int diameter = LampDiameter(fontMetrics());
    const QRectF lamp(contentsRect().left() + 1.0, (height() - diameter) / 2.0, diameter, diameter);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 0.5));
    painter.setBrush(ColourOf(m_state));
    painter.drawEllipse(lamp);
}
