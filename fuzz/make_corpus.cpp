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

    // Section tables no spec can express.
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
        Write(dir / "accepted-id-names-other-slot", WritePackage(h, Pattern(2200, 6)));
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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    Packages(out / "package_loader");
    Responses(out / "response");
    return 0;
}
