// Dialog templates as data: every control with its identifier, kind,
// caption, rectangle in dialog units, group box and styles, plus the
// template's initial combo-box items. The ui layer builds widgets from these.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace res {

enum class ControlKind {
    GroupBox,
    Label,
    ComboBox,  // drop-down with an editable field
    Edit,      // single- or multi-line after its styles
    PushButton,
    IpAddress,  // four octet fields
};

// Control styles, named after what they do on screen.
namespace style {
constexpr std::uint32_t kTabStop = 1u << 0;
constexpr std::uint32_t kGroup = 1u << 1;  // starts a group of controls
constexpr std::uint32_t kBorder = 1u << 2;
constexpr std::uint32_t kVScroll = 1u << 3;      // vertical scroll bar (list or text)
constexpr std::uint32_t kAutoHScroll = 1u << 4;  // text scrolls sideways as it grows
constexpr std::uint32_t kAutoVScroll = 1u << 5;
constexpr std::uint32_t kMultiLine = 1u << 6;
constexpr std::uint32_t kReadOnly = 1u << 7;
constexpr std::uint32_t kLeft = 1u << 8;  // left-aligned label text
}  // namespace style

// Dialog (window) styles.
namespace dlgstyle {
constexpr std::uint32_t kModalFrame = 1u << 0;  // fixed size
constexpr std::uint32_t kCaption = 1u << 1;
constexpr std::uint32_t kSysMenu = 1u << 2;  // close box
constexpr std::uint32_t kMinimizeBox = 1u << 3;
constexpr std::uint32_t kCenter = 1u << 4;
}  // namespace dlgstyle

// x, y, width, height in dialog units.
struct DlgRect {
    int x;
    int y;
    int cx;
    int cy;
};

struct ControlTemplate {
    int id;  // -1 for labels and group boxes
    ControlKind kind;
    std::string_view caption;
    DlgRect rect;
    std::string_view group;  // caption of the enclosing group box, empty for none
    std::uint32_t style;
    int labelFor;  // labels: the control this one names, 0 for none
};

struct ComboInitData {
    int id;
    std::span<const std::string_view> items;
};

struct DialogTemplate {
    int id;
    std::string_view caption;
    int cx;  // client area in dialog units
    int cy;
    std::string_view fontFace;
    int fontPoints;
    std::uint32_t style;
    std::span<const ControlTemplate> controls;  // template order = tab order
    std::span<const ComboInitData> comboData;
};

// Every template's font: 9-point "宋体" (SimSun).
inline constexpr std::string_view kDialogFontFace = "宋体";
inline constexpr int kDialogFontPoints = 9;

// The template with this number, or nullptr.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace res
