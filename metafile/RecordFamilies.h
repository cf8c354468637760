#pragma once

// Records that WMF and EMF lay out alike once read: the same fields, told apart by their type
// (EmrType or MetaType). Each format's records header names its instances. Each struct lists its
// fields for a printer: fields(f) calls f(name, value) for each, in order.

#include "metafile/GdiObjects.h"

#include <QList>
#include <QPainterPath>
#include <QRectF>

namespace metafile {

// SAVEDC, the path brackets and operations, and the like.
template <class Type> struct NoParametersOf {
    Type type;
    template <class F> void fields(F&&) const {}
};

// One value: a mode, an alignment, a COLORREF, a miter limit, a saved state's number.
template <class Type, class Value> struct SettingOf {
    Type type;
    Value value = 0;
    template <class F> void fields(F&& f) const { f("value", value); }
};

// An object's slot or handle.
template <class Type, class Index> struct ObjectRefOf {
    Type type;
    Index index = 0;
    template <class F> void fields(F&& f) const { f("index", index); }
};

// Window and viewport origins, MOVETO, LINETO, OFFSETCLIPRGN.
template <class Type> struct PointRecordOf {
    Type type;
    QPointF point;
    template <class F> void fields(F&& f) const { f("point", point); }
};

// The window's and viewport's extents.
template <class Type> struct ExtentOf {
    Type type;
    QSizeF extent;
    template <class F> void fields(F&& f) const { f("extent", extent); }
};

// Scaling the window's or viewport's extent: each times num over denom.
template <class Type> struct ScaleExtentOf {
    Type type;
    double xNum = 0, xDenom = 0, yNum = 0, yDenom = 0;
    template <class F> void fields(F&& f) const
    {
        f("xNum", xNum); f("xDenom", xDenom); f("yNum", yNum); f("yDenom", yDenom);
    }
};

// RECTANGLE, ELLIPSE, INTERSECTCLIPRECT, EXCLUDECLIPRECT: a box from its corners, inclusive.
template <class Type> struct BoxRecordOf {
    Type type;
    QRectF box;
    template <class F> void fields(F&& f) const { f("box", box); }
};

// ARC, CHORD, PIE (and EMF's ARCTO): the ellipse's box and the radials' end points.
template <class Type> struct ArcRecordOf {
    Type type;
    QRectF box;
    QPointF start;
    QPointF end;
    template <class F> void fields(F&& f) const { f("box", box); f("start", start); f("end", end); }
};

// The polylines and polygons.
template <class Type> struct PolyOf {
    Type type;
    QList<QPointF> points;
    template <class F> void fields(F&& f) const { f("points", points); }
};

struct RoundRect {
    QRectF box;
    QSizeF corner;
    template <class F> void fields(F&& f) const { f("box", box); f("corner", corner); }
};

struct SetPixel {
    QPointF point;
    quint32 colour = 0;
    template <class F> void fields(F&& f) const { f("point", point); f("colour", colour); }
};

} // namespace metafile
