#pragma once
// Accessibility of the dialogs for assistive technology (AT-SPI on Linux): every control is
// known by the label or caption the user sees. Qt names a combo box after its current text on
// Linux; a combo box is announced by its accessible name instead, when it has one,
// with its current text as the value, so that names stay what the user reads beside the box.
void InstallAccessibility();
