#include "platform/ini_profile.h"

#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace trelvant {
namespace {

std::string_view trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b)
{
    const auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, [&](char x, char y) { return fold(x) == fold(y); });
}

// One line of the file without its "\n" (a "\r" before it stays in the text).
std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (end == std::string_view::npos) {
            lines.push_back(text);
            break;
        }
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trim(line.substr(1, close - 1));
}

std::optional<std::string_view> keyName(std::string_view line)
{
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return trim(line.substr(0, equals));
}

std::string readIfPresent(const std::filesystem::path& file)
{
    if (!ExistsAnyCase(file)) return {};
    return ReadWholeFile(file);
}

}  // namespace

std::string ReadProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key)
{
    std::string text;
    try {
        text = readIfPresent(file);
    } catch (const Error&) {
        return {};
    }

    bool inSection = false;
    for (const std::string_view line : splitLines(text)) {
        if (const auto name = sectionName(line)) {
            inSection = sameName(*name, section);
        } else if (inSection) {
            if (const auto name = keyName(line); name && sameName(*name, key))
                return std::string(trim(line.substr(line.find('=') + 1)));
        }
    }
    return {};
}

void WriteProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                        std::string_view value)
{
    // A line break would end the value and start lines of its own, a section among them.
    if (value.find_first_of("\r\n") != std::string_view::npos)
        throw Error("Unable to write to " + DisplayPath(file) + ": the value holds a line break");

    const std::string unable = "Unable to write to " + DisplayPath(file) + ": ";
    std::string text;
    if (ExistsAnyCase(file)) {
        const std::filesystem::path found = ResolveFileName(file);
        if (const std::string problem = RegularFileProblem(found); !problem.empty()) throw Error(unable + problem);
        try {
            text = ReadWholeFile(found);
        } catch (const Error& e) {
            throw Error(unable + e.what());
        }
    }

    // New lines follow the file's own line endings; a new file gets the platform's.
#ifdef _WIN32
    std::string_view eol = "\r\n";
#else
    std::string_view eol = "\n";
#endif
    if (const auto first = text.find('\n'); first != std::string::npos)
        eol = (first > 0 && text[first - 1] == '\r') ? "\r\n" : "\n";

    const std::string entry = std::string(key) + "=" + std::string(value);
    const std::vector<std::string_view> lines = splitLines(text);

    std::optional<std::size_t> sectionLine;
    std::optional<std::size_t> keyLine;
    std::size_t lastInSection = 0;  // last non-blank line of the section
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionName(lines[i])) {
            if (sectionLine) break;
            if (sameName(*name, section)) lastInSection = *(sectionLine = i);
        } else if (sectionLine) {
            if (!trim(lines[i]).empty()) lastInSection = i;
            if (const auto name = keyName(lines[i]); name && sameName(*name, key)) {
                keyLine = i;
                break;
            }
        }
    }

    std::string out;
    out.reserve(text.size() + entry.size() + section.size() + 8);
    const auto appendLine = [&](std::size_t i) {
        out += lines[i];
        if (i + 1 < lines.size() || text.ends_with('\n')) out += '\n';
    };
    const auto ensureLineEnd = [&] {
        if (!out.empty() && !out.ends_with('\n')) out += eol;
    };

    if (keyLine) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i != *keyLine) {
                appendLine(i);
                continue;
            }
            out += entry;
            if (lines[i].ends_with('\r')) out += '\r';
            if (i + 1 < lines.size() || text.ends_with('\n')) out += '\n';
        }
    } else if (sectionLine) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            appendLine(i);
            if (i == lastInSection) {
                ensureLineEnd();
                out += entry;
                out += eol;
            }
        }
    } else {
        out = text;
        ensureLineEnd();
        out += '[';
        out += section;
        out += ']';
        out += eol;
        out += entry;
        out += eol;
    }

    WriteFileAtomically(file, out, OutputPlace{.anyCase = true, .confinedTo = {}});  // read in any case, so written so
}

}  // namespace trelvant
