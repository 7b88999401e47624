#include "package/package_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstdio>
#include <fstream>
#include <tuple>

#include "package/check_value.h"
#include "package/package_writer.h"
#include "protocol/scrambler.h"

namespace quenfall {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 31 + i / 251);
    return b;
}

PackageSpec TwoSections(std::uint8_t model, std::uint8_t mode, std::uint8_t bank = 0) {
    PackageSpec spec;
    spec.ModelCode = model;
    spec.ScrambleMode = mode;
    spec.CodeBank = bank;
    spec.Sections = {{0, 0, Pattern(5000, 1)}, {2, 2, Pattern(2048, 9)}};
    return spec;
}

class RoundTrip : public ::testing::TestWithParam<std::tuple<int, int, int, int>> {};

TEST_P(RoundTrip, WriterAndLoaderAgree) {
    const auto [model, mode, bank, variant] = GetParam();
    PackageSpec spec = TwoSections(std::uint8_t(model), std::uint8_t(mode), std::uint8_t(bank));
    spec.RequestVariant = std::uint8_t(variant);
    const Bytes file = WritePackage(spec);
    const LoadResult r = LoadPackageImage(file);
    ASSERT_EQ(r.Verdict, LoadVerdict::Accepted) << r.Message;
    const Package& p = *r.Accepted;
    EXPECT_EQ(p.PackageLength(), std::int32_t(file.size() - 128));
    EXPECT_EQ(p.SectionCount, 2);
    EXPECT_EQ(p.TotalBlocks, 4);
    EXPECT_EQ(p.Selection.ScrambleMode, mode);
    EXPECT_EQ(p.Selection.CodeBank, bank);
    EXPECT_EQ(p.Selection.RequestVariant, variant);
    const SectionList list = p.Sections();
    ASSERT_EQ(list.Count, 2);
    EXPECT_EQ(list.Ids[1], 2);
    const auto s0 = p.SectionData(0);
    const auto s2 = p.SectionData(2);
    EXPECT_EQ(Bytes(s0.begin(), s0.end()), spec.Sections[0].Data);
    EXPECT_EQ(Bytes(s2.begin(), s2.end()), spec.Sections[1].Data);

    // Whether the stored body differs from the plain one depends on the key alone.
    const bool keyed = SelectKeyTable(std::uint8_t(mode), p.Selection.ProfileIndex) != nullptr;
    EXPECT_EQ(!std::equal(file.begin() + 128, file.begin() + 128 + 5000, spec.Sections[0].Data.begin()),
              keyed);
}

INSTANTIATE_TEST_SUITE_P(AcceptedProfilesAndModes, RoundTrip,
                         ::testing::Combine(::testing::Values(0, 2, 11, 17), ::testing::Values(0, 1, 2, 255),
                                            ::testing::Values(0, 1), ::testing::Values(0, 1)));

TEST(LoadPackage, ModelCodesDecideTheProfile) {
    const std::pair<int, int> accepted[] = {{0, 0}, {2, 0}, {11, 11}, {17, 12}};
    for (auto [model, profile] : accepted) {
        const LoadResult r = LoadPackageImage(WritePackage(TwoSections(std::uint8_t(model), 0)));
        ASSERT_EQ(r.Verdict, LoadVerdict::Accepted) << model;
        EXPECT_EQ(r.Accepted->Selection.ProfileIndex, profile);
    }
    for (int model : {1, 3, 5, 6, 7, 8, 9, 10, 12, 16, 18, 255}) {
        const LoadResult r = LoadPackageImage(WritePackage(TwoSections(std::uint8_t(model), 0)));
        EXPECT_EQ(r.Verdict, LoadVerdict::Refused) << model;
        EXPECT_EQ(r.Message, PackageMismatchText);
        EXPECT_EQ(r.Accepted, nullptr);
        // Every face but the main window says which code and which ones would do.
        EXPECT_EQ(r.Why, Refusal::ModelCode);
        EXPECT_EQ(r.Reason, "The upgrade file does not match: its model code " + std::to_string(model) +
                                " is not one this build accepts (it accepts 0, 2, 11 and 17).");
        ASSERT_TRUE(r.RefusedHeader);
        EXPECT_EQ(r.RefusedHeader->ModelCode, model);
    }
}

TEST(LoadPackage, CheckValueIsComparedAfterDescrambling) {
    const Bytes wrong = WritePackage(TwoSections(0, 0), PackageFlaw::WrongCheckValue);
    const LoadResult w = LoadPackageImage(wrong);
    EXPECT_EQ(w.Message, PackageMismatchText);
    EXPECT_EQ(w.Why, Refusal::CheckValue);
    // Both values, as the descrambled file holds one and its bytes give the other.
    const LoadResult right = LoadPackageImage(WritePackage(TwoSections(0, 0)));
    ASSERT_TRUE(right.Accepted);
    const std::uint16_t good = right.Accepted->StoredCheckValue();
    char expected[16];
    std::snprintf(expected, sizeof expected, "give 0x%04X)", good);
    EXPECT_NE(w.Reason.find("its check value is wrong (the file holds 0x"), std::string::npos) << w.Reason;
    EXPECT_NE(w.Reason.find(expected), std::string::npos) << w.Reason;
    EXPECT_EQ(LoadPackageImage(WritePackage(TwoSections(0, 0), PackageFlaw::CheckValueOverStoredBytes)).Message,
              PackageMismatchText);
    // A body stored plain only loads where no key is in force.
    EXPECT_EQ(LoadPackageImage(WritePackage(TwoSections(0, 1), PackageFlaw::UnscrambledBody)).Verdict,
              LoadVerdict::Refused);
    EXPECT_EQ(LoadPackageImage(WritePackage(TwoSections(17, 0), PackageFlaw::UnscrambledBody)).Verdict,
              LoadVerdict::Accepted);
    EXPECT_EQ(LoadPackageImage(WritePackage(TwoSections(11, 1), PackageFlaw::UnscrambledBody)).Verdict,
              LoadVerdict::Accepted);
}

TEST(LoadPackage, EveryByteButTheCheckValueCounts) {
    // The check value is the sum divided by 5, so only a change of the sum by 5 or more is
    // sure to show: each byte here moves by exactly 5.
    Bytes file = WritePackage(TwoSections(0, 0));
    for (std::size_t at : {std::size_t{0}, std::size_t{20}, std::size_t{127}, std::size_t{128},
                           file.size() - 3}) {
        Bytes broken = file;
        broken[at] = static_cast<std::uint8_t>(broken[at] <= 250 ? broken[at] + 5 : broken[at] - 5);
        EXPECT_EQ(LoadPackageImage(broken).Verdict, LoadVerdict::Refused) << at;
    }
    // Reserved header bytes take part in the sum but steer nothing.
    PackageSpec spec = TwoSections(0, 0);
    spec.Reserved.fill(0x5C);
    const LoadResult r = LoadPackageImage(WritePackage(spec));
    ASSERT_EQ(r.Verdict, LoadVerdict::Accepted);
    EXPECT_EQ(r.Accepted->Selection.ProfileIndex, 0);
    EXPECT_EQ(r.Accepted->SectionCount, 2);
}

TEST(LoadPackage, SmallestPackageHasNoSections) {
    PackageSpec empty;
    empty.ModelCode = 2;
    const Bytes file = WritePackage(empty);
    ASSERT_EQ(file.size(), 130u);
    const LoadResult r = LoadPackageImage(file);
    ASSERT_EQ(r.Verdict, LoadVerdict::Accepted) << r.Message;
    EXPECT_EQ(r.Accepted->PackageLength(), 2);
    EXPECT_EQ(r.Accepted->SectionCount, 0);
    EXPECT_EQ(r.Accepted->TotalBlocks, 0);
    // Accepted as the window always has, yet every run would refuse it.
    EXPECT_EQ(r.Why, Refusal::NoSections);
    EXPECT_EQ(r.Reason, PackageNoSectionsText);
}

TEST(LoadPackage, FilesTooShortOrTooLongAreRefusedWithoutReadingPastThem) {
    for (std::size_t n : {0u, 1u, 127u, 128u, 129u}) {
        const LoadResult r = LoadPackageImage(Bytes(n, 0));
        EXPECT_EQ(r.Verdict, LoadVerdict::Refused) << n;
        EXPECT_EQ(r.Message, PackageTooShortText) << n;
        EXPECT_EQ(r.Why, Refusal::TooSmall);
        EXPECT_FALSE(r.RefusedHeader) << "no whole header to trust";
    }
    EXPECT_EQ(LoadPackageImage(Bytes(1, 0)).Reason,
              "The upgrade file is too small to be a firmware package: 1 byte, where a package needs 130 at "
              "least (its 128-byte header and 2-byte check value).");
    const LoadResult big = LoadPackageImage(Bytes(PackageImageCapacity + 1, 0));
    EXPECT_EQ(big.Message, PackageTooLargeText);
    EXPECT_EQ(big.Reason, "The upgrade file is too large to be a firmware package: 10485761 bytes, more than the "
                          "10485760 bytes (10 MiB) a package may hold.");
    EXPECT_FALSE(big.RefusedHeader);

    // Exactly 10 MiB is still a package.
    PackageSpec spec;
    spec.ModelCode = 11;
    spec.Sections = {{0, 0, Bytes(PackageImageCapacity - 130, 0x42)}};
    EXPECT_EQ(LoadPackageImage(WritePackage(spec)).Verdict, LoadVerdict::Accepted);
}

TEST(LoadPackage, UnknownRequestVariantIsRefused) {
    PackageSpec spec = TwoSections(0, 0);
    spec.RequestVariant = 2;
    const LoadResult r = LoadPackageImage(WritePackage(spec));
    EXPECT_EQ(r.Message, PackageBadVariantText);
    EXPECT_EQ(r.Reason, "The upgrade file asks for an unknown way of entering boot mode: request variant 2, where 0 "
                        "and 1 are known.");
}

TEST(LoadPackage, SectionTableMustStayInsideTheFile) {
    const PackageHeader good = HeaderFor(TwoSections(0, 1));
    const Bytes body = Pattern(5000 + 2048, 3);
    ASSERT_EQ(LoadPackageImage(WritePackage(good, body)).Verdict, LoadVerdict::Accepted);

    PackageHeader idTooLarge = good;
    idTooLarge.SectionIds[2] = 12;
    const LoadResult tooLarge = LoadPackageImage(WritePackage(idTooLarge, body));
    EXPECT_EQ(tooLarge.Message, PackageBadSectionTableText);
    EXPECT_EQ(tooLarge.Why, Refusal::SectionTable);
    EXPECT_EQ(tooLarge.Reason,
              "The upgrade file is damaged: a section does not fit: slot 2 lists section id 12, and ids are 0 to 11.");

    PackageHeader pastTheEnd = good;
    pastTheEnd.SectionSizes[2] += 3;  // reaches one byte past the check value
    const LoadResult past = LoadPackageImage(WritePackage(pastTheEnd, body));
    EXPECT_EQ(past.Message, PackageBadSectionTableText);
    EXPECT_NE(past.Reason.find("section 2 (2051 bytes at offset 5128) ends past the end of the file (7178 bytes)"),
              std::string::npos)
        << past.Reason;

    PackageHeader wraps = good;  // offset + size overflows 32 bits
    wraps.SectionOffsets[2] = 0xFFFFFF00u;
    EXPECT_EQ(LoadPackageImage(WritePackage(wraps, body)).Message, PackageBadSectionTableText);

    // The upload looks a listed id up in the slot it names: that slot must fit too.
    PackageHeader namesOther = good;
    namesOther.SectionIds[2] = 5;
    namesOther.SectionSizes[5] = 1;
    namesOther.SectionOffsets[5] = 0x00100000;
    EXPECT_EQ(LoadPackageImage(WritePackage(namesOther, body)).Message, PackageBadSectionTableText);
}

class PackageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("quenfall-loader-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path Write(const std::filesystem::path& name, const Bytes& bytes) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::filesystem::path dir_;
};

TEST_F(PackageFiles, NamesInAnyScriptOpen) {
    const auto path = Write(std::filesystem::path(u8"прошивка-固件-ü.bin"), WritePackage(TwoSections(17, 1)));
    const LoadResult r = LoadPackage(path);
    EXPECT_EQ(r.Verdict, LoadVerdict::Accepted) << r.Message;
}

TEST_F(PackageFiles, UnopenableFileNamesThePathAndTheReason) {
    const auto missing = dir_ / "missing.bin";
    const LoadResult r = LoadPackage(missing);
    EXPECT_EQ(r.Verdict, LoadVerdict::Unreadable);
    EXPECT_NE(r.Message.find(missing.string()), std::string::npos) << r.Message;
    EXPECT_NE(r.Message.find("No such file or directory"), std::string::npos) << r.Message;
    EXPECT_EQ(r.Reason, r.Message);
    EXPECT_EQ(LoadPackage(dir_).Verdict, LoadVerdict::Unreadable);
}

TEST_F(PackageFiles, OversizedFileIsRefusedBeforeItIsRead) {
    const auto path = Write("big.bin", Bytes(PackageImageCapacity + 1, 0));
    EXPECT_EQ(LoadPackage(path).Message, PackageTooLargeText);
    const auto empty = Write("empty.bin", {});
    EXPECT_EQ(LoadPackage(empty).Message, PackageTooShortText);
}

}  // namespace
}  // namespace quenfall
