#pragma once
// The property sheet: the pages as tabs, each initialised the first time it is shown (the first
// page at once, when the sheet is created). Wherever the focus is in the sheet, Ctrl+Tab and
// Ctrl+PageDown show the next page, Ctrl+Shift+Tab and Ctrl+PageUp the previous one (going
// round), and the focus goes along to the page shown.
#include <QSize>
#include <QTabWidget>
#include <functional>
#include <vector>

class CPropertyPage;

class CPropertySheet : public QTabWidget {
public:
    explicit CPropertySheet(QWidget* parent = nullptr);

    // Before Create: the sheet takes the page as a child.
    void AddPage(CPropertyPage* page);
    // Adds the tabs and initialises the first page.
    void Create();
    // Runs the destroy handling of every page that was initialised, in page order (a page in a
    // window of its own is back in its tab first).
    void DestroyPages();

    // Moves the page out of its tab into a resizable window of its own, first of `size`; its tab
    // meanwhile says where the page is and offers it back. Closing the window, or ReturnPage,
    // puts the page back into its tab; `returned` is told the window's last size then.
    void ShowPageInWindow(CPropertyPage* page, QSize size,
                          std::function<void(QSize lastSize)> returned);
    void ReturnPage(CPropertyPage* page);
    // The window the page is in; null while it is in its tab.
    QWidget* PageWindow(const CPropertyPage* page) const;

private:
    struct Apart {
        CPropertyPage* page;
        QWidget* window;
        QWidget* placeholder;
        std::function<void(QSize)> returned;
    };

    void ShowNeighbour(int step);

    std::vector<CPropertyPage*> m_pages;
    std::vector<Apart> m_apart;
};
