#include "platform/ui/qt/property_sheet.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

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
    while (!m_apart.empty()) ReturnPage(m_apart.back().page);
    for (CPropertyPage* page : m_pages) page->Destroy();
}

namespace {

// The window a page stands in: closing it hands the page back.
class CPageWindow : public QWidget {
public:
    CPageWindow(const QString& title, QWidget* owner, std::function<void()> closed)
        : QWidget(owner, Qt::Window), m_closed(std::move(closed)) {
        setWindowTitle(title);
        setAccessibleName(title);
        new QVBoxLayout(this);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        // After the event: the page leaves the window, which then goes.
        QMetaObject::invokeMethod(this, m_closed, Qt::QueuedConnection);
    }

private:
    std::function<void()> m_closed;
};

}  // namespace

void CPropertySheet::ShowPageInWindow(CPropertyPage* page, QSize size,
                                      std::function<void(QSize lastSize)> returned) {
    const int index = indexOf(page);
    if (index < 0) return;
    auto* placeholder = new QWidget;
    auto* layout = new QVBoxLayout(placeholder);
    layout->addStretch();
    auto* where = new QLabel(
        QStringLiteral("The %1 page is in a window of its own.").arg(page->Title()), placeholder);
    where->setAlignment(Qt::AlignCenter);
    layout->addWidget(where);
    auto* back = new QPushButton(QStringLiteral("Back to This Tab"), placeholder);
    layout->addWidget(back, 0, Qt::AlignHCenter);
    layout->addStretch();
    connect(back, &QPushButton::clicked, this, [this, page] { ReturnPage(page); });

    auto* window = new CPageWindow(page->Title(), this, [this, page] { ReturnPage(page); });
    {
        // The tab stays the current one: no other page is initialised by the change.
        const QSignalBlocker quiet(this);
        const bool current = currentIndex() == index;
        removeTab(index);
        insertTab(index, placeholder, page->Title());
        if (current) setCurrentIndex(index);
    }
    window->layout()->setContentsMargins(0, 0, 0, 0);
    window->layout()->addWidget(page);
    page->show();
    window->resize(size.expandedTo(page->minimumSize()));
    window->show();
    window->raise();
    window->activateWindow();
    m_apart.push_back({page, window, placeholder, std::move(returned)});
}

void CPropertySheet::ReturnPage(CPropertyPage* page) {
    const auto apart = std::find_if(m_apart.begin(), m_apart.end(),
                                    [page](const Apart& a) { return a.page == page; });
    if (apart == m_apart.end()) return;
    const Apart taken = *apart;
    m_apart.erase(apart);
    const QSize lastSize = taken.window->size();
    const int index = indexOf(taken.placeholder);
    {
        const QSignalBlocker quiet(this);
        const bool current = currentIndex() == index;
        removeTab(index);
        insertTab(index, page, page->Title());
        if (current) setCurrentIndex(index);
    }
    taken.placeholder->deleteLater();
    taken.window->hide();
    taken.window->deleteLater();
    if (taken.returned) taken.returned(lastSize);
}

QWidget* CPropertySheet::PageWindow(const CPropertyPage* page) const {
    for (const Apart& apart : m_apart)
        if (apart.page == page) return apart.window;
    return nullptr;
}

void CPropertySheet::ShowNeighbour(int step) {
    if (count() < 2) return;
    // The stack moves the focus to the new page when it was on the old one.
    setCurrentIndex((currentIndex() + step + count()) % count());
}
