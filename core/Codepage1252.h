#pragma once

#include <QByteArray>
#include <QString>

// Windows-1252, the 8-bit code page that folder-list files and folder names
// are judged in.
namespace Codepage1252 {

// The text of bytes in the code page. The five bytes that the code page
// leaves unassigned map to the C1 control characters of the same value.
QString Decode(const QByteArray& bytes);

// The code page's byte for a character, or '?' (63) when the code page
// cannot represent it.
unsigned char Encode(char32_t character);

} // namespace Codepage1252

// Text of a list file: UTF-8 when the bytes are valid UTF-8, Windows-1252
// otherwise.
QString DecodeListText(const QByteArray& bytes);
