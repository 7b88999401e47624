#pragma once
// The window as laid out: every control with its kind, position, size, font, colour,
// first text and visibility, in creation order (which is also stacking order: later
// controls lie above earlier ones, and the three input controls above everything). Both
// faces build their controls from this table and nothing else. Positions and sizes are
// pixels at 96 dpi; each face scales them to its screen.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace quenfall::window {

inline constexpr int ClientWidth = 770;
inline constexpr int ClientHeight = 431;
inline constexpr int DesignDpi = 96;

enum class ControlId : std::uint8_t {
    Image1, Image2, Label2, SpeedButton1, Label1, SpeedButton2, Image3, Label5, Label3,
    Label6, Label7, Label8, Image4, Image5, Label4, Label9, Edit1, Button1, Button2,
};
inline constexpr std::size_t ControlCount = 19;

enum class ControlKind : std::uint8_t {
    Picture,        // a picture box, drawn by its owner
    Label,          // transparent, left-aligned, sized to its text, breaks only at line breaks
    PictureButton,  // flat, no focus, face picture centred and clipped
    Edit,           // single-line, read-only, button-face background
    PushButton,
};

// What a picture box or picture button shows; each face draws these to one design.
enum class Picture : std::uint8_t {
    None, Background, ApplicationIcon, ProgressBar, CloseFace, MinimiseFace, SuccessIcon, FailureIcon,
};

struct Rgb {
    std::uint8_t Red = 0, Green = 0, Blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The character sets the layout's fonts ask for (the Windows numbers).
enum class Charset : std::uint8_t { Ansi = 0, Gb2312 = 134 };

struct FontSpec {
    // The layout's face first; the later ones stand in where it is not installed. Liberation
    // Sans has Arial's metrics, so texts keep the widths the layout was made for.
    std::span<const std::u16string_view> Faces;
    int PixelHeight = 0;  // character height, without internal leading
    bool Bold = false;
    bool Underline = false;
    Charset CharacterSet = Charset::Ansi;
};

struct ControlSpec {
    ControlId Id;
    std::string_view Name;
    ControlKind Kind;
    int Left, Top, Width, Height;
    const FontSpec* Font;    // null: the control shows no text
    bool HasColour;          // false: the system's window-text colour
    Rgb Colour;
    bool Visible;
    std::string_view Text;  // the text the control is created with, English (ShownText shows it)
    std::string_view Hint;  // shown on hover, English
    Picture Shows;
    int PictureWidth, PictureHeight;  // a picture drawn unscaled, or a button face; 0 = stretched to the box
    int TabOrder;                     // -1: takes no focus
};

extern const FontSpec WindowFont;  // the form's own font; no control that shows text uses it
extern const FontSpec SmallFont;
extern const FontSpec MediumFont;
extern const FontSpec TitleFont;
extern const FontSpec StatusFont;
extern const FontSpec LinkFont;

// The whole layout, in creation order; Layout()[i].Id == ControlId(i).
std::span<const ControlSpec> Layout();
const ControlSpec& Spec(ControlId id);

// The controls that take the keyboard focus, in their tab order (the layout's TabOrder).
std::vector<ControlId> TabOrder();

// Scales a layout length to a screen of dpi dots per inch, rounding half away from zero.
constexpr int Scaled(int length, int dpi) {
    const long long product = static_cast<long long>(length) * dpi;
    return static_cast<int>(product >= 0 ? (product + DesignDpi / 2) / DesignDpi : -((-product + DesignDpi / 2) / DesignDpi));
}

}  // namespace quenfall::window
