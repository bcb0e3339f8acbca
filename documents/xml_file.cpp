#include "documents/xml_file.h"

#include "platform/atomic_file.h"
#include "platform/error.h"

#include <sstream>

namespace trelvant {

void LoadXmlFile(const std::filesystem::path& path, pugi::xml_document& document)
{
    LoadXmlBytes(ReadWholeFile(path, kMaxDocumentBytes), path, document);
}

void LoadXmlBytes(const std::string& bytes, const std::filesystem::path& path, pugi::xml_document& document)
{
    if (bytes.size() > kMaxDocumentBytes)
        throw Error("Unable to read " + DisplayPath(path) + ": the document is larger than " +
                    std::to_string(kMaxDocumentBytes / (1024 * 1024)) + " MiB");
    const pugi::xml_parse_result result = document.load_buffer(bytes.data(), bytes.size(), kDocumentParseOptions);
    if (!result)
        throw Error(DisplayPath(path) + ": " + result.description() + " at offset " + std::to_string(result.offset));
}

std::string SerializeXml(const pugi::xml_document& document)
{
    std::ostringstream out;
    document.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    // A carriage return in an element's text would be read back as a line feed; attributes already
    // carry it as a reference, and the writers put no line break of their own between elements.
    std::string bytes = std::move(out).str();
    for (std::size_t at = bytes.find('\r'); at != std::string::npos; at = bytes.find('\r', at + 5))
        bytes.replace(at, 1, "&#13;");
    return bytes;
}

void WriteDocument(const std::filesystem::path& path, const std::string& bytes)
{
    // A document no reader takes would lock the user out of it: the old one stays instead.
    if (bytes.size() > kMaxDocumentBytes)
        throw Error("Unable to write to " + DisplayPath(path) + ": the document would be larger than " +
                    std::to_string(kMaxDocumentBytes / (1024 * 1024)) + " MiB, which no reader takes");
    WriteFileAtomically(path, bytes, ProjectFile(path.parent_path()));
}

void SaveXmlFile(const std::filesystem::path& path, const pugi::xml_document& document)
{
    WriteDocument(path, SerializeXml(document));
}

}  // namespace trelvant
