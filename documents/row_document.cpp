#include "documents/row_document.h"

#include "documents/xml_file.h"
#include "platform/file_names.h"

namespace trelvant {
namespace {

RowDocument rowsOf(const pugi::xml_document& xml)
{
    // A well-formed document always has its root element; pugixml refuses one without.
    const pugi::xml_node root = xml.document_element();
    RowDocument document;
    document.rootName = root.name();
    for (const pugi::xml_node child : root.children()) {
        if (child.type() != pugi::node_element) continue;
        XmlRow& row = document.rows.emplace_back();
        row.name = child.name();
        for (const pugi::xml_attribute attribute : child.attributes())
            row.attributes.emplace_back(attribute.name(), attribute.value());
    }
    return document;
}

}  // namespace

const std::string* XmlRow::attribute(std::string_view attributeName) const
{
    for (const auto& [name, value] : attributes)
        if (name == attributeName) return &value;
    return nullptr;
}

std::optional<RowDocument> ReadRowDocument(const std::filesystem::path& path)
{
    if (!ExistsAnyCase(path)) return std::nullopt;
    pugi::xml_document xml;
    LoadXmlFile(path, xml);
    return rowsOf(xml);
}

RowDocument ParseRowDocument(const std::string& bytes, const std::filesystem::path& path)
{
    pugi::xml_document xml;
    LoadXmlBytes(bytes, path, xml);
    return rowsOf(xml);
}

}  // namespace trelvant
