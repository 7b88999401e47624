// The package digest of this build's platform: the standard's examples, sha256sum on the
// same file, and the loader keeping the digest of the file as read, not as descrambled.
#include "package/package_digest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "package/package_loader.h"
#include "package/package_writer.h"

namespace quenfall {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(std::string_view s) { return Bytes(s.begin(), s.end()); }

TEST(Sha256, MatchesTheStandardsExamplesAcrossBlockBoundaries) {
    EXPECT_EQ(Sha256Text(Bytes{}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Text(Text("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first block.
    EXPECT_EQ(Sha256Text(Text("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256Text(Text("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu")),
              "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    EXPECT_EQ(Sha256Text(Bytes(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // 55, 63 and 64 bytes: the edges of the padding.
    EXPECT_EQ(Sha256Text(Bytes(55, 'a')), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(Sha256Text(Bytes(64, 'a')), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

TEST(Sha256, TextIsSixtyFourHexDigits) {
    EXPECT_TRUE(IsSha256Text("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_TRUE(IsSha256Text("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"));
    EXPECT_FALSE(IsSha256Text("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015a"));
    EXPECT_FALSE(IsSha256Text("ga7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_FALSE(IsSha256Text(""));
}

TEST(Sha256, TheLoaderKeepsTheDigestOfTheFileAsReadAcceptedOrRefused) {
    PackageSpec spec;
    spec.ModelCode = 17;
    spec.ScrambleMode = 1;
    Bytes section(70000);
    for (std::size_t i = 0; i < section.size(); ++i) section[i] = static_cast<std::uint8_t>(i * 7 + i / 253);
    spec.Sections = {{0, 0, section}};
    const Bytes file = WritePackage(spec);
    const LoadResult accepted = LoadPackageImage(file);
    ASSERT_TRUE(accepted.Accepted) << accepted.Message;
    EXPECT_EQ(accepted.Accepted->Sha256, Sha256Text(file));
    EXPECT_EQ(accepted.Sha256, Sha256Text(file));
    EXPECT_NE(accepted.Accepted->Sha256, Sha256Text(accepted.Accepted->Image)) << "the image is descrambled";

    const Bytes damaged(file.begin(), file.begin() + 100);  // too short to be a package
    const LoadResult refused = LoadPackageImage(damaged);
    EXPECT_FALSE(refused.Accepted);
    EXPECT_EQ(refused.Sha256, Sha256Text(damaged));

#if !defined(_WIN32)
    // And as sha256sum prints it, on the file on the disk.
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("quenfall-digest-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".bin");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    std::string printed;
    if (FILE* pipe = ::popen(("sha256sum '" + path.string() + "'").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) printed += buffer;
        ::pclose(pipe);
    }
    const LoadResult fromDisk = LoadPackage(path);
    std::filesystem::remove(path);
    if (printed.empty()) GTEST_SKIP() << "no sha256sum on this system";
    ASSERT_TRUE(fromDisk.Accepted);
    EXPECT_EQ(fromDisk.Accepted->Sha256, printed.substr(0, 64));
#endif
}

}  // namespace
}  // namespace quenfall
