#pragma once
// What the window's run tests share on every face: the test model, a package of two sections
// for it, the emulated radio that answers it without restarting, and a link that counts the
// scans the window asks for.
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "package/package_writer.h"
#include "emulator/emulated_radio.h"
#include "upgrade/device_link.h"

namespace quenfall::test {

// Profile 0 with its scramble key 11; the first section starts at block 0.
inline const ProfileSelection TestModel{0, 1, 0, 0};

// The same bytes for the same seed, on every run.
inline std::vector<std::uint8_t> Bytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// Sections 0 (5000 bytes) and 2 (2048 bytes): four blocks in all.
inline PackageSpec TwoSectionSpec() {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = TestModel.ScrambleMode;
    spec.CodeBank = TestModel.CodeBank;
    spec.RequestVariant = TestModel.RequestVariant;
    spec.Sections.push_back({0, 0, Bytes(5000, 1)});
    spec.Sections.push_back({2, 2, Bytes(2048, 2)});
    return spec;
}

inline EmulatedRadioConfig RadioConfig() {
    EmulatedRadioConfig config;
    config.Selection = TestModel;
    config.RestartOnEnter = false;
    return config;
}

// Counts the scans the window asks of the radio.
class CountingLink : public DeviceLink {
public:
    explicit CountingLink(DeviceLink& inner) : inner_(inner) {}
    std::uint16_t ScanDrives() override {
        ++scans;
        return inner_.ScanDrives();
    }
    OpenResult OpenDevice() override { return inner_.OpenDevice(); }
    int scans = 0;

private:
    DeviceLink& inner_;
};

}  // namespace quenfall::test
