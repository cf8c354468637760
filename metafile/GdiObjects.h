#pragma once

// GDI's logical objects as both formats store them. WMF keeps a LOGPEN's or LOGBRUSH's numbers in
// 16-bit fields and EMF in 32-bit ones, but the fields mean the same, so each player reads its own
// widths and hands them here to become the same object.

#include "metafile/MetafileBytes.h"
#include "metafile/MetafileCanvas.h"
#include "metafile/MetafileDib.h"

namespace metafile {

// LOGPEN: a style (PS_* bits), a width in logical units (its sign means nothing) and a COLORREF.
GdiPen logPen(gdi::PenFlags style, double width, quint32 colour);

// LOGBRUSH: BS_NULL draws nothing, BS_HATCHED draws hatch lines in the colour, anything else is
// solid; a pattern brush comes from its bitmap instead.
GdiBrush logBrush(gdi::BrushStyle style, quint32 colour, gdi::HatchStyle hatch);

// LOGPALETTE: a version word, an entry count, then red, green, blue and flags per entry. A count
// running past the data gives an empty palette, as the record still takes its object slot.
QList<QRgb> readLogPalette(Bytes palette);

// LOGFONT with 16-bit numbers and an 8-bit face name (WMF), or with 32-bit numbers and a UTF-16
// face name (EMF's LOGFONTW). The fields in between, italic to charset, are bytes in both.
GdiFont readLogFont16(Bytes font);
GdiFont readLogFontW(Bytes font);

// A bitmap a record points to: how its colour table is read, its header and colour table, and its
// pixels. infoSize is the header's length as the record states it; zero means no bitmap.
struct BitmapRef {
    quint32 usage = DibRgbColours;
    qint64 infoSize = 0;
    Bytes info;
    Bytes bits;

    template <class F> void fields(F&& f) const { f("usage", usage); f("info", info); f("bits", bits); }
};
// The four fields EMF records use to place a bitmap, offsets from the record's start, at infoAt;
// the usage at usageAt.
BitmapRef readBitmapRef(Bytes record, qint64 usageAt, qint64 infoAt);

// A DIB pattern brush: a null brush when the bitmap is unusable or the picture already holds too
// many patterns, since the brush still takes its object slot.
GdiBrush patternBrush(const Dib& dib, MetafileCanvas& canvas);

} // namespace metafile
