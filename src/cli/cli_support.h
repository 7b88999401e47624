#pragma once
// Small helpers the commands share: number parsing, JSON strings.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace quenfall::cli {

// An emulated crate holds at most as many radios as a hub chain of a shop would.
inline constexpr std::size_t MaxEmulatedRadios = 64;

// The word after --emulate when it is a count: digits only, of any length. A count outside
// 1..MaxEmulatedRadios is an error (EmulateRangeError), not the next word of its own.
bool IsCountWord(std::string_view word);
// "--emulate takes 1 to 64 radios, not \"1000\"".
// devices lists an empty crate too: its lowest count is 0.
std::string EmulateRangeError(std::string_view word, std::size_t lowest = 1);

// Opens path to be written from its start. False, with the system's reason in why, when it
// cannot be.
bool OpenToWrite(std::ofstream& out, const std::filesystem::path& path, std::string& why);
// The system's reason for the last failed file operation, in words.
std::string LastFileError();

// The usage errors the commands share, in the user's language; option names stay as typed.
std::string UnknownOptionText(std::string_view option);
std::string OneFileAtATimeText();
std::string NeedsFileNameText(std::string_view option);
std::string FaultNamesText(std::string_view names);
std::string FaultNeedsEmulateText();
std::string FaultRadioOutOfRangeText(std::size_t radio, std::size_t radios);
// "cannot write the report "FILE": WHY", and the same of the events and the trace.
std::string CannotWriteReportText(std::string_view file, std::string_view why);
std::string CannotWriteEventsText(std::string_view file, std::string_view why);
std::string CannotWriteTraceText(std::string_view file, std::string_view why);

// What the command does with a radio whose history says it took another model code: not
// started, or going on as --allow-model-change asks; in the user's language.
std::string ModelChangeRefusedText();
std::string ModelChangeAllowedText();

// "1 section", "2 sections".
std::string Counted(std::size_t n, std::string_view one, std::string_view several);

// A byte value written in decimal or with a 0x prefix in hex; none when it is not one.
std::optional<std::uint8_t> ParseByte(std::string_view text);
// text as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);
// The model codes this build accepts for pack --model, one line each with the key table
// each scramble mode uses, under a heading naming the key set; every line ends in '\n'.
std::string AcceptedModelsHelp(std::string_view indent);

}  // namespace quenfall::cli
