// The communication parameters document read as the dialog, the image builder and the transmit
// byte map editor read it: the readers agree with each other, and what the dialog writes back
// reads as what it showed.
#include "documents/integer_conversion.h"
#include "documents/pargen_document.h"
#include "platform/error.h"
#include "tests/fuzz/fuzz_support.h"

#include <optional>
#include <string>

using namespace trelvant;
using fuzz::Check;

namespace {

// Values no document gives, to see whether a reader touched them.
PargenValues Untouched()
{
    PargenValues values;
    values.BaudRateCAN = 7;
    values.IDDev_Ser = "untouched";
    values.SerialRS485 = false;
    values.SA = "untouched";
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::filesystem::path folder = fuzz::FreshFolder("project");
    // Written as the dialog names it, read as the builder names it.
    fuzz::WriteBytes(folder / "pargen.xml", std::string_view(reinterpret_cast<const char*>(data), size));
    const std::filesystem::path path = folder / "Pargen.xml";

    std::optional<PargenTexts> texts;
    bool readable = true;
    try {
        texts = ReadPargenTexts(path);
        Check(texts.has_value(), "a document that exists reads as absent");
    } catch (const Error&) {
        readable = false;
    }

    PargenValues values = Untouched();
    const PargenReadResult result = ReadPargenInto(folder / "pargen.xml", values);
    if (!readable) {
        Check(result.load == PargenLoad::Unreadable, "an unreadable document did not read as Unreadable");
        Check(values == Untouched(), "an unreadable document changed the dialog's values");
        Check(!WriteOnRequestEnabled(path), "an unreadable document enables writing on request");
        return 0;
    }
    Check(result.load == PargenLoad::Read, "a readable document did not read as Read");

    const std::optional<std::string>& canType = (*texts)["CANType"];
    Check(result.canTypeRead == (canType && TryStrToInt(*canType).has_value()),
          "CANType read by the dialog and by the builder differ");
    for (const int position : {values.BaudRateCAN, values.Baud_Ser, values.Par_Ser})
        Check(position >= -1, "a list position below -1: " + std::to_string(position));

    const std::optional<std::string>& write = (*texts)["Write_J1939"];
    const std::optional<std::int32_t> writeValue = write ? TryStrToInt(*write) : std::nullopt;
    Check(WriteOnRequestEnabled(path) == (writeValue && (*writeValue & 0xFF) != 0),
          "Write_J1939 read by the byte map editor and by the builder differ");

    // The dialog's OK writes what it shows; the next showing reads the same values.
    const std::filesystem::path written = folder / "written.xml";
    fuzz::WriteBytes(written, PargenXml(values));
    PargenValues again = Untouched();
    Check(ReadPargenInto(written, again).load == PargenLoad::Read, "the written document does not read");
    Check(again == values, "the written document reads back different values: wrote " + PargenXml(values) +
                               ", read back " + PargenXml(again));
    return 0;
}
