#include "platform/ui/qt/property_sheet.h"

#include <QShortcut>

#include "platform/ui/qt/property_page.h"

CPropertySheet::CPropertySheet(QWidget* parent) : QTabWidget(parent) {
    setAccessibleName(QStringLiteral("Pages"));
    connect(this, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(m_pages.size()))
            m_pages[static_cast<std::size_t>(index)]->Initialise();
    });
    // Shortcuts, not key handling: they come before the focused control, which may take the key
    // for itself (a drop-down list takes Ctrl+Tab) or pass it elsewhere.
    const std::pair<QKeyCombination, int> keys[] = {
        {Qt::CTRL | Qt::Key_Tab, 1},
        {Qt::CTRL | Qt::Key_PageDown, 1},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, -1},
        {Qt::CTRL | Qt::Key_PageUp, -1},
    };
    for (const auto& [key, step] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this,
                [this, step = step] { ShowNeighbour(step); });
    }
}

void CPropertySheet::AddPage(CPropertyPage* page) {
    m_pages.push_back(page);
}

void CPropertySheet::Create() {
    const QSignalBlocker quiet(this);
    for (CPropertyPage* page : m_pages) addTab(page, page->Title());
    setCurrentIndex(0);
    if (!m_pages.empty()) m_pages.front()->Initialise();
}

void CPropertySheet::DestroyPages() {
    for (CPropertyPage* page : m_pages) page->Destroy();
}

void CPropertySheet::ShowNeighbour(int step) {
    if (count() < 2) return;
    // The stack moves the focus to the new page when it was on the old one.
    setCurrentIndex((currentIndex() + step + count()) % count());
}
