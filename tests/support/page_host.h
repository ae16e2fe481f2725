#pragma once
// A property page as the page tests open it: inside a dialog that stands in for the main window,
// sized, shown and initialised as the sheet does with its first page.
#include <gtest/gtest.h>

#include <QDialog>
#include <memory>

// Makes `host` anew (which deletes the page it held) and returns the page it now owns.
template <typename TPage>
TPage* OpenPageInHost(std::unique_ptr<QDialog>& host) {
    host = std::make_unique<QDialog>();
    auto* page = new TPage(host.get());
    host->resize(page->minimumSize());
    page->resize(page->minimumSize());
    host->show();
    page->Initialise();
    return page;
}

// The page's control `id` as a T; a control that is missing or of another type fails the test.
template <typename T, typename TPage>
T* PageItem(TPage* page, int id) {
    T* item = page->template Item<T>(id);
    EXPECT_NE(item, nullptr) << id;
    return item;
}
