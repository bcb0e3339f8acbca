#pragma once

#include "platform/file_names.h"

#include <pugixml.hpp>

#include <cstdint>
#include <filesystem>
#include <string>

namespace trelvant {

// How every document is parsed: comments and processing instructions are kept so that a reader
// can tell an element holding more than one text; whitespace-only text is kept only as the sole
// content of an element. No DTD is processed and no entity other than the predefined ones and
// character references is expanded, so nothing outside the file is ever read.
inline constexpr unsigned kDocumentParseOptions =
    pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_ws_pcdata_single;

// No legal document comes near this size (the largest project holds well under 1 MiB a document):
// a larger file is refused before it is read, so a stray file cannot exhaust the memory.
inline constexpr std::uint64_t kMaxDocumentBytes = 8 * 1024 * 1024;

// Loads the file at path, found without regard to case, into document. Throws Error when the
// file cannot be read, is larger than kMaxDocumentBytes or is not well-formed XML; the message
// names the file and the place.
void LoadXmlFile(const std::filesystem::path& path, pugi::xml_document& document);

// The same for bytes already read from path (or made as they would be written there): path only
// names the document in the message.
void LoadXmlBytes(const std::string& bytes, const std::filesystem::path& path, pugi::xml_document& document);

// The bytes of a document as the writers store it: UTF-8 without byte order mark, no XML
// declaration, no whitespace between elements, no final line break.
std::string SerializeXml(const pugi::xml_document& document);

// Replaces the file at path (found without regard to case) with the serialized document,
// atomically: on failure Error("Unable to write to <path>") is thrown and the old file stays. A
// document larger than kMaxDocumentBytes, which no reader would take back, is not written.
void SaveXmlFile(const std::filesystem::path& path, const pugi::xml_document& document);

// The same for a document already serialized.
void WriteDocument(const std::filesystem::path& path, const std::string& bytes);

}  // namespace trelvant
