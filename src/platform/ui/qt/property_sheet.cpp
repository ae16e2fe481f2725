#include "platform/ui/qt/property_sheet.h"

#include "platform/ui/qt/property_page.h"

CPropertySheet::CPropertySheet(QWidget* parent) : QTabWidget(parent) {
    setAccessibleName(QStringLiteral("Pages"));
    connect(this, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(m_pages.size())) m_pages[static_cast<std::size_t>(index)]->Initialise();
    });
}

void CPropertySheet::AddPage(CPropertyPage* page) { m_pages.push_back(page); }

void CPropertySheet::Create() {
    const QSignalBlocker quiet(this);
    for (CPropertyPage* page : m_pages) addTab(page, page->Title());
    setCurrentIndex(0);
    if (!m_pages.empty()) m_pages.front()->Initialise();
}

void CPropertySheet::DestroyPages() {
    for (CPropertyPage* page : m_pages) page->Destroy();
}
