#pragma once
// Content type of a file from its extension: the system's /etc/mime.types
// when present, else a small built-in table, else
// "application/octet-stream".
#include <filesystem>
#include <string>
#include <string_view>

namespace quorel::mail {

// The content type registered for the extension of fileName (after the last
// "."; compared without case). "application/octet-stream" when none.
std::string ContentTypeFromExtension(std::string_view fileName);

// Replaces the table source (tests): a mime.types file to read instead of
// /etc/mime.types; an empty path means "no system table" (the built-in
// table alone). The table is reread on the next lookup.
void SetMimeTypesFile(const std::filesystem::path& path);

} // namespace quorel::mail
