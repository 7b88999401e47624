// Runs the built quenfall-cli as a user would, on packages made with the writer, and checks
// its exit status, its output and, for flash, the recorded dialogue.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <map>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include <nlohmann/json.hpp>

#include "package/check_value.h"
#include "package/package_digest.h"
#include "platform/platform.h"
#include "package/package_loader.h"
#include "package/package_writer.h"
#include "protocol/command_frame.h"
#include "protocol/key_tables.h"
#include "protocol/scrambler.h"
#include "text/translation.h"
#include "upgrade/status_texts.h"
#include "upgrade/dialogue_trace_text.h"
#include "emulator/trace_replay.h"
#include "upgrade/upgrade_sequencer.h"
#include "upgrade/virtual_clock.h"
#include "recording_view.h"
#include "run_rig.h"

namespace quenfall {
namespace {

namespace fs = std::filesystem;

// The emulated crate's radios carry the names this system gives removable disks: "/dev/sda"
// on Linux, "\\.\E:" on Windows.
std::string Disk(std::size_t index) { return RemovableDiskName(index); }
// What every such name begins with: "/dev/sd", "\\.\".
std::string DiskNamePrefix() {
    const std::string first = Disk(0), second = Disk(1);
    std::size_t n = 0;
    while (n < first.size() && n < second.size() && first[n] == second[n]) ++n;
    return first.substr(0, n);
}
// The same name inside a JSON string.
std::string JsonDisk(std::size_t index) {
    std::string escaped;
    for (char c : Disk(index)) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

struct CliRun {
    int Exit = -1;
    std::string Out;
    std::string Err;
};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    const std::string text = ReadText(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The binary as the build names it. A Windows build run under wine on the build machine
// gets a path of the build machine, which wine sees on drive Z:.
std::string CliPath() {
    std::string path = QUENFALL_CLI_PATH;
#if defined(_WIN32)
    if (path.starts_with("/")) path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
#endif
    return path;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quenfall-cli-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        // Every run the tests make is recorded here, never in the user's own history.
        history_ = dir_ / "history.jsonl";
#if defined(_WIN32)
        _putenv_s("QUENFALL_HISTORY", history_.string().c_str());
#else
        ::setenv("QUENFALL_HISTORY", history_.c_str(), 1);
#endif
    }
    void TearDown() override { fs::remove_all(dir_); }

    // tag: for runs at the same time, each its own output files. environment: words for
    // env(1) before the program ("-u LANGUAGE LANG=C"), on POSIX systems only.
    CliRun Cli(const std::string& args, const std::string& tag = "", const std::string& environment = "") {
        const fs::path out = dir_ / ("stdout" + tag + ".txt");
        const fs::path err = dir_ / ("stderr" + tag + ".txt");
        std::string command = (environment.empty() ? std::string() : "env " + environment + " ") + "\"" + CliPath() +
                              "\" " + args + " > \"" + out.string() + "\" 2> \"" + err.string() + "\"";
#if defined(_WIN32)
        // cmd.exe drops the first and the last quote of the whole line when there are more.
        command = "\"" + command + "\"";
#endif
        const int raw = std::system(command.c_str());
        CliRun r;
#if defined(_WIN32)
        r.Exit = raw;
#else
        r.Exit = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
        r.Out = ReadText(out);
        r.Err = ReadText(err);
#if defined(_WIN32)
        // Windows consoles end lines with CR LF; what they say is the same.
        for (std::string* text : {&r.Out, &r.Err}) std::erase(*text, '\r');
#endif
        return r;
    }
    fs::path Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream o(p, std::ios::binary);
        o.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    std::string Q(const fs::path& p) { return "\"" + p.string() + "\""; }

    fs::path dir_;
    fs::path history_;
};

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> v(size);
    for (std::size_t i = 0; i < size; ++i) v[i] = static_cast<std::uint8_t>(seed * 31 + i * 13 + i / 251);
    return v;
}

PackageSpec TwoSections() {
    PackageSpec spec;
    spec.ModelCode = 17;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, Pattern(5000, 1)}, {2, 2, Pattern(2048, 2)}};
    return spec;
}

// --- the user's language -------------------------------------------------------------------

// The texts a whole emulated run shows, in the order it shows them.
const std::string_view RunStatusTexts[] = {EnteringBootModeText, NoDeviceText, DeviceConnectedText,
                                           UpgradingText,        UpgradeCompleteText, CompletionMessage};

// Every line of text that is one of lines, in the order text has them.
std::vector<std::string> LinesAmong(const std::string& text, const std::vector<std::string>& lines) {
    std::vector<std::string> found;
    for (const std::string& line : Lines(text))
        if (std::find(lines.begin(), lines.end(), line) != lines.end()) found.push_back(line);
    return found;
}

// The run's texts as the German catalogue built into the program has them, in the test's own
// process; the language goes back to English when the test ends, whatever it found.
std::vector<std::string> GermanRunTexts() {
    struct English {
        ~English() { text::UseLanguage(""); }
    } back;
    EXPECT_EQ(text::UseLanguage("de"), "de") << "the programs carry a German catalogue";
    std::vector<std::string> texts;
    for (std::string_view english : RunStatusTexts) {
        texts.push_back(text::Tr(english));
        EXPECT_NE(texts.back(), english) << "the German catalogue translates \"" << english << "\"";
    }
    return texts;
}

TEST_F(CliTest, FlashShowsTheRunsTextsInTheChosenLanguageAndInEnglishUnderTheCLocale) {
    PackageSpec spec;
    spec.ModelCode = 17;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, Pattern(2048, 5)}};
    const fs::path p = Write("language.bin", WritePackage(spec));
    const std::vector<std::string> german = GermanRunTexts();
    const std::vector<std::string> english(std::begin(RunStatusTexts), std::end(RunStatusTexts));
#if defined(_WIN32)
    // Redirected into a file, the Windows program writes UTF-8 bytes, not the console's code page.
    _putenv_s("QUENFALL_LANGUAGE", "de");
    const CliRun de = Cli("flash " + Q(p) + " --emulate", "-de");
    _putenv_s("QUENFALL_LANGUAGE", "");
#else
    // Both runs at once: each takes the emulated radio's restart.
    CliRun de, c;
    std::thread other([&] { de = Cli("flash " + Q(p) + " --emulate", "-de", "QUENFALL_LANGUAGE=de"); });
    c = Cli("flash " + Q(p) + " --emulate", "-c", "-u QUENFALL_LANGUAGE -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=C");
    other.join();
    EXPECT_EQ(c.Exit, 0) << c.Out << c.Err;
    EXPECT_EQ(LinesAmong(c.Out, english), english) << c.Out;
    EXPECT_EQ(LinesAmong(c.Out, german), std::vector<std::string>{}) << c.Out;
#endif
    EXPECT_EQ(de.Exit, 0) << de.Out << de.Err;
    EXPECT_EQ(LinesAmong(de.Out, german), german) << de.Out;
    EXPECT_EQ(LinesAmong(de.Out, english), std::vector<std::string>{}) << de.Out;
    EXPECT_NE(de.Out.find("\xC3\xA4"), std::string::npos) << "an a-umlaut as UTF-8: " << de.Out;
}

// --- inspect ------------------------------------------------------------------------------

TEST_F(CliTest, InspectAcceptedPackagePrintsEveryFieldAsJson) {
    const std::vector<std::uint8_t> bytes = WritePackage(TwoSections());
    const fs::path p = Write("good.bin", bytes);
    const CliRun r = Cli("inspect " + Q(p) + " --json");
    EXPECT_EQ(r.Exit, 0) << r.Err;
    const std::string sha256 = Sha256Text(bytes);
    ASSERT_EQ(sha256.size(), 64u);
    EXPECT_EQ(r.Out,
              "{\"accepted\":true,\"message\":\"\",\"reason\":null,\"model_code\":17,\"profile_index\":12,"
              "\"scramble_mode\":1,\"code_bank\":0,\"request_variant\":0,\"package_length\":7050,"
              "\"section_count\":2,\"total_blocks\":4,\"blocks_sent\":4,\"blocks_sent_note\":null,\"sections\":["
              "{\"slot\":0,\"id\":0,\"size\":5000,\"offset\":128,\"blocks\":3},"
              "{\"slot\":2,\"id\":2,\"size\":2048,\"offset\":5128,\"blocks\":1}],"
              "\"sha256\":\"" + sha256 + "\"}\n");
    EXPECT_EQ(r.Err, "");
}

TEST_F(CliTest, InspectAcceptedPackageAsText) {
    const fs::path p = Write("good.bin", WritePackage(TwoSections()));
    const CliRun r = Cli("inspect " + Q(p));
    EXPECT_EQ(r.Exit, 0);
    const auto lines = Lines(r.Out);
    ASSERT_GE(lines.size(), 13u);
    EXPECT_EQ(lines[0], "verdict:         accepted");
    EXPECT_EQ(lines[2], "profile:         12");
    EXPECT_EQ(lines[6], "package length:  7050");
    EXPECT_EQ(lines[8], "total blocks:    4");
    EXPECT_EQ(lines[9], "blocks sent:     4");
    EXPECT_EQ(lines[11], "   0   0        5000         128       3");
    EXPECT_EQ(lines[12], "   2   2        2048        5128       1");
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[13], "sha256:          " + Sha256Text(WritePackage(TwoSections())));
}

// Under scramble mode 0 a first section 0 loses its four leading blocks to the upload; the
// report says so beside the total, and not when the same package uses mode 1 or has no
// section 0.
TEST_F(CliTest, InspectSaysWhichBlocksARunSendsAndWhyTheyDifferFromTheTotal) {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 0;
    spec.Sections = {{0, 0, Pattern(10000, 1)}, {2, 2, Pattern(2049, 2)}};
    const CliRun r = Cli("inspect " + Q(Write("mode0.bin", WritePackage(spec))));
    EXPECT_EQ(r.Exit, 0) << r.Err;
    const auto lines = Lines(r.Out);
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[8], "total blocks:    7");
    EXPECT_EQ(lines[9],
              "blocks sent:     3 (under scramble mode 0 the upload begins section 0 at block 4: its first 4 blocks "
              "are not sent)");

    spec.ScrambleMode = 1;
    const CliRun m1 = Cli("inspect " + Q(Write("mode1.bin", WritePackage(spec))) + " --json");
    EXPECT_NE(m1.Out.find("\"total_blocks\":7,\"blocks_sent\":7,\"blocks_sent_note\":null,"), std::string::npos)
        << m1.Out;

    PackageSpec noZero;
    noZero.ModelCode = 0;
    noZero.ScrambleMode = 0;
    noZero.Sections = {{1, 1, Pattern(100, 3)}, {3, 3, Pattern(10000, 4)}};
    const CliRun z = Cli("inspect " + Q(Write("nozero.bin", WritePackage(noZero))) + " --json");
    EXPECT_NE(z.Out.find("\"total_blocks\":6,\"blocks_sent\":6,\"blocks_sent_note\":null,"), std::string::npos)
        << z.Out;
}

TEST_F(CliTest, InspectRefusedPackageExitsOneWithTheRefusalAndStillShowsItsHeader) {
    const fs::path p = Write("bad.bin", WritePackage(TwoSections(), PackageFlaw::WrongCheckValue));
    const CliRun r = Cli("inspect " + Q(p) + " --json");
    EXPECT_EQ(r.Exit, 1);
    EXPECT_EQ(r.Err, LoadPackage(p).Reason + "\n");
    EXPECT_EQ(r.Out.rfind("{\"accepted\":false,\"message\":\"The upgrade file does not match!\",\"reason\":\"The "
                          "upgrade file does not match: its check value is wrong",
                          0),
              0u)
        << r.Out;
    EXPECT_NE(r.Out.find("\"model_code\":17,\"profile_index\":12,\"scramble_mode\":1,"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("\"section_count\":2,\"total_blocks\":4,"), std::string::npos);

    PackageSpec other = TwoSections();
    other.ModelCode = 5;
    const CliRun m = Cli("inspect " + Q(Write("model5.bin", WritePackage(other))) + " --json");
    EXPECT_EQ(m.Exit, 1);
    EXPECT_NE(m.Out.find("\"model_code\":5,\"profile_index\":null,"), std::string::npos) << m.Out;
    // The code refused and the codes accepted, on the terminal as in the report.
    const std::string model5 =
        "The upgrade file does not match: its model code 5 is not one this build accepts (it accepts 0, 2, 11 and 17).";
    EXPECT_EQ(m.Err, model5 + "\n");
    const CliRun mt = Cli("inspect " + Q(dir_ / "model5.bin"));
    EXPECT_NE(mt.Out.find("verdict:         refused\nreason:          " + model5 + "\nmodel code:      5\n"),
              std::string::npos)
        << mt.Out;

    PackageSpec variant = TwoSections();
    variant.RequestVariant = 2;
    const CliRun v = Cli("inspect " + Q(Write("variant2.bin", WritePackage(variant))));
    EXPECT_EQ(v.Exit, 1);
    EXPECT_EQ(v.Err, LoadPackage(dir_ / "variant2.bin").Reason + "\n");
    EXPECT_NE(v.Out.find("verdict:         refused"), std::string::npos);
}

TEST_F(CliTest, InspectTooShortFileHasNoHeaderToShow) {
    const fs::path p = Write("short.bin", std::vector<std::uint8_t>(100, 0));
    const CliRun r = Cli("inspect " + Q(p) + " --json");
    EXPECT_EQ(r.Exit, 1);
    EXPECT_EQ(r.Err, "The upgrade file is too small to be a firmware package: 100 bytes, where a package needs 130 "
                     "at least (its 128-byte header and 2-byte check value).\n");
    EXPECT_NE(r.Out.find("\"model_code\":null,"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("\"sections\":[],"), std::string::npos) << r.Out;
    // A file read whole has its digest, whatever the verdict.
    EXPECT_NE(r.Out.find("\"sha256\":\"" + Sha256Text(std::vector<std::uint8_t>(100, 0)) + "\"}"), std::string::npos)
        << r.Out;

    // Too large to be read: its first bytes are no header, and no table of them is shown.
    const fs::path large = Write("large.bin", WritePackage(TwoSections()));
    fs::resize_file(large, 50u << 20);
    const CliRun l = Cli("inspect " + Q(large));
    EXPECT_EQ(l.Exit, 1);
    EXPECT_EQ(l.Out.find("model code:"), std::string::npos) << l.Out;
    EXPECT_EQ(l.Out.find("slot  id"), std::string::npos) << l.Out;
    EXPECT_EQ(l.Err, "The upgrade file is too large to be a firmware package: 52428800 bytes, more than the 10485760 "
                     "bytes (10 MiB) a package may hold.\n");
}

TEST_F(CliTest, InspectUnreadableFileOrBadUsageExitsTwo) {
    const fs::path missing = dir_ / "no such file.bin";
    const CliRun r = Cli("inspect " + Q(missing));
    EXPECT_EQ(r.Exit, 2);
    EXPECT_NE(r.Err.find(missing.string()), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "");

    EXPECT_EQ(Cli("inspect").Exit, 2);
    EXPECT_EQ(Cli("inspect " + Q(missing) + " --yaml").Exit, 2);
    EXPECT_EQ(Cli("inspect a b").Exit, 2);
    EXPECT_EQ(Cli("frobnicate").Exit, 2);
    EXPECT_EQ(Cli("").Exit, 2);
}

#if !defined(_WIN32)
// (On Windows std::system hands the command line over in the code page, so the name would
// be lost before quenfall-cli sees it.)
TEST_F(CliTest, InspectOpensANameWithCharactersOutsideAnyCodePage) {
    const fs::path p = Write("пакет ✓ 固件.bin", WritePackage(TwoSections()));
    EXPECT_EQ(Cli("inspect " + Q(p)).Exit, 0);
}
#endif

// --- pack ---------------------------------------------------------------------------------

TEST_F(CliTest, PackThenInspectRoundTrips) {
    const auto a = Pattern(3000, 7);
    const auto b = Pattern(4096, 8);
    const fs::path fa = Write("a.sec", a);
    const fs::path fb = Write("b.sec", b);
    const fs::path out = dir_ / "packed.bin";
    const CliRun r = Cli("pack -o " + Q(out) + " --model 11 --scramble 0 --bank 1 --variant 0x1 --section 3=" + Q(fa) +
                      " --section 0=" + Q(fb));
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(r.Err, "");

    const CliRun i = Cli("inspect " + Q(out) + " --json");
    EXPECT_EQ(i.Exit, 0) << i.Err;
    EXPECT_EQ(i.Out,
              "{\"accepted\":true,\"message\":\"\",\"reason\":null,\"model_code\":11,\"profile_index\":11,"
              "\"scramble_mode\":0,\"code_bank\":1,\"request_variant\":1,\"package_length\":7098,"
              "\"section_count\":2,\"total_blocks\":4,\"blocks_sent\":3,"
              "\"blocks_sent_note\":\"under scramble mode 0 the upload begins section 0 at block 4, past the end of "
              "its 2 blocks: none of them is sent, one block of filler is\",\"sections\":["
              "{\"slot\":0,\"id\":0,\"size\":4096,\"offset\":3128,\"blocks\":2},"
              "{\"slot\":3,\"id\":3,\"size\":3000,\"offset\":128,\"blocks\":2}],"
              "\"sha256\":\"" + Sha256Text(ReadBytes(out)) + "\"}\n");

    const LoadResult loaded = LoadPackage(out);
    ASSERT_EQ(loaded.Verdict, LoadVerdict::Accepted);
    const auto s3 = loaded.Accepted->SectionData(3);
    const auto s0 = loaded.Accepted->SectionData(0);
    EXPECT_TRUE(std::equal(s3.begin(), s3.end(), a.begin(), a.end()));
    EXPECT_TRUE(std::equal(s0.begin(), s0.end(), b.begin(), b.end()));
}

TEST_F(CliTest, PackRefusesBadArguments) {
    const fs::path f = Write("a.sec", Pattern(10, 1));
    const std::string out = " -o " + Q(dir_ / "p.bin");
    EXPECT_EQ(Cli("pack --model 0 --section 0=" + Q(f)).Exit, 2) << "no output";
    EXPECT_EQ(Cli("pack" + out + " --section 0=" + Q(f)).Exit, 2) << "no model";
    EXPECT_EQ(Cli("pack" + out + " --model 256 --section 0=" + Q(f)).Exit, 2);
    EXPECT_EQ(Cli("pack" + out + " --model 0 --section 12=" + Q(f)).Exit, 2);
    EXPECT_EQ(Cli("pack" + out + " --model 0 --section 1=" + Q(f) + " --section 1=" + Q(f)).Exit, 2);
    EXPECT_EQ(Cli("pack" + out + " --model 0 --section 1").Exit, 2);
    EXPECT_EQ(Cli("pack" + out + " --model 0 --section 1=" + Q(dir_ / "missing")).Exit, 2);
    EXPECT_EQ(Cli("pack" + out + " --model 0 --section 1=" + Q(Write("empty.sec", {}))).Exit, 2);
    EXPECT_FALSE(fs::exists(dir_ / "p.bin"));
    const CliRun none = Cli("pack" + out + " --model 0");
    EXPECT_EQ(none.Exit, 2) << "no section: nothing a run could send";
    EXPECT_EQ(none.Err.rfind("quenfall-cli pack: " + std::string(PackageNoSectionsText), 0), 0u) << none.Err;
    EXPECT_FALSE(fs::exists(dir_ / "p.bin"));
    EXPECT_EQ(Cli("pack -o " + Q(dir_ / "no-dir" / "p.bin") + " --model 0 --section 1=" + Q(f)).Exit, 2);
}

TEST_F(CliTest, PackWarnsOfAPackageTheToolWillRefuse) {
    const fs::path f = Write("a.sec", Pattern(10, 1));
    const CliRun r = Cli("pack -o " + Q(dir_ / "p.bin") + " --model 5 --section 1=" + Q(f));
    EXPECT_EQ(r.Exit, 0);
    EXPECT_EQ(r.Err, "quenfall-cli pack: warning: this package will be refused: The upgrade file does not match: its "
                     "model code 5 is not one this build accepts (it accepts 0, 2, 11 and 17).\n");
    EXPECT_EQ(r.Out, "wrote " + (dir_ / "p.bin").string() + ": 140 bytes, 1 section\n");
    EXPECT_EQ(Cli("inspect " + Q(dir_ / "p.bin")).Exit, 1);
}

// The help lists every code the loader accepts and no other: each listed code packs into an
// accepted package, and a code next to it into a refused one.
TEST_F(CliTest, PackHelpListsTheModelCodesThisBuildAccepts) {
    const CliRun r = Cli("pack --help");
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_NE(r.Out.find("  quenfall-cli pack -o OUT --model N"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("      Model codes this build accepts (key set " + std::string(KeySetName()) + "), with what\n"),
              std::string::npos)
        << r.Out;
    std::vector<int> listed;
    for (const std::string& line : Lines(r.Out)) {
        unsigned code = 0;
        char rest[64] = {};
        if (std::sscanf(line.c_str(), "      model %u: %63[^\n]", &code, rest) == 2) listed.push_back(int(code));
    }
    EXPECT_EQ(listed, (std::vector<int>{0, 2, 11, 17})) << r.Out;
    EXPECT_NE(r.Out.find("      model 17: not scrambled, key table 6.\n"), std::string::npos) << r.Out;
    // The whole help and the manual page made from it carry the same list.
    EXPECT_NE(Cli("--help").Out.find("      model 11: key table 0, not scrambled.\n"), std::string::npos);

    const fs::path f = Write("a.sec", Pattern(10, 1));
    for (int code : listed) {
        const fs::path out = dir_ / ("m" + std::to_string(code) + ".bin");
        const CliRun p = Cli("pack -o " + Q(out) + " --model " + std::to_string(code) + " --section 1=" + Q(f));
        EXPECT_EQ(p.Err, "") << code;
        EXPECT_EQ(Cli("inspect " + Q(out)).Exit, 0) << code;
        const CliRun next = Cli("pack -o " + Q(out) + " --model " + std::to_string(code + 1) + " --section 1=" + Q(f));
        EXPECT_NE(next.Err.find("will be refused"), std::string::npos) << code + 1;
    }
}

TEST_F(CliTest, VersionNamesTheKeySet) {
    const CliRun r = Cli("--version");
    EXPECT_EQ(r.Exit, 0);
    const auto lines = Lines(r.Out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "quenfall-cli 7.1.0");
    EXPECT_EQ(lines[1], "key set: " + std::string(KeySetName()) + " (fingerprint " +
                            std::string(KeySetFingerprint()) + ")");
    EXPECT_EQ(Cli("--help").Exit, 0);
}

// --- flash --------------------------------------------------------------------------------

std::vector<std::uint8_t> FromHex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::istringstream in(text);
    for (std::string b; in >> b;) bytes.push_back(static_cast<std::uint8_t>(std::stoul(b, nullptr, 16)));
    return bytes;
}

// Section 0 first under scramble mode 0: the upload begins it at block 4, so 2 of its 6
// blocks go out, then both blocks of section 3. The radio restarts into boot mode first.
TEST_F(CliTest, FlashEmulatedRadioCompletesWithTheWindowsTextsAndATraceOfValidFrames) {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 0;
    spec.Sections = {{0, 0, Pattern(6 * 2048, 3)}, {3, 3, Pattern(3000, 4)}};
    const fs::path p = Write("flash.bin", WritePackage(spec));
    const fs::path trace = dir_ / "trace.txt";
    const CliRun r = Cli("flash " + Q(p) + " --emulate --trace " + Q(trace));
    EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
    EXPECT_EQ(r.Err, "");

    std::vector<std::string> shown;
    for (const std::string& line : Lines(r.Out))
        if (!line.starts_with("Progress: ")) shown.push_back(line);
    const std::vector<std::string> expected = {
        "Entering BOOT Mode...",
        " No device detected!",
        " The device has been connected!",
        "The program is being upgraded, please wait patiently...",
        " Program upgrade is complete!",
        "Data transmitted successfully. Please wait for radio to reset to confirm successful write!",
        "Emulated radio: 4 blocks in 2 sections received; every section matches the package.",
    };
    EXPECT_EQ(shown, expected) << r.Out;

    ProfileSelection selection;  // profile 0, mode 0, bank 0, variant 0
    struct Step {
        char Direction;
        std::vector<std::uint8_t> Bytes;
    };
    std::vector<Step> steps;
    std::vector<std::pair<std::size_t, std::string>> presence;  // after how many steps, which line
    for (const std::string& line : Lines(ReadText(trace))) {
        ASSERT_GE(line.size(), 2u);
        if (line == "- radio left" || line == "+ radio back") {
            presence.emplace_back(steps.size(), line);
            continue;
        }
        ASSERT_TRUE(line.starts_with("> ") || line.starts_with("< ")) << line;
        steps.push_back({line[0], FromHex(line.substr(2))});
        EXPECT_EQ(line.find_first_of("abcdef"), std::string::npos) << "upper-case hex";
    }
    // enter, its answer (3), enter after the restart, its answer (4), four blocks and their
    // acknowledgements, exit and its answer.
    ASSERT_EQ(steps.size(), 14u);
    const std::uint16_t expectedCodes[] = {0x0043, 0x0043, 0x0042, 0x0042, 0x0042, 0x0042, 0x0044};
    const std::pair<int, int> blocks[] = {{0, 4}, {0, 5}, {3, 0}, {3, 1}};
    for (std::size_t i = 0; i < steps.size(); i += 2) {
        ASSERT_EQ(steps[i].Direction, '>');
        std::vector<std::uint8_t> plain = steps[i].Bytes;
        Scrambler(selection, plain);
        const ParsedFrame f = ParseFrame(plain);
        ASSERT_EQ(f.Fault, FrameFault::None) << "frame " << i / 2;
        EXPECT_EQ(f.Code, expectedCodes[i / 2]);
        if (i / 2 >= 2 && i / 2 < 6) {
            EXPECT_EQ(f.Payload[0], blocks[i / 2 - 2].first);
            EXPECT_EQ(f.Payload[1] << 8 | f.Payload[2], blocks[i / 2 - 2].second);
        }
        ASSERT_EQ(steps[i + 1].Direction, '<');
        ASSERT_EQ(steps[i + 1].Bytes.size(), 9u);
        EXPECT_TRUE(ValidateResponse(steps[i + 1].Bytes, f.Code | 0x8000, 9));
    }
    EXPECT_EQ(steps[0].Bytes.size(), 12u) << "first enter announces ids 0 and 3";
    EXPECT_EQ(steps[1].Bytes[5], 3) << "the radio restarts into boot mode";
    EXPECT_EQ(steps[3].Bytes[5], 4);
    // The restart is in the recording: the radio left after the answer 3 and was back
    // before the enter request that followed.
    const std::vector<std::pair<std::size_t, std::string>> restart = {{2, "- radio left"}, {2, "+ radio back"}};
    EXPECT_EQ(presence, restart);

    // The file is a recording: the same package replays through it to its end.
    std::ifstream in(trace);
    std::string error;
    auto recorded = ParseTrace(in, error);
    ASSERT_TRUE(recorded.has_value()) << error;
    TraceReplayLink replay(std::move(*recorded));
    VirtualClock clock;
    test::RecordView view;
    UpgradeSequencer sequencer(replay, view, clock);
    test::HandTimersTo(clock, sequencer);
    const LoadResult loaded = LoadPackage(p);
    ASSERT_EQ(loaded.Verdict, LoadVerdict::Accepted);
    sequencer.Button2Click(loaded.Accepted);
    clock.RunUntil([&] { return !clock.IsOn(TimerId::ExitBootMode) && replay.Finished(); }, std::chrono::hours(1));
    EXPECT_TRUE(replay.Finished()) << replay.Divergence();
    EXPECT_EQ(view.Status, UpgradeCompleteText);
}

TEST_F(CliTest, FlashRefusesWhatCannotBeSentBeforeTouchingARadio) {
    const fs::path bad = Write("bad.bin", WritePackage(TwoSections(), PackageFlaw::WrongCheckValue));
    const CliRun r = Cli("flash " + Q(bad) + " --emulate");
    EXPECT_EQ(r.Exit, 1);
    EXPECT_EQ(r.Err, LoadPackage(bad).Reason + "\n");
    EXPECT_NE(r.Err.find("check value is wrong"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "");
    // The events end the same way, with the same reason.
    const CliRun ev = Cli("flash " + Q(bad) + " --emulate --all --events -");
    EXPECT_EQ(ev.Exit, 1);
    const nlohmann::json end = nlohmann::json::parse(ev.Out, nullptr, false);
    ASSERT_TRUE(end.is_object()) << ev.Out;
    EXPECT_EQ(end["event"], "end");
    EXPECT_EQ(end["outcome"], LoadPackage(bad).Reason);
    EXPECT_EQ(end["completed"], false);
    EXPECT_EQ(end["package"], "bad.bin");

    PackageSpec empty;
    empty.ModelCode = 0;
    const CliRun e = Cli("flash " + Q(Write("empty.bin", WritePackage(empty))) + " --emulate");
    EXPECT_EQ(e.Exit, 1);
    EXPECT_EQ(e.Err, std::string(PackageNoSectionsText) + "\n");

    EXPECT_EQ(Cli("flash " + Q(dir_ / "missing.bin") + " --emulate").Exit, 2);
    EXPECT_EQ(Cli("flash --emulate").Exit, 2);
    EXPECT_EQ(Cli("flash " + Q(bad) + " --emulate --trace").Exit, 2);
    EXPECT_EQ(Cli("flash " + Q(bad) + " --emulate --fast").Exit, 2);
}

// --- a crate of radios --------------------------------------------------------------------

// The lines of out that begin with prefix, without it.
std::vector<std::string> LinesOf(const std::string& out, const std::string& prefix) {
    std::vector<std::string> lines;
    for (const std::string& line : Lines(out))
        if (line.starts_with(prefix)) lines.push_back(line.substr(prefix.size()));
    return lines;
}

// --- events -------------------------------------------------------------------------------

std::vector<nlohmann::json> JsonLines(const std::string& text) {
    std::vector<nlohmann::json> events;
    for (const std::string& line : Lines(text)) {
        nlohmann::json e = nlohmann::json::parse(line, nullptr, false);
        EXPECT_TRUE(e.is_object()) << "not one JSON object: " << line;
        if (e.is_object()) events.push_back(std::move(e));
    }
    return events;
}

// With --events -, standard output carries the JSON lines and nothing else; people's texts
// go to standard error. Progress reaches 100%, the restart is named as a phase, the time
// left only runs down but by a little, and the end event carries the history record.
TEST_F(CliTest, FlashEventsOnStandardOutputFollowTheRunToItsEnd) {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 1;
    spec.Sections = {{4, 4, Pattern(40 * 2048, 9)}};
    const fs::path p = Write("events.bin", WritePackage(spec));
    const CliRun r = Cli("flash " + Q(p) + " --emulate --events -");
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_NE(r.Err.find("Entering BOOT Mode...\n"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find(" Program upgrade is complete!\n"), std::string::npos) << r.Err;

    const std::vector<nlohmann::json> events = JsonLines(r.Out);
    ASSERT_GE(events.size(), 10u) << r.Out;
    std::vector<std::string> texts, phases;
    int lastPercent = -1;
    double lastLeft = 1e9;
    for (const nlohmann::json& e : events) {
        ASSERT_TRUE(e.contains("time") && e.contains("location") && e.contains("serial") && e.contains("event")) << e;
        const std::string time = e["time"];
        EXPECT_EQ(time.size(), 24u) << time;  // 2026-12-10T13:40:25.182Z
        EXPECT_EQ(time.back(), 'Z');
        if (e["event"] == "status") texts.push_back(e["text"]);
        if (e["event"] != "progress") continue;
        EXPECT_EQ(e["blocks_total"], 40);
        const int percent = e["percent"];
        EXPECT_GE(percent, lastPercent);
        lastPercent = percent;
        const double left = e["seconds_left"];
        EXPECT_LE(left, lastLeft + 0.5) << e;
        lastLeft = left;
        if (phases.empty() || phases.back() != e["phase"]) phases.push_back(e["phase"]);
    }
    EXPECT_EQ(texts.front(), "Entering BOOT Mode...");
    EXPECT_EQ(lastPercent, 100);
    EXPECT_EQ(phases, (std::vector<std::string>{"entering boot mode", "radio restarting", "checking boot mode",
                                                "uploading", "leaving boot mode", "ended"}));
    const nlohmann::json& end = events.back();
    EXPECT_EQ(end["event"], "end");
    EXPECT_EQ(end["outcome"], " Program upgrade is complete!");
    EXPECT_EQ(end["completed"], true);
    EXPECT_EQ(end["blocks_sent"], 40);
    EXPECT_EQ(end["package"], "events.bin");
    EXPECT_EQ(end["emulated"], true);
    EXPECT_TRUE(end.contains("last_command_problem"));
}

// Into a file, for a crate: every radio's events under its location, one end each; a place
// that cannot be written is refused with the system's reason before any radio is touched.
TEST_F(CliTest, FlashAllEventsIntoAFileNameEveryRadio) {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    spec.Sections = {{1, 1, Pattern(3 * 2048, 2)}};
    const fs::path p = Write("crate-events.bin", WritePackage(spec));
    const fs::path file = dir_ / "events.jsonl";
    const CliRun r = Cli("flash " + Q(p) + " --all --emulate 2 --events " + Q(file));
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_NE(r.Out.find("1-1.1"), std::string::npos) << "the display stays on standard output";
    std::map<std::string, int> ends;
    std::map<std::string, int> lastPercent;
    for (const nlohmann::json& e : JsonLines(ReadText(file))) {
        if (e["event"] == "end") {
            ++ends[e["location"]];
            EXPECT_EQ(e["completed"], true);
        }
        if (e["event"] == "progress") lastPercent[e["location"]] = e["percent"];
    }
    EXPECT_EQ(ends, (std::map<std::string, int>{{"1-1.1", 1}, {"1-1.2", 1}}));
    EXPECT_EQ(lastPercent, (std::map<std::string, int>{{"1-1.1", 100}, {"1-1.2", 100}}));

    const CliRun refused = Cli("flash " + Q(p) + " --emulate --events " + Q(dir_ / "no" / "such" / "e.jsonl"));
    EXPECT_EQ(refused.Exit, 2);
    EXPECT_NE(refused.Err.find("No such file or directory"), std::string::npos) << refused.Err;
    EXPECT_EQ(refused.Out, "");
}

TEST_F(CliTest, FlashAllUpgradesEveryRadioOfACrateFollowingEachByLocationAndReportsEach) {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, Pattern(5 * 2048 + 7, 5)}, {6, 6, Pattern(900, 6)}};
    const std::vector<std::uint8_t> bytes = WritePackage(spec);
    const fs::path p = Write("crate.bin", bytes);
    const fs::path report = dir_ / "report.json";
    const CliRun r = Cli("flash " + Q(p) + " --all --emulate 3 --report " + Q(report));
    EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
    EXPECT_EQ(r.Err, "");

    // Each radio's own lines, labelled by its location, as a single run shows them.
    for (const std::string location : {"1-1.1", "1-1.2", "1-1.3"}) {
        SCOPED_TRACE(location);
        std::vector<std::string> shown;
        for (const std::string& line : LinesOf(r.Out, location + ": "))
            if (!line.starts_with("Progress: ") && !line.starts_with("emulated radio: ")) shown.push_back(line);
        EXPECT_EQ(shown, (std::vector<std::string>{
                             "Entering BOOT Mode...", " No device detected!", " The device has been connected!",
                             "The program is being upgraded, please wait patiently...",
                             " Program upgrade is complete!",
                             "Data transmitted successfully. Please wait for radio to reset to confirm "
                             "successful write!"}));
        EXPECT_EQ(LinesOf(r.Out, location + ": Progress: ").back(), "100%");
    }
    // The radios came back in reverse order: the first and the last traded device names.
    EXPECT_EQ(LinesOf(r.Out, "1-1.1: emulated radio: "),
              std::vector<std::string>{"7 blocks in 2 sections received; every section matches the package; "
                                       "device names " + Disk(0) + " then " + Disk(2) + "."});
    EXPECT_EQ(LinesOf(r.Out, "1-1.3: emulated radio: "),
              std::vector<std::string>{"7 blocks in 2 sections received; every section matches the package; "
                                       "device names " + Disk(2) + " then " + Disk(0) + "."});
    const std::vector<std::string> lines = Lines(r.Out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines.back(), "3 of 3 radios upgraded.");
    EXPECT_TRUE(lines[lines.size() - 4].starts_with("1-1.1     " + Disk(0) + "  ")) << lines[lines.size() - 4];
    EXPECT_TRUE(lines[lines.size() - 2].ends_with(" s   Program upgrade is complete!")) << lines[lines.size() - 2];

    // One record per radio, for the shop's records.
    const std::string json = ReadText(report);
    // The check value the loader verified: over the descrambled file.
    const LoadResult loaded = LoadPackage(p);
    ASSERT_TRUE(loaded.Accepted);
    const auto& image = loaded.Accepted->Image;
    const std::uint16_t check = ComputeCheckValue(std::span(image).first(image.size() - 2));
    char checkText[8];
    std::snprintf(checkText, sizeof checkText, "0x%04X", check);
    std::size_t records = 0;
    for (std::size_t at = json.find("{\"location\":"); at != std::string::npos;
         at = json.find("{\"location\":", at + 1)) {
        ++records;
    }
    EXPECT_EQ(records, 3u) << json;
    EXPECT_NE(json.find("{\"location\":\"1-1.3\",\"node\":\"" + JsonDisk(2) + "\",\"last_node\":\"" + JsonDisk(0) + "\","
                        "\"package\":\"crate.bin\",\"check_value\":\"" +
                        std::string(checkText) + "\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"status_texts\":[\"Entering BOOT Mode...\",\" No device detected!\",\" The device has "
                        "been connected!\",\"The program is being upgraded, please wait patiently...\",\" Program "
                        "upgrade is complete!\"],\"blocks_sent\":7,\"start\":\"20"),
              std::string::npos)
        << json;
    EXPECT_EQ(json.find("\"completed\":false"), std::string::npos);
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 5) << "one radio a line between the brackets";
}

TEST_F(CliTest, FlashAllWithAFaultOfOneRadioFailsThatRadioAloneForEachFaultTheRadiosHave) {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, Pattern(6 * 2048, 9)}};
    const fs::path p = Write("faults.bin", WritePackage(spec));
    const fs::path report = dir_ / "faults.json";
    for (const std::string fault : {"no-answer", "lost", "bad-answer", "refused"}) {
        SCOPED_TRACE(fault);
        const CliRun r =
            Cli("flash " + Q(p) + " --all --emulate 4 --emulate-fault " + fault + "@2 --report " + Q(report));
        EXPECT_EQ(r.Exit, 1) << r.Out << r.Err;
        EXPECT_EQ(Lines(r.Out).back(), "3 of 4 radios upgraded.") << r.Out;
        const std::string json = ReadText(report);
        EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 6) << json;
        // In slot order; the second alone failed.
        const std::size_t second = json.find("{\"location\":\"1-1.2\"");
        ASSERT_NE(second, std::string::npos) << json;
        const std::size_t third = json.find("{\"location\":\"1-1.3\"");
        ASSERT_GT(third, second) << json;
        EXPECT_NE(json.substr(second, third - second).find("\"completed\":false"), std::string::npos) << json;
        EXPECT_EQ(json.find("\"completed\":false", third), std::string::npos) << json;
        EXPECT_EQ(json.substr(0, second).find("\"completed\":false"), std::string::npos) << json;
    }
    // Every radio, as before; names and radios the crate does not have are refused.
    const CliRun every = Cli("flash " + Q(p) + " --all --emulate 2 --emulate-fault no-answer");
    EXPECT_EQ(every.Exit, 1);
    EXPECT_EQ(Lines(every.Out).back(), "0 of 2 radios upgraded.") << every.Out;
    for (const std::string bad : {"fire", "no-answer@0", "no-answer@", "@2", "lost@x"}) {
        const CliRun refused = Cli("flash " + Q(p) + " --all --emulate 2 --emulate-fault " + bad);
        EXPECT_EQ(refused.Exit, 2) << bad;
        EXPECT_NE(refused.Err.find("no-answer, lost, bad-answer or refused"), std::string::npos) << refused.Err;
    }
    EXPECT_EQ(Cli("flash " + Q(p) + " --all --emulate-fault lost@1").Exit, 2) << "faults are of emulated radios";
}

TEST_F(CliTest, StationUpgradesEachEmulatedRadioOnceAsItArrivesThoughEachComesBackAfterItsReset) {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, Pattern(4 * 2048, 3)}};
    const fs::path p = Write("station.bin", WritePackage(spec));
    const fs::path report = dir_ / "station.json";
    const CliRun r = Cli("station " + Q(p) + " --emulate 3 --count 3 --report " + Q(report));
    EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
    EXPECT_EQ(r.Err, "");
    // One line per radio as its run ends, then the count.
    const std::vector<std::string> lines = Lines(r.Out);
    ASSERT_EQ(lines.size(), 4u) << r.Out;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(lines[i].starts_with("1-1." + std::to_string(i + 1) + "     /dev/sd")) << lines[i];
        EXPECT_TRUE(lines[i].ends_with("s   Program upgrade is complete!")) << lines[i];
    }
    EXPECT_EQ(lines[3], "3 of 3 radios upgraded.");
    // One record per run: the radios came back after their resets and were not run again.
    const std::vector<std::string> records = Lines(ReadText(history_));
    ASSERT_EQ(records.size(), 3u) << ReadText(history_);
    std::set<std::string> serials;
    for (const std::string& record : records) {
        EXPECT_NE(record.find("\"completed\":true"), std::string::npos) << record;
        EXPECT_NE(record.find("\"package\":\"station.bin\""), std::string::npos) << record;
        const std::size_t at = record.find("\"serial\":\"");
        ASSERT_NE(at, std::string::npos) << record;
        serials.insert(record.substr(at, record.find('"', at + 10) - at));
    }
    EXPECT_EQ(serials.size(), 3u) << "three radios, none upgraded twice";
    // The report, one record per run in the order the radios arrived.
    const std::string json = ReadText(report);
    EXPECT_NE(json.find("\"serial\":\"EMULATED-0003\",\"emulated\":true"), std::string::npos) << json;
    const std::size_t first = json.find("{\"location\":\"1-1.1\"");
    const std::size_t second = json.find("{\"location\":\"1-1.2\"");
    const std::size_t third = json.find("{\"location\":\"1-1.3\"");
    EXPECT_TRUE(first < second && second < third && third != std::string::npos) << json;
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 5) << json;

    // A radio that fails stays failed (it is not run again while plugged in): exit 1. Its
    // events and the other's, each under its radio's location, with one end each.
    const fs::path eventsFile = dir_ / "station-events.jsonl";
    const CliRun faulty = Cli("station " + Q(p) + " --emulate 2 --emulate-fault no-answer@2 --events " + Q(eventsFile));
    EXPECT_EQ(faulty.Exit, 1) << faulty.Out << faulty.Err;
    EXPECT_EQ(Lines(faulty.Out).back(), "1 of 2 radios upgraded.") << faulty.Out;
    EXPECT_EQ(Lines(ReadText(history_)).size(), 5u);
    std::map<std::string, std::vector<nlohmann::json>> byRadio;
    for (nlohmann::json& e : JsonLines(ReadText(eventsFile))) byRadio[e["location"].get<std::string>()].push_back(std::move(e));
    ASSERT_EQ(byRadio.size(), 2u) << ReadText(eventsFile);
    for (const auto& [location, told] : byRadio) {
        SCOPED_TRACE(location);
        ASSERT_FALSE(told.empty());
        EXPECT_EQ(std::count_if(told.begin(), told.end(), [](const nlohmann::json& e) { return e["event"] == "end"; }), 1);
        EXPECT_TRUE(std::any_of(told.begin(), told.end(), [](const nlohmann::json& e) { return e["event"] == "progress"; }));
        EXPECT_EQ(told.back()["event"], "end");
        EXPECT_EQ(told.back()["completed"], location == "1-1.1");
        EXPECT_EQ(told.back()["serial"], location == "1-1.1" ? "EMULATED-0001" : "EMULATED-0002");
    }

    // What makes no sense is refused before any radio is touched.
    for (const std::string& bad : std::vector<std::string>{" --count 0", " --emulate 0", " --emulate-fault lost", " --emulate 2 --emulate-fault lost@3",
                                  " --emulate 2 --report " + Q(dir_ / "no" / "such" / "r.json"),
                                  " --emulate 2 --events " + Q(dir_ / "no" / "such" / "e.jsonl"), " --events"}) {
        const CliRun refused = Cli("station " + Q(p) + bad);
        EXPECT_EQ(refused.Exit, 2) << bad << refused.Err;
    }
    EXPECT_EQ(Cli("station").Exit, 2);
    EXPECT_EQ(Lines(ReadText(history_)).size(), 5u);
}

TEST_F(CliTest, FlashDeviceUpgradesTheNamedRadioAloneAndRecordsItsDialogue) {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, Pattern(3000, 7)}};
    const fs::path p = Write("one.bin", WritePackage(spec));
    const fs::path trace = dir_ / "trace.txt";
    // By location, then by node: the crate's other radios must get no frame at all (the
    // command checks every emulated radio and fails when one was written to).
    for (const std::string name : {std::string("1-1.2"), Disk(2)}) {
        SCOPED_TRACE(name);
        const CliRun r = Cli("flash " + Q(p) + " --device " + name + " --emulate 3 --trace " + Q(trace));
        EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
        EXPECT_EQ(r.Err, "");
        // Every line is the chosen radio's (its rows and its summary line) but the count.
        const std::string location = name == "1-1.2" ? "1-1.2" : "1-1.3";
        for (const std::string& line : Lines(r.Out))
            EXPECT_TRUE(line.starts_with(location) || line == "1 of 1 radio upgraded.") << line;
        const std::vector<std::string> received = LinesOf(r.Out, location + ": emulated radio: ");
        ASSERT_EQ(received.size(), 1u);
        EXPECT_TRUE(received[0].starts_with("2 blocks in 1 section received; it matches the package;")) << received[0];
        const std::vector<std::string> lines = Lines(ReadText(trace));
        const auto dialogue = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.starts_with("> ") || line.starts_with("< ");
        });
        EXPECT_EQ(dialogue, 10) << "enter, enter after the restart, two blocks, exit";
        EXPECT_EQ(lines.size(), 12u) << "and the radio's leaving and coming back";
    }

    const CliRun missing = Cli("flash " + Q(p) + " --device 1-1.9 --emulate 3");
    EXPECT_EQ(missing.Exit, 1);
    EXPECT_EQ(missing.Err, "quenfall-cli flash: no radio at \"1-1.9\". Found: " + Disk(0) + " (1-1.1) " + Disk(1) +
                               " (1-1.2) " + Disk(2) + " (1-1.3)\n");
    EXPECT_EQ(missing.Out, "");
    // Not there, whatever stopped the search: the radio asked for is named.
    const CliRun absent = Cli("flash " + Q(p) + " --device /dev/sdz");
    EXPECT_EQ(absent.Exit, 1);
    EXPECT_EQ(absent.Err.rfind("quenfall-cli flash: no radio at \"/dev/sdz\": ", 0), 0u) << absent.Err;

    // Counts out of range say the range; files that cannot be written say why.
    for (const std::string count : {"1000", "abc"}) {
        const CliRun r = Cli("flash " + Q(p) + " --all --emulate " + count);
        EXPECT_EQ(r.Exit, 2);
        EXPECT_EQ(Lines(r.Err).front(), "quenfall-cli flash: --emulate takes 1 to 64 radios, not \"" + count + "\"");
        const CliRun s = Cli("station " + Q(p) + " --emulate " + count);
        EXPECT_EQ(Lines(s.Err).front(), "quenfall-cli station: --emulate takes 1 to 64 radios, not \"" + count + "\"");
    }
    const fs::path nowhere = dir_ / "no" / "such" / "file";
    const std::string noSuchFolder = std::generic_category().message(ENOENT);
    for (const std::string what : {"report", "trace", "events"}) {
        const CliRun r =
            Cli("flash " + Q(p) + " --device 1-1.1 --emulate 2 --" + what + " " + Q(nowhere));
        EXPECT_EQ(r.Exit, 2) << what;
        EXPECT_EQ(r.Err, "quenfall-cli flash: cannot write the " + what + " \"" + nowhere.string() + "\": " +
                             noSuchFolder + "\n");
    }

    // Combinations that make no sense are refused before any radio is touched.
    EXPECT_EQ(Cli("flash " + Q(p) + " --all --device 1-1.1 --emulate 2").Exit, 2);
    EXPECT_EQ(Cli("flash " + Q(p) + " --emulate --report " + Q(dir_ / "r.json")).Exit, 2);
    EXPECT_EQ(Cli("flash " + Q(p) + " --all --emulate 2 --trace " + Q(trace)).Exit, 2);
    EXPECT_EQ(Cli("flash " + Q(p) + " --emulate 2").Exit, 2);
    EXPECT_EQ(Cli("flash " + Q(p) + " --all --emulate 0").Exit, 2);
    EXPECT_EQ(Cli("flash " + Q(p) + " --all --emulate 2 --report " + Q(dir_ / "no" / "such" / "dir.json")).Exit, 2);
    EXPECT_EQ(Cli("flash " + Q(p) + " --device").Exit, 2);
}

TEST_F(CliTest, DevicesListsEachRadioWithNodeAndLocationAsTextOrJson) {
    const CliRun text = Cli("devices --emulate 2");
    EXPECT_EQ(text.Exit, 0);
    EXPECT_EQ(text.Out,
              Disk(0) + "  location 1-1.1  vendor \"STM     \"  model \"microSD Flash   \"\n" + Disk(1) +
                  "  location 1-1.2  vendor \"STM     \"  model \"microSD Flash   \"\n");
    const CliRun json = Cli("devices --json --emulate 2");
    EXPECT_EQ(json.Exit, 0);
    EXPECT_EQ(json.Out,
              "[{\"node\":\"" + JsonDisk(0) + "\",\"location\":\"1-1.1\",\"vendor\":\"STM     \",\"model\":"
              "\"microSD Flash   \"},\n {\"node\":\"" + JsonDisk(1) + "\",\"location\":\"1-1.2\",\"vendor\":\"STM     \","
              "\"model\":\"microSD Flash   \"}]\n");
    const CliRun none = Cli("devices --json --emulate 0");
    EXPECT_EQ(none.Exit, 1);
    EXPECT_EQ(none.Out, "[]\n");
    EXPECT_EQ(Cli("devices --xml").Exit, 2);
    // A bad word is named, and a count out of range says the range.
    const CliRun bogus = Cli("devices --bogus");
    EXPECT_EQ(bogus.Exit, 2);
    EXPECT_EQ(Lines(bogus.Err).front(), "quenfall-cli devices: unknown option --bogus");
    for (const std::string count : {"1000", "abc"}) {
        const CliRun r = Cli("devices --emulate " + count);
        EXPECT_EQ(r.Exit, 2);
        EXPECT_EQ(Lines(r.Err).front(), "quenfall-cli devices: --emulate takes 0 to 64 radios, not \"" + count + "\"");
    }
    const CliRun doctor = Cli("doctor --bogus");
    EXPECT_EQ(doctor.Exit, 2);
    EXPECT_EQ(doctor.Err, "quenfall-cli doctor: unknown option --bogus\nusage: quenfall-cli doctor\n");
}


// --- the history -----------------------------------------------------------------------

TEST_F(CliTest, EveryRunThatSentARequestLeavesOneRecordWhichHistoryListsFiltersAndExports) {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, Pattern(3000, 8)}};
    const fs::path p = Write("shop.bin", WritePackage(spec));
    const std::uintmax_t size = fs::file_size(p);

    // Two single runs, a crate of four and a run that fails, all at once: four programs
    // appending to one history.
    const std::vector<std::string> commands = {
        "flash " + Q(p) + " --emulate", "flash " + Q(p) + " --emulate", "flash " + Q(p) + " --all --emulate 4",
        "flash " + Q(p) + " --emulate --emulate-fault no-answer"};
    std::vector<CliRun> runs(commands.size());
    {
        std::vector<std::jthread> programs;
        for (std::size_t i = 0; i < commands.size(); ++i)
            programs.emplace_back([&, i] { runs[i] = Cli(commands[i], std::to_string(i)); });
    }
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(runs[i].Exit, 0) << commands[i] << runs[i].Out << runs[i].Err;
    EXPECT_EQ(runs[3].Exit, 1) << runs[3].Out << runs[3].Err;
    for (const CliRun& r : runs) EXPECT_EQ(r.Err.find("not recorded"), std::string::npos) << r.Err;
    // A run refused before any request was sent is no run of the radio.
    EXPECT_EQ(Cli("flash " + Q(p) + " --device 1-1.9 --emulate 2").Exit, 1);

    EXPECT_EQ(Lines(ReadText(history_)).size(), 7u) << ReadText(history_);

    // CSV: a header row, then one row per run with as many fields.
    const CliRun csv = Cli("history --csv");
    EXPECT_EQ(csv.Exit, 0) << csv.Err;
    const std::vector<std::string> rows = Lines(csv.Out);
    ASSERT_EQ(rows.size(), 8u) << csv.Out;
    EXPECT_TRUE(rows[0].starts_with("start,end,program,version,key_set,package,package_size,")) << rows[0];
    const auto fields = [](const std::string& row) { return std::count(row.begin(), row.end(), ',') + 1; };
    const std::vector<std::string> header = [&] {
        std::vector<std::string> names;
        std::istringstream in(rows[0]);
        for (std::string name; std::getline(in, name, ',');) names.push_back(name);
        return names;
    }();
    for (const std::string& row : rows) EXPECT_EQ(fields(row), static_cast<long>(header.size())) << row;
    std::size_t emulatedRows = 0, completedRows = 0, crateRows = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_NE(rows[i].find(",quenfall-cli," + std::string(QUENFALL_VERSION) + "," +
                               std::string(KeySetFingerprint()) + ",shop.bin," + std::to_string(size) + ",0,"),
                  std::string::npos)
            << rows[i];
        if (rows[i].ends_with(",true")) ++emulatedRows;
        if (rows[i].find("\" Program upgrade is complete!\",true,") != std::string::npos) ++completedRows;
        if (rows[i].find("," + DiskNamePrefix()) != std::string::npos) ++crateRows;
        // The lone radio is slot 1 of a crate: every run has a location and a serial.
        EXPECT_NE(rows[i].find(",EMULATED-000"), std::string::npos) << rows[i];
        EXPECT_NE(rows[i].find(",1-1."), std::string::npos) << rows[i];
    }
    EXPECT_EQ(emulatedRows, 7u) << "training runs never pass for real ones";
    EXPECT_EQ(completedRows, 6u);
    EXPECT_EQ(crateRows, 4u);

    // Only the failed run, with how it ended.
    const CliRun failed = Cli("history --failed --json");
    EXPECT_EQ(failed.Exit, 0) << failed.Err;
    EXPECT_EQ(std::count(failed.Out.begin(), failed.Out.end(), '\n'), 1) << failed.Out;
    EXPECT_NE(failed.Out.find("\"outcome\":\" Communication Error!\",\"completed\":false"), std::string::npos)
        << failed.Out;
    const CliRun failedTable = Cli("history --failed");
    ASSERT_EQ(Lines(failedTable.Out).size(), 2u) << failedTable.Out;
    EXPECT_TRUE(Lines(failedTable.Out)[1].ends_with("failed, emulated   Communication Error!"))
        << failedTable.Out;

    // By location, and since a date: the whole table, or nothing before the first run.
    const CliRun there = Cli("history --location 1-1.3");
    ASSERT_EQ(Lines(there.Out).size(), 2u) << there.Out;
    EXPECT_NE(Lines(there.Out)[1].find("1-1.3"), std::string::npos);
    EXPECT_EQ(Lines(Cli("history --since 2000-01-01").Out).size(), 8u);
    EXPECT_EQ(Cli("history --since 2999-01-01").Out, "No recorded upgrade matches.\n");
    EXPECT_EQ(Cli("history --since 2999-01-01 --json").Out, "[]\n");
    EXPECT_EQ(Cli("history --since tomorrow").Exit, 2);
    EXPECT_EQ(Cli("history --json --csv").Exit, 2);
    EXPECT_EQ(Cli("history --location").Exit, 2);
}

TEST_F(CliTest, EmulatedRadiosCarryAStableSerialPerSlotAndTheLoneRadioIsSlotOne) {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, Pattern(2048, 3)}};
    const fs::path p = Write("serial.bin", WritePackage(spec));
    const fs::path report = dir_ / "report.json";
    ASSERT_EQ(Cli("flash " + Q(p) + " --emulate").Exit, 0);
    ASSERT_EQ(Cli("flash " + Q(p) + " --all --emulate 2 --report " + Q(report)).Exit, 0);
    ASSERT_EQ(Cli("flash " + Q(p) + " --emulate").Exit, 0);

    const std::vector<std::string> records = Lines(ReadText(history_));
    ASSERT_EQ(records.size(), 4u);
    const auto field = [](const std::string& line, const std::string& key) {
        const std::string lead = "\"" + key + "\":";
        const std::size_t at = line.find(lead);
        if (at == std::string::npos) return std::string("(none)");
        const std::size_t from = at + lead.size();
        return line.substr(from, line.find_first_of(",}", from) - from);
    };
    std::vector<std::pair<std::string, std::string>> radios;
    for (const std::string& r : records) {
        radios.emplace_back(field(r, "location"), field(r, "serial"));
        EXPECT_EQ(field(r, "emulated"), "true") << r;
    }
    // The lone radio, slot 1 of the crate, slot 2, then the lone radio again: one serial
    // per slot, the same in every run.
    const std::pair<std::string, std::string> slot1{"\"1-1.1\"", "\"EMULATED-0001\""};
    const std::pair<std::string, std::string> slot2{"\"1-1.2\"", "\"EMULATED-0002\""};
    EXPECT_EQ(radios[0], slot1);
    EXPECT_EQ(radios[3], slot1);
    std::vector<std::pair<std::string, std::string>> crate{radios[1], radios[2]};
    std::sort(crate.begin(), crate.end());
    EXPECT_EQ(crate, (std::vector<std::pair<std::string, std::string>>{slot1, slot2}));

    // The shop's report names each radio's serial as its record does.
    const std::vector<std::string> reported = Lines(ReadText(report));
    ASSERT_EQ(reported.size(), 4u);
    for (const std::string& line : {reported[1], reported[2]}) {
        const std::string location = field(line, "location");
        EXPECT_EQ(field(line, "serial"), location == slot1.first ? slot1.second : slot2.second) << line;
        EXPECT_EQ(field(line, "emulated"), "true") << line;
    }
}

TEST_F(CliTest, EveryRecordAndReportNamesThePackageBySha256AndHistoryListsTheRunsOfOneFile) {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, Pattern(2048, 4)}};
    const std::vector<std::uint8_t> first = WritePackage(spec);
    spec.Sections = {{0, 0, Pattern(2048, 5)}};
    const std::vector<std::uint8_t> second = WritePackage(spec);
    const fs::path p1 = Write("first.bin", first);
    const fs::path p2 = Write("second.bin", second);
    const std::string sha1 = Sha256Text(first);
    const std::string sha2 = Sha256Text(second);
    ASSERT_EQ(sha1.size(), 64u);
    ASSERT_NE(sha1, sha2);
    const fs::path report = dir_ / "report.json";
    ASSERT_EQ(Cli("flash " + Q(p1) + " --emulate").Exit, 0);
    ASSERT_EQ(Cli("flash " + Q(p2) + " --all --emulate 2 --report " + Q(report)).Exit, 0);

    // Each record names its file by SHA-256, as inspect does.
    const std::string inspected = Cli("inspect " + Q(p1) + " --json").Out;
    EXPECT_NE(inspected.find("\"sha256\":\"" + sha1 + "\""), std::string::npos) << inspected;
    const std::vector<std::string> records = Lines(ReadText(history_));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_NE(records[0].find("\"sha256\":\"" + sha1 + "\""), std::string::npos) << records[0];
    for (std::size_t i = 1; i < 3; ++i) EXPECT_NE(records[i].find("\"sha256\":\"" + sha2 + "\""), std::string::npos) << records[i];
    const std::string reported = ReadText(report);
    EXPECT_EQ(LinesOf(reported, "").size(), 4u);
    std::size_t named = 0;
    for (std::size_t at = reported.find("\"sha256\":\"" + sha2 + "\""); at != std::string::npos;
         at = reported.find("\"sha256\":\"" + sha2 + "\"", at + 1))
        ++named;
    EXPECT_EQ(named, 2u) << reported;

    // The runs of one file, whichever case the hash is given in.
    std::string upper = sha2;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const CliRun runs = Cli("history --csv --sha256 " + upper);
    EXPECT_EQ(runs.Exit, 0) << runs.Err;
    const std::vector<std::string> rows = Lines(runs.Out);
    ASSERT_EQ(rows.size(), 3u) << runs.Out;
    for (std::size_t i = 1; i < rows.size(); ++i) EXPECT_NE(rows[i].find(",second.bin,"), std::string::npos) << rows[i];
    EXPECT_EQ(Lines(Cli("history --sha256 " + sha1).Out).size(), 2u);
    EXPECT_EQ(Cli("history --sha256 " + std::string(64, '0')).Out, "No recorded upgrade matches.\n");
    EXPECT_EQ(Cli("history --sha256 " + sha1.substr(1)).Exit, 2);
    EXPECT_EQ(Cli("history --sha256").Exit, 2);
}

TEST_F(CliTest, AHistoryThatCannotBeWrittenLeavesTheUpgradeAsItIsAndIsToldOnce) {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, Pattern(2048, 9)}};
    const fs::path p = Write("one.bin", WritePackage(spec));
    // A file where the history's folder would have to be.
    Write("blocked", {1, 2, 3});
#if defined(_WIN32)
    _putenv_s("QUENFALL_HISTORY", (dir_ / "blocked" / "history.jsonl").string().c_str());
#else
    ::setenv("QUENFALL_HISTORY", (dir_ / "blocked" / "history.jsonl").c_str(), 1);
#endif
    const CliRun crate = Cli("flash " + Q(p) + " --all --emulate 2");
    EXPECT_EQ(crate.Exit, 0) << crate.Out << crate.Err;
    EXPECT_EQ(Lines(crate.Out).back(), "2 of 2 radios upgraded.");
    const std::vector<std::string> told = Lines(crate.Err);
    ASSERT_EQ(told.size(), 1u) << crate.Err;
    EXPECT_TRUE(told[0].starts_with("quenfall-cli: This upgrade was not recorded in the history of upgrades ("))
        << told[0];
    const CliRun history = Cli("history");
    EXPECT_EQ(history.Exit, 0) << history.Err;
    EXPECT_TRUE(history.Out.starts_with("No upgrade has been recorded yet")) << history.Out;
}

// --- stopped from outside -----------------------------------------------------------------

#if !defined(_WIN32)
// The program started with its output into files, not waited for: its process id.
pid_t StartCli(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
    std::vector<std::string> words{CliPath()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    return failed == 0 ? pid : -1;
}

// Waits until every one of locations has had at least one block acknowledged, as the events
// file tells; false after 30 s.
bool WaitForUploads(const fs::path& events, std::size_t locations) {
    for (int waited = 0; waited < 3000; ++waited) {
        std::set<std::string> uploading;
        for (const std::string& line : Lines(ReadText(events))) {
            const nlohmann::json e = nlohmann::json::parse(line, nullptr, false);
            if (e.is_object() && e.value("event", "") == "progress" && e.value("blocks_done", 0) > 0)
                uploading.insert(e.value("location", ""));
        }
        if (uploading.size() >= locations) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The exit status as a shell reports it: 128 + the signal for a process a signal ended.
int ExitStatusOf(pid_t pid) {
    int raw = 0;
    if (waitpid(pid, &raw, 0) != pid) return -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
}
#endif

// Ctrl-C (and SIGTERM) in the middle of an upload: the run ends as on a lost radio, its
// record says it was interrupted and how many blocks went out, the summary says so too, and
// the program exits as the signal's usual code. A crate leaves one record per radio; Ctrl-C
// twice ends the program at once and still leaves the run's one record. The three programs
// run at once, each with its own history (the emulated radio's restart takes seconds).
TEST_F(CliTest, RunsStoppedFromOutsideAreEachRecordedAsInterruptedWithTheBlocksSent) {
#if defined(_WIN32)
    GTEST_SKIP() << "a console's Ctrl-C cannot be sent to one program here";
#else
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    spec.Sections = {{1, 1, Pattern(1 << 20, 6)}};
    const fs::path p = Write("big.bin", WritePackage(spec));
    const std::int64_t total = (1 << 20) / 2048;

    const std::vector<std::vector<std::string>> commands = {
        {"flash", p.string(), "--emulate"},
        {"flash", p.string(), "--all", "--emulate", "3"},
        {"flash", p.string(), "--emulate"}};
    const std::vector<std::size_t> radios = {1, 3, 1};
    std::vector<pid_t> programs;
    const auto file = [&](const std::string& what, std::size_t i) { return dir_ / (what + std::to_string(i)); };
    for (std::size_t i = 0; i < commands.size(); ++i) {
        ::setenv("QUENFALL_HISTORY", file("history", i).c_str(), 1);
        std::vector<std::string> args = commands[i];
        args.insert(args.end(), {"--events", file("events", i).string()});
        programs.push_back(StartCli(args, file("out", i), file("err", i)));
        ASSERT_GT(programs.back(), 0);
    }
    for (std::size_t i = 0; i < commands.size(); ++i)
        ASSERT_TRUE(WaitForUploads(file("events", i), radios[i])) << ReadText(file("err", i));
    ASSERT_EQ(kill(programs[0], SIGINT), 0);
    ASSERT_EQ(kill(programs[1], SIGTERM), 0);
    ASSERT_EQ(kill(programs[2], SIGINT), 0);
    ASSERT_EQ(kill(programs[2], SIGINT), 0);
    const std::vector<int> expected = {130, 128 + SIGTERM, 130};
    for (std::size_t i = 0; i < commands.size(); ++i)
        EXPECT_EQ(ExitStatusOf(programs[i]), expected[i]) << ReadText(file("err", i));

    const auto records = [&](std::size_t i) {
        std::vector<nlohmann::json> kept;
        for (const std::string& line : Lines(ReadText(file("history", i)))) kept.push_back(nlohmann::json::parse(line));
        return kept;
    };
    const auto interrupted = [&](const nlohmann::json& r) {
        EXPECT_EQ(r["outcome"], "interrupted") << r;
        EXPECT_EQ(r["completed"], false) << r;
        EXPECT_GT(r["blocks_sent"].get<std::int64_t>(), 0) << r;
        EXPECT_LT(r["blocks_sent"].get<std::int64_t>(), total) << r;
    };

    // One radio: its record, the events' end, and the words on the terminal.
    const std::string said = ReadText(file("out", 0));
    EXPECT_NE(said.find(" blocks sent. The radio must be upgraded again."), std::string::npos) << said;
    std::vector<nlohmann::json> kept = records(0);
    ASSERT_EQ(kept.size(), 1u);
    interrupted(kept[0]);
    EXPECT_EQ(kept[0]["serial"], "EMULATED-0001");
    const std::vector<std::string> told = Lines(ReadText(file("events", 0)));
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(nlohmann::json::parse(told.back())["outcome"], "interrupted");

    // The crate: a record per radio, each named in the summary with how far it got.
    const std::string summary = ReadText(file("out", 1));
    EXPECT_NE(summary.find("0 of 3 radios upgraded."), std::string::npos) << summary;
    EXPECT_EQ(ReadText(file("err", 1)).find("emulated radio:"), std::string::npos)
        << "a run cut short is not judged as a finished one";
    kept = records(1);
    ASSERT_EQ(kept.size(), 3u);
    std::set<std::string> locations;
    for (const nlohmann::json& r : kept) {
        interrupted(r);
        locations.insert(r["location"].get<std::string>());
        EXPECT_NE(summary.find(r["location"].get<std::string>() + " "), std::string::npos) << summary;
    }
    EXPECT_EQ(locations, (std::set<std::string>{"1-1.1", "1-1.2", "1-1.3"}));
    EXPECT_NE(summary.find("interrupted after "), std::string::npos) << summary;

    // Asked twice: at once, and still one record of the run.
    kept = records(2);
    ASSERT_EQ(kept.size(), 1u);
    interrupted(kept[0]);
#endif
}

// --- a warning before the wrong model -----------------------------------------------------

// Emulated radio 1 completed a model-17 package: a model-2 package is refused before any
// request, with the facts, unless the user allows the change; every answer is recorded. The
// same for slot 1 of a crate, whose other radios go on. The programs that run go at once
// (the emulated radio's restart takes seconds); each looks at the history as it starts.
TEST_F(CliTest, ARadioThatLastTookAnotherModelIsUpgradedOnlyWhenTheUserAllowsTheChange) {
    {
        std::ofstream seed(history_, std::ios::binary);
        seed << "{\"start\":\"2026-12-01T09:58:00.000Z\",\"end\":\"2026-12-01T10:00:00.000Z\",\"program\":"
                "\"quenfall-cli\",\"package\":\"radio17.bin\",\"model_code\":17,\"location\":\"1-1.1\","
                "\"serial\":\"EMULATED-0001\",\"outcome\":\" Program upgrade is complete!\",\"completed\":true,"
                "\"blocks_sent\":1,\"emulated\":true}\n";
    }
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, Pattern(2048, 7)}};
    const fs::path p = Write("radio2.bin", WritePackage(spec));
    const fs::path trace = dir_ / "refused.trace";

    const CliRun refused = Cli("flash " + Q(p) + " --emulate --trace " + Q(trace));
    EXPECT_EQ(refused.Exit, 1) << refused.Out << refused.Err;
    EXPECT_NE(refused.Err.find("last took a package for model code 17 (radio17.bin, 2026-12-01T10:00:00.000Z); "
                               "this package is for model code 2."),
              std::string::npos)
        << refused.Err;
    EXPECT_NE(refused.Err.find("--allow-model-change"), std::string::npos) << refused.Err;
    EXPECT_EQ(ReadText(trace).find("> "), std::string::npos) << "nothing was sent";
    const CliRun lone = Cli("flash " + Q(p) + " --emulate --device 1-1.1");
    EXPECT_EQ(lone.Exit, 1) << lone.Out << lone.Err;
    EXPECT_EQ(lone.Out.find("Entering BOOT Mode"), std::string::npos) << lone.Out;

    const std::vector<std::string> commands = {"flash " + Q(p) + " --emulate --allow-model-change",
                                               "flash " + Q(p) + " --all --emulate 2",
                                               "flash " + Q(p) + " --all --emulate 2 --allow-model-change",
                                               "station " + Q(p) + " --emulate 2",
                                               "station " + Q(p) + " --emulate 2 --allow-model-change"};
    std::vector<CliRun> runs(commands.size());
    {
        std::vector<std::jthread> programs;
        for (std::size_t i = 0; i < commands.size(); ++i)
            programs.emplace_back([&, i] { runs[i] = Cli(commands[i], std::to_string(i)); });
    }
    EXPECT_EQ(runs[0].Exit, 0) << runs[0].Out << runs[0].Err;
    EXPECT_NE(runs[0].Err.find("going on, as --allow-model-change asks"), std::string::npos) << runs[0].Err;
    EXPECT_EQ(runs[1].Exit, 1) << runs[1].Out << runs[1].Err;
    EXPECT_NE(runs[1].Err.find("1-1.1: The radio with USB serial EMULATED-0001 last took a package for model code 17"),
              std::string::npos)
        << runs[1].Err;
    EXPECT_EQ(runs[1].Err.find("1-1.2:"), std::string::npos) << "radio 2 has no history" << runs[1].Err;
    EXPECT_NE(runs[1].Out.find("1 of 2 radios upgraded."), std::string::npos) << runs[1].Out;
    EXPECT_EQ(runs[2].Exit, 0) << runs[2].Out << runs[2].Err;
    // The station refuses that radio alone and goes on with the next as it arrives.
    EXPECT_EQ(runs[3].Exit, 1) << runs[3].Out << runs[3].Err;
    EXPECT_NE(runs[3].Err.find("quenfall-cli station: 1-1.1: The radio with USB serial EMULATED-0001 last took"),
              std::string::npos)
        << runs[3].Err;
    EXPECT_NE(runs[3].Out.find("refused: model change from model code 17"), std::string::npos) << runs[3].Out;
    EXPECT_NE(runs[3].Out.find("1 of 2 radios upgraded."), std::string::npos) << runs[3].Out;
    EXPECT_EQ(runs[4].Exit, 0) << runs[4].Out << runs[4].Err;
    EXPECT_NE(runs[4].Err.find("going on, as --allow-model-change asks"), std::string::npos) << runs[4].Err;

    // Every answer and every run is in the history.
    std::map<std::string, int> outcomes;
    for (const std::string& line : Lines(ReadText(history_))) {
        const nlohmann::json r = nlohmann::json::parse(line);
        const std::string outcome = r["outcome"];
        ++outcomes[r["location"].get<std::string>() + " " + outcome];
        if (outcome.starts_with("refused") || outcome.starts_with("model change")) {
            EXPECT_EQ(r["blocks_sent"], 0) << line;
            EXPECT_EQ(r["completed"], false) << line;
            EXPECT_EQ(r["model_code"], 2) << line;
            EXPECT_EQ(r["serial"], "EMULATED-0001") << line;
        }
    }
    const std::string refusal = "refused: model change from model code 17 (radio17.bin) to 2";
    const std::string allowed = "model change allowed from model code 17 (radio17.bin) to 2";
    EXPECT_EQ(outcomes, (std::map<std::string, int>{{"1-1.1  Program upgrade is complete!", 4},
                                                    {"1-1.2  Program upgrade is complete!", 4},
                                                    {"1-1.1 " + refusal, 4},
                                                    {"1-1.1 " + allowed, 3}}));
}

TEST_F(CliTest, AHistoryThatIsNoFileOfTheUsersOwnIsNeitherListedNorWrittenThroughAndNamesShowNoControls) {
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    spec.Sections = {{0, 0, Pattern(2048, 9)}};
    const auto useHistory = [](const fs::path& file) {
#if defined(_WIN32)
        _putenv_s("QUENFALL_HISTORY", file.string().c_str());
#else
        ::setenv("QUENFALL_HISTORY", file.c_str(), 1);
#endif
    };
    // A folder where the file would be: one clear error and exit 2, for every form.
    fs::create_directories(dir_ / "folder.jsonl");
    useHistory(dir_ / "folder.jsonl");
    for (const char* form : {"", " --csv", " --json", " --sha256 " }) {
        const std::string words = std::string("history") + form + (std::string(form) == " --sha256 " ? std::string(64, 'a') : "");
        const CliRun listed = Cli(words);
        EXPECT_EQ(listed.Exit, 2) << words << listed.Out << listed.Err;
        EXPECT_EQ(listed.Out, "") << words;
        EXPECT_NE(listed.Err.find("is a folder, not a history file"), std::string::npos) << words << listed.Err;
    }
#if !defined(_WIN32)
    // A link planted where the history goes, to a file of someone's: the run goes on, its
    // record is not written through the link, and the reason is told.
    const fs::path victim = Write("profile", {'k', 'e', 'e', 'p', '\n'});
    fs::create_symlink(victim, dir_ / "link.jsonl");
    useHistory(dir_ / "link.jsonl");
    const CliRun run = Cli("flash " + Q(Write("one.bin", WritePackage(spec))) + " --emulate");
    EXPECT_EQ(run.Exit, 0) << run.Out << run.Err;
    EXPECT_NE(run.Err.find("is a symbolic link"), std::string::npos) << run.Err;
    EXPECT_EQ(ReadText(victim), "keep\n");
    EXPECT_EQ(Cli("history").Exit, 2);

    // A package whose file name carries terminal controls (a retitle, a bell, a colour):
    // the table and the CSV show them escaped; the JSON stays JSON.
    useHistory(history_);
    nlohmann::ordered_json record = {{"start", "2026-12-09T10:00:00.000Z"}, {"package", "fw\x1b]0;owned\x07\x1b[31m.bin"},
                                     {"completed", true}};
    { std::ofstream(history_, std::ios::binary) << record.dump() << "\n"; }
    for (const char* form : {"history", "history --csv"}) {
        const CliRun listed = Cli(form);
        EXPECT_EQ(listed.Exit, 0) << form;
        EXPECT_EQ(listed.Out.find('\x1b'), std::string::npos) << form << listed.Out;
        EXPECT_EQ(listed.Out.find('\x07'), std::string::npos) << form;
        EXPECT_NE(listed.Out.find("fw\\x1b]0;owned\\x07\\x1b[31m.bin"), std::string::npos) << form << listed.Out;
    }
    EXPECT_NE(Cli("history --json").Out.find("fw\\u001b]0;owned\\u0007\\u001b[31m.bin"), std::string::npos);
#endif
}

}  // namespace
}  // namespace quenfall
