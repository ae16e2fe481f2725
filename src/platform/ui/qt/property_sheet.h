#pragma once
// The property sheet: the pages as tabs, each initialised the first time it is shown (the first
// page at once, when the sheet is created). Wherever the focus is in the sheet, Ctrl+Tab and
// Ctrl+PageDown show the next page, Ctrl+Shift+Tab and Ctrl+PageUp the previous one (going
// round), and the focus goes along to the page shown.
#include <QTabWidget>
#include <vector>

class CPropertyPage;

class CPropertySheet : public QTabWidget {
public:
    explicit CPropertySheet(QWidget* parent = nullptr);

    // Before Create: the sheet takes the page as a child.
    void AddPage(CPropertyPage* page);
    // Adds the tabs and initialises the first page.
    void Create();
    // Runs the destroy handling of every page that was initialised, in page order.
    void DestroyPages();

private:
    void ShowNeighbour(int step);

    std::vector<CPropertyPage*> m_pages;
};
