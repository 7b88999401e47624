// What the emulated radio kept, compared with the package's sections.
#include "package/package.h"
#include "emulator/emulated_radio_state.h"

namespace quenfall {

using namespace emulated;


std::vector<std::string> EmulatedRadio::CompareSections(
    const std::map<std::uint8_t, std::vector<std::uint8_t>>& expected) const {
    std::vector<std::string> differences;
    for (const auto& [id, bytes] : expected) {
        const std::string name = "section " + std::to_string(id);
        const auto it = state_->Sections.find(id);
        if (it == state_->Sections.end()) {
            differences.push_back(name + " was not received");
            continue;
        }
        const ReceivedSection& got = it->second;
        if (got.Size != bytes.size()) {
            differences.push_back(name + " was received with size " + std::to_string(got.Size) +
                                  ", expected " + std::to_string(bytes.size()));
            continue;
        }
        if (!got.Complete) differences.push_back(name + " is incomplete");
        const std::size_t from = std::min<std::size_t>(std::size_t{got.FirstBlock} * BlockSize, bytes.size());
        const auto mismatch = std::mismatch(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(),
                                            got.Bytes.begin() + static_cast<std::ptrdiff_t>(from));
        if (mismatch.first != bytes.end())
            differences.push_back(name + " differs from byte " +
                                  std::to_string(mismatch.first - bytes.begin()) + " on");
    }
    for (const auto& [id, got] : state_->Sections)
        if (!expected.count(id)) differences.push_back("section " + std::to_string(id) + " was received but not expected");
    return differences;
}

std::map<std::uint8_t, std::vector<std::uint8_t>> SectionsOf(const Package& package) {
    std::map<std::uint8_t, std::vector<std::uint8_t>> sections;
    const SectionList list = package.Sections();
    for (std::uint8_t id : list.View()) {
        const auto data = package.SectionData(id);
        sections[id].assign(data.begin(), data.end());
    }
    return sections;
}

EmulatedRunVerdict JudgeEmulatedRun(const EmulatedRadio& radio, bool completed,
                                    const std::map<std::uint8_t, std::vector<std::uint8_t>>& expected) {
    EmulatedRunVerdict verdict;
    verdict.Problems = radio.Violations();
    if (completed) {
        for (std::string& d : radio.CompareSections(expected)) verdict.Problems.push_back(std::move(d));
    }
    for (const auto& [id, s] : radio.Sections()) verdict.Blocks += s.BlocksReceived;
    verdict.Sections = radio.Sections().size();
    return verdict;
}

}  // namespace quenfall
