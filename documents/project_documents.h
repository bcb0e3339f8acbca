#pragma once

#include "documents/row_document.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace trelvant {

// The five documents of a project as bytes, read once: the project check runs on them, and an
// editor puts the document it is editing, as OK would write it, in place of the stored one, so
// the check sees the project as it would stand after OK.
class ProjectDocuments {
public:
    // The documents by file name, the case of the names of the folder's entries aside.
    static constexpr std::array<std::string_view, 5> kNames = {"Pargen.xml", "RCobDef.xml", "TCobDef.xml",
                                                               "RInfoCob.xml", "TInfoCob.xml"};

    struct Document {
        std::filesystem::path path;              // as found in the folder, or as named when missing
        std::optional<std::string> bytes;        // none when the document is missing or unreadable
        std::optional<std::string> readFailure;  // why a document that is there could not be read
        // The rows of bytes or why they do not parse, once asked for.
        mutable std::optional<RowDocument> parsed;
        mutable std::optional<std::string> parseFailure;
    };

    // Reads the documents as they stand in folder. Never throws for a document that cannot be
    // read: its failure is kept and reported where it is used.
    explicit ProjectDocuments(const std::filesystem::path& folder);

    const std::filesystem::path& folder() const { return folder_; }
    // fileName is one of kNames, in any case.
    const Document& document(std::string_view fileName) const;
    // The document's bytes as an editor would write them; they stand for the stored document
    // until the next replace.
    void replace(std::string_view fileName, std::string bytes);
    // The document's rows, parsed once for its bytes (an editor checks the project at every key,
    // and only its own document changes). Throws Error when the document was not read or does
    // not parse; call only for a document that has bytes or a read failure.
    const RowDocument& rows(std::string_view fileName) const;

private:
    std::size_t position(std::string_view fileName) const;

    std::filesystem::path folder_;
    std::array<Document, kNames.size()> documents_;
};

}  // namespace trelvant
