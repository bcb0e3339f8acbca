#include "documents/project_documents.h"

#include "documents/xml_file.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <algorithm>

namespace trelvant {

ProjectDocuments::ProjectDocuments(const std::filesystem::path& folder) : folder_(folder)
{
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        Document& document = documents_[i];
        document.path = ResolveFileName(folder / std::string(kNames[i]));
        if (!ExistsAnyCase(document.path)) continue;
        try {
            document.bytes = ReadWholeFile(document.path, kMaxDocumentBytes);
        } catch (const Error& e) {
            document.readFailure = e.what();
        }
    }
}

std::size_t ProjectDocuments::position(std::string_view fileName) const
{
    for (std::size_t i = 0; i < kNames.size(); ++i)
        if (SameFileName(kNames[i], fileName)) return i;
    throw Error("not a document of a project: " + std::string(fileName));
}

const ProjectDocuments::Document& ProjectDocuments::document(std::string_view fileName) const
{
    return documents_[position(fileName)];
}

void ProjectDocuments::replace(std::string_view fileName, std::string bytes)
{
    Document& document = documents_[position(fileName)];
    document.bytes = std::move(bytes);
    document.readFailure.reset();
    document.parsed.reset();
    document.parseFailure.reset();
}

const RowDocument& ProjectDocuments::rows(std::string_view fileName) const
{
    const Document& document = documents_[position(fileName)];
    if (document.readFailure) throw Error(*document.readFailure);
    if (!document.bytes) throw Error("Unable to read " + DisplayPath(document.path) + ": no such file");
    if (!document.parsed && !document.parseFailure) {
        try {
            document.parsed = ParseRowDocument(*document.bytes, document.path);
        } catch (const Error& e) {
            document.parseFailure = e.what();
        }
    }
    if (document.parseFailure) throw Error(*document.parseFailure);
    return *document.parsed;
}

}  // namespace trelvant
