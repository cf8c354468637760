#pragma once

#include "metafile/Gdi.h"
#include "metafile/GdiText.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <functional>

#include <array>
#include <optional>
#include <vector>

namespace metafile {

// GDI's logical objects as the records create them. Lengths are in logical units.
struct GdiPen {
    gdi::PenFlags flags;
    double width = 0;
    quint32 colour = 0; // a COLORREF
    QList<qreal> userDashes; // PS_USERSTYLE lengths, logical units
};

struct GdiBrush {
    enum class Kind { Solid, Null, Hatched, Pattern };
    Kind kind = Kind::Solid;
    quint32 colour = 0xFFFFFF;
    gdi::HatchStyle hatch = gdi::HatchStyle::Horizontal;
    QImage pattern;
};

struct GdiFont {
    double height = 0; // negative: the em height; positive: the cell height; zero: a default
    double width = 0;  // average character width; zero: the face's own
    double escapement = 0; // tenths of a degree, anticlockwise
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    gdi::Charset charset = gdi::Charset::Default;
    QString face;
};

// The device of a picture inside another: its size in pixels, what maps its reference device onto
// them, and that device's resolution.
struct NestedDevice {
    QSize size;
    QTransform deviceToPicture;
    QSizeF pixelsPerMm;
};

// A path holding just the rectangle r.
QPainterPath rectPath(const QRectF& r);

// The device context that WMF and EMF records drive, drawing onto a QPainter. "Device" pixels
// are the reference device's; deviceToPicture maps them onto the picture's pixels, whose top
// left is the painter's origin. Everything is bounded: the save stack, paths, and the work done,
// so a hostile file cannot make playback run away.
class MetafileCanvas {
public:
    // Measure: nothing is drawn; measured() gathers where everything would have been drawn, in
    // picture pixels, however far from the picture, for pictures that do not say their size.
    enum class Mode { Draw, Measure };
    MetafileCanvas(QPainter& painter, QSize pictureSize, QTransform deviceToPicture, QSizeF devicePixelsPerMm,
                   Mode mode = Mode::Draw);
    ~MetafileCanvas();
    MetafileCanvas(const MetafileCanvas&) = delete;
    MetafileCanvas& operator=(const MetafileCanvas&) = delete;

    // Past the work budget (see Work) the remaining records are not drawn.
    bool exhausted() const { return m_budget < 0; }
    QRectF measured() const { return m_measured; }
    // Moves the picture against the device, as when the picture starts where its drawing does.
    void shiftDevice(QPointF by);

    // Mapping.
    void setMapMode(gdi::MapMode mode);
    void setWindowOrg(QPointF p);
    void setWindowExt(QSizeF s);
    void setViewportOrg(QPointF p);
    void setViewportExt(QSizeF s);
    void offsetWindowOrg(QPointF d);
    void offsetViewportOrg(QPointF d);
    void scaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
    void scaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
    void setWorldTransform(const QTransform& t);
    void modifyWorldTransform(const QTransform& t, gdi::WorldTransformMode mode);

    // Attributes.
    void setTextColour(quint32 colourRef) { m_s.textColour = colourRef; }
    void setBkColour(quint32 colourRef) { m_s.bkColour = colourRef; }
    QRgb textRgb() const { return rgb(m_s.textColour); }
    QRgb bkRgb() const { return rgb(m_s.bkColour); }
    void setBkMode(gdi::BkMode mode);
    void setPolyFillMode(gdi::PolyFillMode mode);
    void setTextAlign(gdi::TextAlign align) { m_s.textAlign = align; }
    // Logical units added after every character of text that gives no advances of its own.
    void setCharExtra(double extra) { m_s.charExtra = extra; }
    void setRop2(gdi::Rop2 rop) { m_s.rop2 = rop; }
    void setArcDirection(gdi::ArcDirection direction) { m_s.clockwise = direction == gdi::ArcDirection::Clockwise; }
    void setMiterLimit(double limit);

    // Objects.
    void selectPen(const GdiPen& pen) { m_s.pen = pen; }
    void selectBrush(const GdiBrush& brush) { m_s.brush = brush; }
    void selectFont(const GdiFont& font) { m_s.font = font; }
    void selectPalette(const QList<QRgb>& palette) { m_s.palette = palette; }
    const QList<QRgb>& palette() const { return m_s.palette; }
    const GdiFont& font() const { return m_s.font; }
    // The charset 8-bit text is to be read in: the font's, or SYMBOL_CHARSET for a symbol font
    // GDI would pick by its name.
    gdi::Charset textCharset() const;
    static GdiPen stockPen(gdi::StockObject object);
    static std::optional<GdiBrush> stockBrush(gdi::StockObject object);

    // Drawing, in logical units.
    QPointF currentPosition() const { return m_s.position; }
    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void polyline(const QList<QPointF>& points);
    void polylineTo(const QList<QPointF>& points);
    void polygon(const QList<QPointF>& points);
    void polyPolygon(const QList<QList<QPointF>>& polygons);
    void polyPolyline(const QList<QList<QPointF>>& polylines);
    void polyBezier(const QList<QPointF>& points);
    void polyBezierTo(const QList<QPointF>& points);
    void polyDraw(const QList<QPointF>& points, const QList<quint8>& types);
    void rectangle(const QRectF& box);
    void roundRect(const QRectF& box, QSizeF corner);
    void ellipse(const QRectF& box);
    enum class ArcKind { Arc, ArcTo, Chord, Pie };
    void arc(const QRectF& box, QPointF start, QPointF end, ArcKind kind);
    void angleArc(QPointF centre, double radius, double startDegrees, double sweepDegrees);
    void setPixel(QPointF p, quint32 colourRef);

    // Text: rect is the rectangle the options fill (Opaque) or clip to (Clipped).
    void textOut(QPointF reference, const GdiText& text, gdi::TextOutOptions options, std::optional<QRectF> rect);

    // Bitmaps. dest is x, y, width, height in logical units (negative sizes mirror); source is in
    // the bitmap's pixels, top row first. A null image with a raster operation that needs no
    // source (PATCOPY, BLACKNESS...) paints the brush.
    void stretchBlt(const QRectF& dest, const QImage& image, const QRectF& source, gdi::RasterOp rop);
    void alphaBlend(const QRectF& dest, const QImage& image, const QRectF& source, int constantAlpha);
    // PlgBlt: the source rectangle copied onto a parallelogram given by its upper-left,
    // upper-right and lower-left corners, in logical units. Clear pixels leave what lies beneath.
    void parallelogramBlt(const std::array<QPointF, 3>& corners, const QImage& image, const QRectF& source);

    // GradientFill: a rectangle shading from one colour at its first corner's edge to the other's,
    // across or down; a triangle shading between the colours of its corners.
    void gradientRect(QPointF from, QPointF to, QRgb fromColour, QRgb toColour, bool vertical);
    void gradientTriangle(const std::array<QPointF, 3>& corners, const std::array<QRgb, 3>& colours);
    // FillRgn and PaintRgn: a region, in logical units, filled with a brush.
    void fillRegion(const QPainterPath& logical, const GdiBrush& brush);
    // FrameRgn: a border just inside the region, width units wide at its sides and height units
    // tall at its top and bottom, painted with a brush.
    void frameRegion(const QPainterPath& logical, const GdiBrush& brush, double width, double height);
    // InvertRgn: every colour in the region turned to its opposite.
    void invertRegion(const QPainterPath& logical);
    const GdiBrush& brush() const { return m_s.brush; }
    void countDecodedPixels(qint64 pixels) { m_budget -= pixels; }

    // Clipping. Rectangles in logical units; regions in device pixels.
    void intersectClipRect(const QRectF& rect);
    void excludeClipRect(const QRectF& rect);
    void offsetClip(QPointF d);
    void selectClipRegion(const std::optional<QPainterPath>& deviceRegion, gdi::RegionMode mode);
    // SetMetaRgn: the clip becomes part of the meta region, which no later clip reaches beyond,
    // and the clip itself is cleared.
    void setMetaRegion();

    // Paths.
    void beginPath();
    void endPath();
    void abortPath();
    void closeFigure();
    void fillPath();
    void strokePath();
    void strokeAndFillPath();
    void widenPath();
    void selectClipPath(gdi::RegionMode mode);

    void saveDC();
    void restoreDC(int which);

    // A picture's pattern brushes stay alive as long as the file plays; their pixels are
    // counted against this so a file cannot pile up bitmaps.
    bool allowPattern(qint64 pixels);
    // Likewise the bitmaps GDI+ records hold, which may be photographs: a larger allowance.
    bool allowHeldBitmap(qint64 pixels)
    {
        if (m_heldBitmapPixels + pixels > (qint64(1) << 25))
            return false;
        m_heldBitmapPixels += pixels;
        return true;
    }

    QRgb rgb(quint32 colourRef) const;

    // Drawing for the GDI+ records some pictures carry instead of GDI's. Everything is in picture
    // pixels already, with Qt's own pens and brushes; what is drawn lies inside every one of clips
    // (picture pixels; none: no limit), which take the place of GDI's clip. Charged to the budget like the rest.
    const QTransform& deviceToPicture() const { return m_deviceToPicture; }
    QRectF visible() const { return m_visible; }
    void plusPath(const QPainterPath& path, const QPen& pen, const QBrush& brush,
                  const QList<QPainterPath>& clips, bool antialias);
    void plusImage(const QTransform& imageToPicture, const QImage& image, const QRect& part,
                   const QList<QPainterPath>& clips, bool smooth);
    void plusClear(const QColor& colour, const QList<QPainterPath>& clips);
    // A picture inside this one: play draws it on a canvas of its own (of the given size, device
    // and resolution), placed by toPicture, cut to part of it and to the clips, and paid for from
    // this canvas's budget and bitmap allowance.
    void plusPicture(const QTransform& toPicture, const QRectF& part, const QList<QPainterPath>& clips,
                     const NestedDevice& device, const std::function<void(MetafileCanvas&)>& play);
    // Whether this canvas draws a picture inside another.
    bool nested() const { return m_nested; }
    // GDI draws shapes with hard edges. A GDI+ picture that asked for antialiasing and hands
    // drawing to GDI is shown smoothed by the programs that write such pictures, so its GDI
    // shapes and bitmaps can be smoothed too.
    void setSmoothGdi(bool smooth);

private:
    // What a drawing call costs Qt, in roughly nanoseconds: pixels filled, path elements rasterized
    // across the rows they span, outline built along a stroke, characters laid out.
    struct Work {
        qint64 elements = 0;
        bool fill = false;
        bool stroke = false;
        double length = 0; // of the outline, picture pixels
        double rows = 0;   // scanlines the outline's edges cross, counted once per edge
        double penPixels = 0;
        qint64 characters = 0;
        double perPixel = 1;
    };
    struct TextLayout;

    struct State {
        GdiPen pen;
        GdiBrush brush;
        GdiFont font;
        QList<QRgb> palette;
        quint32 textColour = 0;
        quint32 bkColour = 0xFFFFFF;
        bool bkOpaque = true;
        bool winding = false;
        gdi::TextAlign textAlign;
        double charExtra = 0;
        gdi::Rop2 rop2 = gdi::Rop2::CopyPen;
        bool clockwise = false;
        double miterLimit = 10;
        gdi::MapMode mapMode = gdi::MapMode::Text;
        QPointF windowOrg;
        QSizeF windowExt { 1, 1 };
        QPointF viewportOrg;
        QSizeF viewportExt { 1, 1 };
        QTransform world;
        QPointF position;
        std::optional<QPainterPath> clip; // picture pixels; none means the whole picture
        std::optional<QPainterPath> meta; // the meta region, picture pixels; none: no limit
    };

    // State and mapping, MetafileCanvas.cpp.
    const QTransform& full();
    void changed() { m_fullValid = false; }
    QTransform pageToDevice() const;
    double lengthScale();
    bool preparePen(QPen& pen, bool inPicturePixels);
    bool prepareBrush(QBrush& brush);

    // Shapes and paths, MetafileCanvasShapes.cpp.
    void draw(const QPainterPath& logical, bool fill, bool stroke);
    void addToPath(const QPainterPath& logical, bool continueFigure);
    bool pathTooLong() const;
    void overflowPath();
    // The finished path, taken out of the bracket, with the fill rule it fills and clips with;
    // none while no path is finished.
    std::optional<QPainterPath> takeFinishedPath();
    QPainterPath arcPath(const QRectF& box, QPointF start, QPointF end, ArcKind kind, bool* ok);

    // Text, MetafileCanvasText.cpp.
    bool qtFont(QFont& font);
    void fillTextBox(const QRectF& logical);
    std::optional<TextLayout> layOutText(QPointF reference, const GdiText& text);
    void addTextToPath(const TextLayout& layout);
    void drawTextLayout(const TextLayout& layout, const std::optional<QRectF>& clipRect);

    // Bitmaps and raster operations, MetafileCanvasBitmaps.cpp.
    // Part of an image through a transform onto the picture, clipped and charged to the budget.
    // False when nothing was drawn (the transform is unusable or the budget spent).
    bool drawImagePart(const QTransform& toPicture, const QImage& image, const QRect& part,
                       QPainter::CompositionMode mode);
    void applyRop2();

    // Clipping and regions, MetafileCanvasClip.cpp.
    void setClip(std::optional<QPainterPath> clip);
    void combineClip(const QPainterPath& path, gdi::RegionMode mode);
    void applyClip();
    void applyPlusClip(const QList<QPainterPath>& clips);
    void clipPainterTo(std::initializer_list<const QPainterPath*> paths);

    // The work budget, MetafileCanvasBudget.cpp.
    bool charge(const QRectF& picturePixels);
    bool charge(const QRectF& picturePixels, const Work& work);
    void chargeCost(const QRectF& seen, const Work& work);
    static void measure(const QPainterPath& path, const QTransform& t, Work& work);

    QPainter& m_painter;
    QTransform m_base;
    QRectF m_visible; // the part of the picture the painter can show, picture pixels
    QTransform m_deviceToPicture;
    QSizeF m_pixelsPerMm;
    State m_s;
    std::vector<State> m_saved;
    QTransform m_full;
    bool m_fullValid = false;
    bool m_clipDirty = true;

    bool m_pathOpen = false;
    bool m_pathDone = false;
    bool m_pathWidened = false; // the path is a stroke's outline in overlapping pieces
    bool m_pathOverflow = false; // past the size limit: the bracket stays open, drawing nothing
    // The path's last figure is open, so the next line or curve drawn from the current position
    // goes on with it. A move, a closed figure or a closed shape ends it, and GDI then starts a
    // new figure at the current position rather than joining the two with a line.
    bool m_figureOpen = false;
    QPainterPath m_path; // picture pixels
    qint64 m_budget;
    qint64 m_patternPixels = 0;
    qint64 m_heldBitmapPixels = 0;

    struct CachedFont {
        QString key;
        QFont font;
    };
    std::vector<CachedFont> m_fonts;
    QHash<QString, double> m_emPerCell;
    std::optional<QPainterPath> m_outerClip; // the painter's own clip, picture pixels
    std::optional<QList<QPainterPath>> m_plusClips; // GDI+ clips the painter holds now, if any
    bool m_measuring = false;
    bool m_nested = false;
    bool m_smoothGdi = false;
    QRectF m_measured;
};

} // namespace metafile
