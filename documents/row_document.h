#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trelvant {

// One child element of a document's root, with its attributes in document order.
struct XmlRow {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;

    // The text of the first attribute of that name, or nullptr when the row has none.
    const std::string* attribute(std::string_view attributeName) const;
};

// A frame list or byte map document as its readers see it: the root element's child elements,
// by position, whatever their names. Comments, processing instructions and text between the
// rows are not rows.
struct RowDocument {
    std::string rootName;
    std::vector<XmlRow> rows;
};

// nullopt when no file of that name exists in any case; throws Error when it cannot be read or
// parsed.
std::optional<RowDocument> ReadRowDocument(const std::filesystem::path& path);

// The same for the bytes of the document at path; throws Error when they do not parse.
RowDocument ParseRowDocument(const std::string& bytes, const std::filesystem::path& path);

}  // namespace trelvant
