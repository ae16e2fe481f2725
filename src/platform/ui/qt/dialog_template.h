#pragma once
// A dialog resource: the caption, the size in dialog units and every control with its id,
// kind, text and position. Dialogs and pages are built from these tables.
#include <string>
#include <utility>
#include <vector>

enum class ControlKind {
    Label,  // static text
    Edit,   // single-line edit
    PushButton,
    DefaultPushButton,
    CheckBox,     // checks itself on a click
    RadioButton,  // checks itself on a click
    GroupBox,
    DropDownList,   // combo box without an edit field
    DropDownCombo,  // combo box with an edit field
    ListBox,
    ProgressBar,
    Icon,        // static picture (icon or bitmap), set by the dialog
    EtchedLine,  // static etched horizontal line
    Spin,        // up-down control
};

namespace ControlStyle {
inline constexpr unsigned kNone = 0;
inline constexpr unsigned kDisabled = 1u << 0;
inline constexpr unsigned kHidden = 1u << 1;
inline constexpr unsigned kReadOnly = 1u << 2;
inline constexpr unsigned kDigitsOnly = 1u << 3;  // ES_NUMBER
inline constexpr unsigned kSorted = 1u << 4;      // CBS_SORT / LBS_SORT
inline constexpr unsigned kBorder = 1u << 5;
inline constexpr unsigned kVerticalScroll = 1u << 6;
inline constexpr unsigned kSmooth = 1u << 7;  // smooth progress bar
}  // namespace ControlStyle

namespace DialogStyle {
inline constexpr unsigned kNone = 0;
// WS_MINIMIZEBOX: a window of its own that can be minimised (and so shows in the taskbar), not a
// dialog kept above its owner.
inline constexpr unsigned kMinimizeBox = 1u << 0;
// WS_THICKFRAME: the user may make the window larger than the template (never smaller); its
// controls follow by the rules of an anchored layout.
inline constexpr unsigned kResizable = 1u << 1;
}  // namespace DialogStyle

inline constexpr int kStaticId = -1;  // IDC_STATIC

struct ControlTemplate {
    ControlTemplate(int id_, ControlKind kind_, std::string text_, int x_, int y_, int cx_, int cy_,
                    unsigned style_ = 0, std::vector<std::string> items_ = {},
                    std::string accessibleName_ = {})
        : id(id_),
          kind(kind_),
          text(std::move(text_)),
          x(x_),
          y(y_),
          cx(cx_),
          cy(cy_),
          style(style_),
          items(std::move(items_)),
          accessibleName(std::move(accessibleName_)) {}

    int id = kStaticId;
    ControlKind kind = ControlKind::Label;
    std::string text;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    unsigned style = ControlStyle::kNone;
    std::vector<std::string> items;  // list items of combo and list boxes, in order
    std::string accessibleName;      // for controls that show no text of their own
};

struct DialogTemplate {
    int resourceId = 0;
    std::string caption;
    int cx = 0, cy = 0;  // dialog units
    std::vector<ControlTemplate> controls;
    unsigned style = DialogStyle::kNone;
};
