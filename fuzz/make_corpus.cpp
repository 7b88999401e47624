// Writes the committed seed corpus: packages made by the package writer for every accepted
// profile and scramble mode, deliberately broken ones, and the radio's answers and our
// request frames for the response target. Usage: fuzz_make_corpus OUTPUT_DIR
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "package/package_writer.h"
#include "protocol/command_frame.h"
#include "protocol/model_profile.h"

using namespace quenfall;
namespace fs = std::filesystem;

namespace {

void Write(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        std::exit(1);
    }
}

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> data(size);
    std::uint32_t x = 0x9E3779B9u ^ seed;
    for (auto& b : data) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return data;
}

void Packages(const fs::path& dir) {
    fs::create_directories(dir);
    // Every accepted model code (0 and 2 share profile 0; 11 is profile 11; 17 profile 12)
    // in every scramble mode, with the variant and bank varying along.
    const std::uint8_t models[] = {0, 2, 11, 17};
    const std::uint8_t modes[] = {0, 1, 2};
    int n = 0;
    for (std::uint8_t model : models) {
        for (std::uint8_t mode : modes) {
            PackageSpec spec;
            spec.ModelCode = model;
            spec.ScrambleMode = mode;
            spec.RequestVariant = static_cast<std::uint8_t>(n % 2);
            spec.CodeBank = static_cast<std::uint8_t>((n / 2) % 2);
            // Sizes around the block boundary: empty-looking small, exact, one past.
            const std::size_t sizes[] = {1, 2048, 2049, 300};
            for (std::uint8_t s = 0; s < 1 + n % 4; ++s)
                spec.Sections.push_back({static_cast<std::uint8_t>(s * 3 % 12),
                                         static_cast<std::uint8_t>(s * 3 % 12),
                                         Pattern(sizes[(s + n) % 4], static_cast<std::uint8_t>(n + s))});
            Write(dir / ("accepted-model" + std::to_string(model) + "-mode" + std::to_string(mode)), WritePackage(spec));
            ++n;
        }
    }

    // No sections at all: the smallest accepted package, 130 bytes.
    Write(dir / "accepted-empty", WritePackage(PackageSpec{}));

    // All twelve slots, ids in reverse order of the slots.
    {
        PackageSpec spec;
        spec.ModelCode = 11;
        for (std::uint8_t s = 0; s < 12; ++s)
            spec.Sections.push_back({s, s, Pattern(17 + s, s)});
        Write(dir / "accepted-twelve-slots", WritePackage(spec));
    }

    // Section 0 longer than the four blocks mode 0 skips.
    {
        PackageSpec spec;
        spec.Sections.push_back({0, 0, Pattern(8193, 7)});
        Write(dir / "accepted-section0-past-block4", WritePackage(spec));
    }

    PackageSpec base;
    base.ModelCode = 0;
    base.ScrambleMode = 1;
    base.Sections.push_back({0, 0, Pattern(100, 1)});
    base.Sections.push_back({5, 5, Pattern(2100, 2)});
    Write(dir / "broken-wrong-check-value", WritePackage(base, PackageFlaw::WrongCheckValue));
    Write(dir / "broken-check-over-stored", WritePackage(base, PackageFlaw::CheckValueOverStoredBytes));
    Write(dir / "broken-unscrambled", WritePackage(base, PackageFlaw::UnscrambledBody));

    PackageSpec model5 = base;
    model5.ModelCode = 5;
    Write(dir / "refused-model5", WritePackage(model5));
    PackageSpec variant2 = base;
    variant2.RequestVariant = 2;
    Write(dir / "refused-variant2", WritePackage(variant2));

    // Section tables no PackageSpec can express.
    {
        PackageHeader h = HeaderFor(base);
        h.SectionIds[0] = 12;
        Write(dir / "refused-id12", WritePackage(h, Pattern(2200, 3)));
    }
    {
        PackageHeader h = HeaderFor(base);
        h.SectionOffsets[5] = 0xFFFFFF00u;
        Write(dir / "refused-offset-outside", WritePackage(h, Pattern(2200, 4)));
    }
    {
        PackageHeader h = HeaderFor(base);
        h.SectionSizes[5] = 0xFFFFFFFFu;
        Write(dir / "refused-size-outside", WritePackage(h, Pattern(2200, 5)));
    }
    {
        // Slot 5 names the section of slot 0, which slot 0 lists as well.
        PackageHeader h = HeaderFor(base);
        h.SectionIds[5] = 0;
        Write(dir / "refused-id-listed-twice", WritePackage(h, Pattern(2200, 6)));
    }

    {
        // Slot 0 lists id 1, whose slot is empty: nothing of slot 0 would be sent.
        PackageHeader h = HeaderFor(base);
        h.SectionIds[0] = 1;
        Write(dir / "id-names-empty-slot", WritePackage(h, Pattern(2200, 8)));
    }

    const std::vector<std::uint8_t> whole = WritePackage(base);
    Write(dir / "refused-too-short", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 129));
    Write(dir / "refused-header-only", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 128));
}

std::vector<std::uint8_t> WithExpectation(std::uint16_t code, std::uint16_t length,
                                          const std::uint8_t* bytes, std::size_t size) {
    std::vector<std::uint8_t> input = {static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code),
                                       static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    input.insert(input.end(), bytes, bytes + size);
    return input;
}

void Responses(const fs::path& dir) {
    fs::create_directories(dir);
    const std::uint8_t profiles[] = {0, 11, 12};
    const CommandKind kinds[] = {CommandKind::Block, CommandKind::EnterA, CommandKind::Exit, CommandKind::EnterB};
    int n = 0;
    for (std::uint8_t profile : profiles) {
        for (std::uint8_t bank = 0; bank < 2; ++bank) {
            ProfileSelection sel;
            sel.ProfileIndex = profile;
            sel.CodeBank = bank;
            for (CommandKind kind : kinds) {
                const std::uint16_t code = ResponseCode(sel, kind);
                const std::uint8_t status = static_cast<std::uint8_t>(n % 6);  // 0..5: valid and not
                const auto answer = BuildResponse(code, status);
                Write(dir / ("answer-" + std::to_string(n)), WithExpectation(code, 9, answer.data(), answer.size()));
                ++n;
            }
        }
    }
    // The worked answer against the wrong code, a broken end marker, a huge length field,
    // and nothing read at all.
    auto good = BuildResponse(0x8043, 4);
    Write(dir / "answer-wrong-code", WithExpectation(0x8044, 9, good.data(), good.size()));
    auto noEnd = good;
    noEnd[8] = 0x00;
    Write(dir / "answer-no-end-marker", WithExpectation(0x8043, 9, noEnd.data(), noEnd.size()));
    auto huge = good;
    huge[3] = 0xFF;
    huge[4] = 0xFF;
    Write(dir / "answer-length-ffff", WithExpectation(0x8043, 9, huge.data(), huge.size()));
    const std::uint8_t zeros[9] = {};
    Write(dir / "answer-all-zero", WithExpectation(0x8043, 9, zeros, sizeof zeros));

    // A payload whose check sum lands on the last two bytes of the 4096-byte buffer.
    {
        std::vector<std::uint8_t> payload(4088, 0x01);
        payload[0] = 4;
        std::vector<std::uint8_t> frame(4096);
        BuildFrame(frame, 0x8043, payload);
        frame[8] = EndMarker;
        Write(dir / "answer-sum-at-buffer-end", WithExpectation(0x8043, 9, frame.data(), frame.size()));
    }

    // Only nine bytes read, and a two-byte payload whose check sum ends on the last one:
    // the sum lies inside the buffer, the end marker behind it would not.
    {
        const std::uint8_t read[9] = {0xA1, 0x81, 0x4A, 0x00, 0x02, 0x04, 0xA0, 0x00, 0xA4};
        Write(dir / "answer-sum-ends-short-buffer", WithExpectation(0x814A, 9, read, sizeof read));
    }

    // Our own request frames, plain (no key), for ParseFrame.
    ProfileSelection plain;
    plain.ScrambleMode = 2;
    FrameBuffer frame{};
    const std::uint8_t ids[] = {0, 3, 5};
    std::uint16_t len = EnterRequest(frame, plain, 3, ids);
    Write(dir / "request-enter", WithExpectation(0x8043, 9, frame.data(), len));
    len = ExitRequest(frame, plain);
    Write(dir / "request-exit", WithExpectation(0x8044, 9, frame.data(), len));
    const auto data = Pattern(5000, 9);
    len = BlockRequest(frame, plain, 1, data, 2, 5000);
    Write(dir / "request-block", WithExpectation(0x8042, 9, frame.data(), len));
}

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A storage device descriptor as the property query returns it: version and size, the
// device type bytes, four text offsets, bus type, raw properties, then the texts.
std::vector<std::uint8_t> Descriptor(const char* vendor, const char* product) {
    std::vector<std::uint8_t> d(40, 0);
    Put32(d, 0, 40);
    d[10] = 1;  // removable media
    Put32(d, 28, 7);  // USB bus
    auto text = [&d](std::size_t field, const char* value) {
        if (value == nullptr) return;
        Put32(d, field, static_cast<std::uint32_t>(d.size()));
        for (const char* c = value; *c; ++c) d.push_back(static_cast<std::uint8_t>(*c));
        d.push_back(0);
    };
    text(12, vendor);
    text(16, product);
    text(20, "2.00");
    Put32(d, 4, static_cast<std::uint32_t>(d.size()));
    return d;
}

void LinkRecords(const fs::path& dir) {
    fs::create_directories(dir / "storage_descriptor");
    fs::create_directories(dir / "drive_selection");
    // Selector byte 0: a descriptor; 1: a device-change record after an event byte.
    auto descriptor = [&](const std::string& name, std::vector<std::uint8_t> d) {
        d.insert(d.begin(), 0);
        Write(dir / "storage_descriptor" / name, d);
    };
    descriptor("radio", Descriptor("STM     ", "microSD Flash   "));
    descriptor("other-drive", Descriptor("Generic ", "Flash Disk      "));
    descriptor("trimmed-radio", Descriptor("STM", "microSD Flash"));
    descriptor("no-vendor", Descriptor(nullptr, "microSD Flash   "));
    auto past = Descriptor("STM     ", "microSD Flash   ");
    Put32(past, 16, 0xFFFFFFF0u);
    descriptor("offset-past-end", past);
    auto unterminated = Descriptor("STM     ", "microSD Flash   ");
    unterminated.pop_back();
    descriptor("no-terminator", unterminated);
    descriptor("short", std::vector<std::uint8_t>(14, 0));

    static constexpr std::uint8_t UsbClass[16] = {0x10, 0xBF, 0xDC, 0xA5, 0x30, 0x65, 0xD2, 0x11,
                                                  0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED};
    auto change = [&](const std::string& name, std::uint8_t event, std::uint32_t type, bool usb, std::size_t size) {
        std::vector<std::uint8_t> r(32, 0);
        Put32(r, 0, 32);
        Put32(r, 4, type);
        for (std::size_t i = 0; i < 16; ++i) r[12 + i] = usb ? UsbClass[i] : static_cast<std::uint8_t>(i);
        r.resize(size);
        r.insert(r.begin(), event);
        r.insert(r.begin(), 1);
        Write(dir / "storage_descriptor" / name, r);
    };
    change("change-usb-arrival", 0, 5, true, 32);
    change("change-usb-removal", 1, 5, true, 32);
    change("change-other-class", 0, 5, false, 32);
    change("change-volume-record", 0, 2, true, 32);
    change("change-short", 0, 5, true, 20);

    for (std::uint8_t i = 0; i < 4; ++i) Write(dir / "drive_selection" / ("records-" + std::to_string(i)), Pattern(64 + 64 * i, i));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    Packages(out / "package_loader");
    Responses(out / "response");
    LinkRecords(out);
    return 0;
}
