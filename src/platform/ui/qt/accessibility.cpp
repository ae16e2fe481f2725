#include "platform/ui/qt/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>

namespace {

class CNamedComboBoxAccessible : public QAccessibleWidget {
public:
    explicit CNamedComboBoxAccessible(QComboBox* combo)
        : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        const auto* combo = static_cast<const QComboBox*>(widget());
        switch (t) {
            case QAccessible::Name:
                return combo->accessibleName().isEmpty() ? combo->currentText()
                                                         : combo->accessibleName();
            case QAccessible::Value:
                return combo->currentText();
            default:
                return QAccessibleWidget::text(t);
        }
    }
};

QAccessibleInterface* NamedComboBoxFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("QComboBox")) return nullptr;
    // Every combo box, not only those named already: Qt keeps the first interface made for a
    // widget, and a box that gets its items before its name would be announced by its text.
    auto* combo = qobject_cast<QComboBox*>(object);
    return combo != nullptr ? new CNamedComboBoxAccessible(combo) : nullptr;
}

}  // namespace

void InstallAccessibility() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(NamedComboBoxFactory);
}
