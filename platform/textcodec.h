#pragma once
// The data file holds bytes. Kestrow writes UTF-8; older files may be in the Windows
// single-byte code page. Shown text is decoded here and only here; the bytes in the file
// are never rewritten because of how they were shown.

#include <QString>
#include <string>
#include <string_view>

namespace platform {

// kestrow::StoredAsUtf8 of the bytes, every character kept (a byte order mark too), so a
// window shows exactly the text the exports and the report write.
QString DecodeText(std::string_view bytes);
// What the forms write: UTF-8.
std::string EncodeText(const QString& text);

} // namespace platform
