#include "history/history_reading.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "history/history_json.h"

namespace quenfall {

HistoryContents ReadHistoryText(std::string_view text) {
    HistoryContents contents;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) {
            if (auto record = ParseHistoryLine(line)) {
                contents.Records.push_back(std::move(*record));
            } else {
                ++contents.Unreadable;
            }
        }
        at = end + 1;
    }
    return contents;
}

HistoryContents ReadHistoryFile(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error) && !error) {
        HistoryContents none;
        none.Missing = true;
        return none;
    }
    std::ifstream in(file, std::ios::binary);
    std::string text;
    if (in) {
        in.seekg(0, std::ios::end);
        const std::streamoff size = in.tellg();
        in.seekg(0, std::ios::beg);
        if (size > 0) {
            text.resize(static_cast<std::size_t>(size));
            in.read(text.data(), size);
            // A record appended meanwhile may make the file longer, never shorter; what was
            // read is whole up to its last line end.
            text.resize(static_cast<std::size_t>(in.gcount()));
        }
    }
    if (!in && !in.eof()) {
        HistoryContents failed;
        failed.Problem = "cannot read " + file.string() + ": " + std::strerror(errno);
        return failed;
    }
    return ReadHistoryText(text);
}

}  // namespace quenfall
