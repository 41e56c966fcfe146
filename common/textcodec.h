#pragma once

#include <QByteArray>
#include <QString>

// 8-bit text of print files and socket messages. Windows-1252 by default; IBM850 (with the euro
// sign at 0xD5, as code page 858) for DOS programs, selected once at start by VELARIX_CODEPAGE.
// Every byte maps to a character and back: no byte of a print file is ever lost (the bytes
// Windows-1252 leaves undefined, 0x81 0x8D 0x8F 0x90 0x9D, become U+0081 ... U+009D). A character
// the code page lacks is encoded as '?'. Safe to use from any thread.
namespace TextCodec {
QString decode(const QByteArray& bytes);
QByteArray encode(const QString& text);
// "windows-1252" or "IBM850"; unknown names fall back to windows-1252.
void select(const QString& name);
QString selected();
} // namespace TextCodec
