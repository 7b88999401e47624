#include "window/window_layout.h"

#include <algorithm>

#include "window/window_texts.h"

namespace quenfall::window {
namespace {

constexpr std::u16string_view ArialFaces[] = {u"Arial Unicode MS", u"Arial", u"Liberation Sans", u"Noto Sans",
                                              u"DejaVu Sans"};
// The first is the layout's face by its Chinese name, the second the same face's English one.
constexpr std::u16string_view TitleFaces[] = {u"\u5fae\u8f6f\u96c5\u9ed1", u"Microsoft YaHei", u"Noto Sans CJK SC",
                                              u"WenQuanYi Micro Hei", u"Noto Sans", u"DejaVu Sans"};
constexpr std::u16string_view WindowFaces[] = {u"Segoe UI Light", u"Segoe UI", u"Noto Sans", u"DejaVu Sans"};

constexpr Rgb White{0xff, 0xff, 0xff};
constexpr Rgb Fuchsia{0xff, 0x00, 0xff};
constexpr Rgb Blue{0x00, 0x00, 0xff};

}  // namespace

const FontSpec WindowFont{WindowFaces, 19};
const FontSpec SmallFont{ArialFaces, 11};
const FontSpec MediumFont{ArialFaces, 12};
const FontSpec TitleFont{TitleFaces, 13, true, false, Charset::Gb2312};
const FontSpec StatusFont{ArialFaces, 14};
const FontSpec LinkFont{ArialFaces, 12, false, true};

namespace {

using enum ControlId;
using K = ControlKind;
using P = Picture;

// Labels start with no text unless the layout gives them one that never changes (the
// instructions, the hidden address); FormShow sets the rest. Their sizes are the layout's
// record only: a label takes the size of the text it shows.
const ControlSpec Controls[ControlCount] = {
    {Image1, "Image1", K::Picture, 0, 0, 770, 431, nullptr, false, {}, true, {}, {}, P::Background, 0, 0, -1},
    {Image2, "Image2", K::Picture, 8, 16, 33, 34, nullptr, false, {}, true, {}, {}, P::ApplicationIcon, 32, 32, -1},
    {Label2, "Label2", K::Label, 46, 24, 96, 19, &TitleFont, true, White, true, {}, {}, P::None, 0, 0, -1},
    {SpeedButton1, "SpeedButton1", K::PictureButton, 729, 1, 38, 19, nullptr, false, {}, true, {}, CloseHint, P::CloseFace, 36, 19, -1},
    {Label1, "Label1", K::Label, 58, 163, 74, 16, &MediumFont, false, {}, true, {}, {}, P::None, 0, 0, -1},
    {SpeedButton2, "SpeedButton2", K::PictureButton, 708, 1, 25, 19, nullptr, false, {}, true, {}, MinimiseHint, P::MinimiseFace, 25, 19, -1},
    {Image3, "Image3", K::Picture, 30, 350, 700, 22, nullptr, false, {}, true, {}, {}, P::ProgressBar, 0, 0, -1},
    {Label5, "Label5", K::Label, 30, 325, 4, 19, &StatusFont, true, Fuchsia, true, {}, {}, P::None, 0, 0, -1},
    {Label3, "Label3", K::Label, 604, 395, 116, 16, &LinkFont, true, Blue, false, HomePageAddress, {}, P::None, 0, 0, -1},
    {Label6, "Label6", K::Label, 134, 201, 361, 15, &SmallFont, false, {}, true, Step1Text, {}, P::None, 0, 0, -1},
    {Label7, "Label7", K::Label, 134, 223, 374, 30, &SmallFont, false, {}, true, Step2Text, {}, P::None, 0, 0, -1},
    {Label8, "Label8", K::Label, 134, 259, 514, 15, &SmallFont, false, {}, true, Step3Text, {}, P::None, 0, 0, -1},
    {Image4, "Image4", K::Picture, 280, 314, 32, 32, nullptr, false, {}, false, {}, {}, P::SuccessIcon, 0, 0, -1},
    {Image5, "Image5", K::Picture, 246, 314, 32, 32, nullptr, false, {}, false, {}, {}, P::FailureIcon, 0, 0, -1},
    {Label4, "Label4", K::Label, 655, 395, 75, 16, &MediumFont, true, Blue, true, {}, {}, P::None, 0, 0, -1},
    {Label9, "Label9", K::Label, 134, 280, 315, 15, &SmallFont, false, {}, true, Step4Text, {}, P::None, 0, 0, -1},
    {Edit1, "Edit1", K::Edit, 134, 161, 400, 23, &SmallFont, false, {}, true, {}, {}, P::None, 0, 0, 0},
    {Button1, "Button1", K::PushButton, 538, 158, 110, 25, &SmallFont, false, {}, true, {}, {}, P::None, 0, 0, 1},
    {Button2, "Button2", K::PushButton, 655, 158, 75, 25, &SmallFont, false, {}, true, {}, {}, P::None, 0, 0, 2},
};

}  // namespace

std::span<const ControlSpec> Layout() { return Controls; }

const ControlSpec& Spec(ControlId id) { return Controls[static_cast<std::size_t>(id)]; }

std::vector<ControlId> TabOrder() {
    std::vector<const ControlSpec*> focusable;
    for (const ControlSpec& spec : Controls) {
        if (spec.TabOrder >= 0) focusable.push_back(&spec);
    }
    std::stable_sort(focusable.begin(), focusable.end(),
                     [](const ControlSpec* a, const ControlSpec* b) { return a->TabOrder < b->TabOrder; });
    std::vector<ControlId> order;
    for (const ControlSpec* spec : focusable) order.push_back(spec->Id);
    return order;
}

}  // namespace quenfall::window
