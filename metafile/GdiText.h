#pragma once

#include "metafile/Gdi.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace metafile {

// Text decoded from a record's bytes, one entry per character, with the logical advance the
// record gave for it (the bytes' Dx values summed), or none when the record gave none.
struct GdiText {
    QString text;
    QList<int> starts;    // where each character starts in text
    QList<double> advances;

    // The i-th character: one code unit of text, or more.
    QString character(qsizetype i) const;
};

// 8-bit text in a font's charset, Shift_JIS for SHIFTJIS_CHARSET and so on. dx, when present,
// holds one advance per byte, as both WMF and EMF records carry them.
GdiText decodeText(QByteArrayView bytes, gdi::Charset charset, const QList<double>& dx);
// A face name as a LOGFONTA stores it.
QString decodeFaceName(QByteArrayView bytes, gdi::Charset charset);
// UTF-16 text with one advance per code unit.
GdiText utf16Text(QString text, const QList<double>& dx);

// Symbol fonts put their own glyphs at the codes 0x20 to 0xFF (and at 0xF020 to 0xF0FF, where
// Unicode text reaches them). Fonts installed here have those glyphs at their Unicode places
// instead, so the codes are translated.
enum class SymbolFace { None, Symbol, Wingdings, MtExtra };
SymbolFace symbolFaceOf(const QString& face);
// The text with each symbol font code at its Unicode place; the advances stay as they were.
GdiText inUnicode(const GdiText& text, SymbolFace face);

} // namespace metafile
