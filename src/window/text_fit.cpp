#include "window/text_fit.h"

#include <algorithm>

#include "upgrade/status_texts.h"
#include "window/window_texts.h"

namespace quenfall::window {
namespace {

// Where a label's text may run: up to the progress bar's right edge (730), which the push
// buttons and the instructions line up with, or the next control below; the two corner
// labels up to the one beside them or the frame. Label3 and the pictures show no text of
// the window's own language.
TextRoom Room(ControlId id) {
    switch (id) {
    case ControlId::Label2: return {708 - 46, 19};          // the title, up to the minimise button
    case ControlId::Label1: return {134 - 2 - 58, 23};      // "Firmware", up to the file box
    case ControlId::Label5: return {730 - 30, 350 - 325};   // the status line, above the progress bar
    case ControlId::Label6: return {730 - 134, 223 - 201};  // the steps, each above the next
    case ControlId::Label7: return {730 - 134, 259 - 223};
    case ControlId::Label8: return {730 - 134, 280 - 259};
    case ControlId::Label9: return {730 - 134, 314 - 280};  // above the result icons
    case ControlId::Label4: return {ClientWidth - 10 - 655, ClientHeight - 395};
    case ControlId::Button1:
    case ControlId::Button2: return {Spec(id).Width, Spec(id).Height};
    default: return {};
    }
}

}  // namespace

TextRoom RoomOf(ControlId id) { return Room(id); }

FontSpec FontAt(const FontSpec& font, int pixelHeight) {
    FontSpec resized = font;
    resized.PixelHeight = pixelHeight;
    return resized;
}

FittedFont FitFont(ControlId id, std::u16string_view text, int dpi, const TextMeasure& measure) {
    const ControlSpec& spec = Spec(id);
    const TextRoom room = Room(id);
    if (spec.Font == nullptr || room.Width == 0 || text.empty()) return {spec.Font ? spec.Font->PixelHeight : 0, true};
    const int width = Scaled(room.Width, dpi);
    const int height = Scaled(room.Height, dpi);
    const int largest = spec.Font->PixelHeight;
    const int smallest = std::min(largest, SmallestFontPixels);
    for (int pixels = largest; pixels >= smallest; --pixels) {
        const TextExtent extent = measure(spec, text, Scaled(pixels, dpi), dpi);
        if (extent.Width <= width && extent.Height <= height) return {pixels, true};
    }
    return {smallest, false};
}

std::vector<WindowText> MainWindowTexts() {
    std::vector<WindowText> texts = {
        {ControlId::Label2, Utf8(TitleText)},
        {ControlId::Label1, std::string(FirmwareText)},
        {ControlId::Label4, std::string(ForAllModelText)},
        {ControlId::Label6, std::string(Step1Text)},
        {ControlId::Label7, std::string(Step2Text)},
        {ControlId::Label8, std::string(Step3Text)},
        {ControlId::Label9, std::string(Step4Text)},
        {ControlId::Button1, std::string(SelectButtonText)},
        {ControlId::Button2, std::string(UpgradeButtonText)},
    };
    for (const std::string_view status : {NoDeviceText, DeviceConnectedText, UpgradeFailedText, EnteringBootModeText,
                                          UpgradingText, CommunicationErrorText, UpgradeCompleteText}) {
        texts.push_back({ControlId::Label5, std::string(status)});
    }
    return texts;
}

}  // namespace quenfall::window
