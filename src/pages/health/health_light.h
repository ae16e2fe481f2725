#pragma once
// One indicator's light on the "Stream Health" page: a round lamp, green, red or grey, before its
// text ("CC: 3"). Assistive technology hears the accessible name ("CC: 3 errors"), which the
// tooltip repeats, so the colour is never the only sign.
#include <QColor>
#include <QLabel>

#include "pages/health/health_texts.h"

class CHealthLight : public QLabel {
public:
    explicit CHealthLight(QWidget* parent = nullptr);

    health_texts::Light State() const { return m_state; }
    // Repaints only what changed.
    void Show(health_texts::Light state, const QString& text, const QString& spoken);

    static QColor ColourOf(health_texts::Light state);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    health_texts::Light m_state = health_texts::Light::Unknown;
};
