#include "tests/image/random_project.h"

#include "tests/support/temp_folder.h"

#include <array>
#include <initializer_list>
#include <random>

namespace trelvant::test {
namespace {

// Texts of every form the integer conversion takes or refuses, from numbers that mostly fit. A
// required text, which the build stops without, is seldom refused: most builds go through.
class TextMaker {
public:
    explicit TextMaker(std::uint32_t seed) : random_(seed) {}

    bool perMille(int count) { return pick(1000) < static_cast<std::size_t>(count); }
    bool chance(int percent) { return perMille(10 * percent); }
    std::size_t pick(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_); }

    // A number in 0 to max most of the time, else one at or past the edges of fields.
    Typed number(std::int64_t max, bool required = false)
    {
        static constexpr std::array<std::int64_t, 15> kEdges = {
            -1, -2147483648LL, 255, 256, 2047, 2048, 65535, 65536, 70000, 2147483647, 0x80000000LL, 0xFFFFFFFFLL,
            0x1FEF1, 4, 8};
        if (refuse(required)) return refused();
        const std::int64_t value =
            chance(80) ? std::uniform_int_distribution<std::int64_t>(0, max)(random_) : kEdges[pick(kEdges.size())];
        return spelled(value, required);
    }

    // One of a few numbers, each spelled in any form.
    Typed oneOf(std::initializer_list<std::int64_t> values, bool required = false)
    {
        if (refuse(required)) return refused();
        return spelled(values.begin()[pick(values.size())], required);
    }

private:
    bool refuse(bool required) { return perMille(required ? 3 : 40); }

    Typed refused()
    {
        static constexpr std::array<const char*, 7> kTexts = {"abc", "12abc", "", "0x", "99999999999", "1 ", "-"};
        return {kTexts[pick(kTexts.size())], std::nullopt};
    }

    // value in decimal, or in hexadecimal (always where decimal is refused and the text is
    // required), with an optional sign and leading blanks.
    Typed spelled(std::int64_t value, bool required)
    {
        const std::int64_t magnitude = value < 0 ? -value : value;
        const bool decimalRefused = magnitude > 2147483648LL || (magnitude == 2147483648LL && value > 0);
        std::string digits;
        if (magnitude <= 0xFFFFFFFFLL && (chance(40) || (decimalRefused && required))) {
            static constexpr std::array<const char*, 5> kMarks = {"0x", "0X", "$", "x", "X"};
            const char* const hexDigits = chance(50) ? "0123456789ABCDEF" : "0123456789abcdef";
            std::int64_t rest = magnitude;
            do {
                digits.insert(digits.begin(), hexDigits[rest % 16]);
                rest /= 16;
            } while (rest != 0);
            digits = kMarks[pick(kMarks.size())] + digits;
        } else if (decimalRefused) {
            return {std::to_string(value), std::nullopt};
        } else {
            digits = std::to_string(magnitude);
        }
        const std::string sign = value < 0 ? "-" : chance(5) ? "+" : "";
        const std::string blanks = chance(5) ? "  " : "";
        return {blanks + sign + digits, value};
    }

    std::mt19937 random_;
};

std::string attribute(const std::string& name, const Typed& typed)
{
    return " " + name + "=\"" + typed.text + "\"";
}

}  // namespace

std::vector<Value> MakeRandomProject(const std::filesystem::path& folder, std::uint32_t seed)
{
    TextMaker make(seed);
    const bool j1939 = make.pick(4) != 0;
    std::vector<Value> values;

    if (j1939) {
        struct Element {
            const char* name;
            std::size_t offset;
            int width;
            std::int64_t max;      // the numbers most texts spell
            std::int64_t added;    // the builder stores the number plus this
            bool required;
        };
        const std::array<Element, 16> elements = {{
            {"BaudRateCAN", 16000, 1, 8, 1, true},   {"CANType", 16001, 1, 1, 0, true},
            {"Baud_Ser", 16002, 1, 7, 0, true},       {"Par_Ser", 16003, 1, 2, 0, true},
            {"IDDev_Ser", 16004, 1, 255, 0, true},    {"TimeOut_Ser", 1605, 2, 65535, 0, true},
            {"TimeOut_Data", 16007, 1, 255, 0, false}, {"TO_ModReg", 16008, 2, 65535, 0, false},
            {"Peer_to_Peer", 16010, 1, 1, 0, false},   {"Serial", 16099, 1, 1, 0, false},
            {"Write_J1939", 16030, 1, 1, 0, false},    {"En_Rem_Req", 16031, 1, 1, 0, false},
            {"Pri_Des", 16032, 2, 65535, 0, false},    {"PGN1", 16034, 2, 65535, 0, false},
            {"PGN2", 16036, 2, 65535, 0, false},       {"SA", 16038, 2, 65535, 0, false},
        }};
        std::string xml = "<GeneralParameter>";
        for (const Element& e : elements) {
            if (make.perMille(e.required ? 3 : 100)) continue;
            const Typed typed = make.number(e.max, e.required);
            xml += std::string("<") + e.name + ">" + typed.text + "</" + e.name + ">";
            values.push_back({"pargen.xml", std::nullopt, e.name, typed, [e](const ConfigurationImage& image) {
                                  const std::int64_t stored = e.width == 1 ? image.get8(1, e.offset) : image.get16(1, e.offset);
                                  return stored - e.added;
                              }});
        }
        WriteText(folder / "pargen.xml", xml + "</GeneralParameter>");
    }

    // Frame lists: a few rows, some of one PGN, identifier or device.
    for (const bool receive : {true, false}) {
        const std::string name = receive ? "RCobDef.xml" : "TCobDef.xml";
        const std::size_t rows = make.pick(5);
        std::string xml = "<COBID>";
        for (std::size_t i = 0; i < rows; ++i) {
            const std::size_t r = i + 1;
            xml += "<row";
            const auto add = [&](const char* attributeName, const Typed& typed,
                                 std::function<std::int64_t(const ConfigurationImage&)> stored) {
                xml += attribute(attributeName, typed);
                values.push_back({name, r, attributeName, typed, std::move(stored)});
            };
            if (!j1939) {
                // A received identifier outside 11 bits stops the build: seldom.
                Typed identifier = make.oneOf({0, 5, 0x123, 2047}, true);
                if (make.chance(receive ? 2 : 10)) identifier = make.number(2047, true);
                const std::size_t at = receive ? 3 * i : 750 + 3 * i;
                add("PGN", identifier, [at](const ConfigurationImage& image) { return image.get16(2, at); });
                add("ID_DEV", make.number(255, true), [at](const ConfigurationImage& image) { return image.get8(2, at + 2); });
            } else if (receive) {
                const Typed pgn = make.chance(50) ? make.oneOf({61444, 0xFECA, 0x3FFFF}, true) : make.number(0x3FFFF, true);
                add("PGN", pgn, [i](const ConfigurationImage& image) { return image.get32(1, 6 * i); });
                add("ID_DEV", make.chance(50) ? make.oneOf({0, 0x21}, true) : make.number(255, true),
                    [i](const ConfigurationImage& image) { return image.get8(1, 6 * i + 4); });
            } else {
                struct Part {
                    const char* name;
                    unsigned shift;
                    std::uint32_t mask;
                };
                for (const Part part : {Part{"Priority", 26, 7}, Part{"DP", 24, 1}, Part{"PGN", 8, 0xFFFF}, Part{"ID_DEV", 0, 0xFF}})
                    add(part.name, make.number(part.mask, true), [i, part](const ConfigurationImage& image) {
                        return image.get32(2, 4 * i) >> part.shift & part.mask;
                    });
            }
            if (receive && make.chance(30)) xml += " Delete=\"Y\"";
            xml += "/>";
        }
        WriteText(folder / name, xml + "</COBID>");
    }

    // Byte maps: registers of the first frames, byte choices of B0 to B9.
    for (const bool transmit : {false, true}) {
        const std::string name = transmit ? "TInfoCob.xml" : "RInfoCob.xml";
        const std::size_t rows = make.pick(5);
        const int bank = transmit ? 2 : 1;
        std::string xml = transmit ? "<TInfoCob>" : "<RInfoCob>";
        for (std::size_t i = 0; i < rows; ++i) {
            const std::size_t r = i + 1;
            const std::size_t at = transmit ? 1500 + 5 * i : 4352 + 4 * i;
            xml += "<row";
            const auto add = [&](const char* attributeName, const Typed& typed,
                                 std::function<std::int64_t(const ConfigurationImage&)> stored) {
                xml += attribute(attributeName, typed);
                values.push_back({name, r, attributeName, typed, std::move(stored)});
            };
            add("Index", make.number(65535, true), [bank, at](const ConfigurationImage& image) { return image.get16(bank, at); });
            add("NrPdo", make.chance(70) ? make.oneOf({1, 2, 3}, true) : make.number(255, true),
                [bank, at](const ConfigurationImage& image) { return image.get8(bank, at + 2); });
            add("PosComp", make.chance(70) ? make.oneOf({0x12, 0x21, 0x33, 0x80, 8, 0x9A}, true) : make.number(255, true),
                [bank, at](const ConfigurationImage& image) { return image.get8(bank, at + 3); });
            if (transmit && make.chance(80))
                add("Write_J1939", make.oneOf({0, 1, 2, 256, -1}),
                    [at](const ConfigurationImage& image) { return image.get8(2, at + 4); });
            xml += "/>";
        }
        WriteText(folder / name, xml + (transmit ? "</TInfoCob>" : "</RInfoCob>"));
    }
    return values;
}

}  // namespace trelvant::test
