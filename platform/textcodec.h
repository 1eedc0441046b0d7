#pragma once
// The data file holds bytes. Kestrow writes UTF-8; older files may be in the Windows
// single-byte code page. Shown text is decoded here and only here; the bytes in the file
// are never rewritten because of how they were shown.

#include <QString>
#include <string>
#include <string_view>

namespace platform {

// UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252.
QString DecodeText(std::string_view bytes);
// What the forms write: UTF-8.
std::string EncodeText(const QString& text);

} // namespace platform
