#pragma once

// Text of metafile records: bytes in the character set of the selected font.

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace lumora::picture::wmf {

// Decodes `bytes` as the font's character set: Windows code pages by charset number, the
// Symbol font's own encoding (Greek letters and mathematical signs) for SYMBOL_CHARSET or
// DEFAULT_CHARSET with the face "Symbol", Latin-1 for other symbol fonts, Windows-1252 for ANSI and
// anything unknown.
QString decodeCharset(QByteArrayView bytes, int charSet, const QString &face);

// True when text in this character set and face is in the Symbol font's own encoding.
bool usesSymbolEncoding(int charSet, const QString &face);

// Font families to ask for, best first, for a face a metafile names: the face itself, then
// metric-compatible families that Linux desktops have (Liberation, Croscore, URW), then a
// generic family chosen by the face or by the pitch-and-family byte.
QStringList fontFamilies(const QString &face, quint8 pitchAndFamily);

// True for the character sets whose characters may take two bytes.
bool isMultiByteCharset(int charSet);

} // namespace lumora::picture::wmf
