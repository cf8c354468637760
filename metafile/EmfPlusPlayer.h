#pragma once

#include "metafile/MetafileBytes.h"

#include <QBrush>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <array>
#include <optional>
#include <vector>

namespace metafile {

class MetafileCanvas;

// The GDI+ records (EMF+) that enhanced metafiles carry inside their comment records.
//
// A picture recorded with both kinds ("dual") draws the same thing twice, once in each; GDI plays
// the plain records and passes over the comments, and so does this player. A picture recorded
// with GDI+ records only would come out blank that way, so for those the GDI+ records are drawn
// here: shapes, paths, text, bitmaps, transforms and clipping. Records it does not know are
// passed over, as are text by glyph index and pictures embedded as metafiles.
class EmfPlusPlayer {
public:
    explicit EmfPlusPlayer(MetafileCanvas& canvas);
    ~EmfPlusPlayer();
    EmfPlusPlayer(const EmfPlusPlayer&) = delete;
    EmfPlusPlayer& operator=(const EmfPlusPlayer&) = delete;

    // The data of one comment record, after its "EMF+" signature: one or more GDI+ records.
    void play(Bytes records);
    // Whether the picture turned out to be drawn by its GDI+ records.
    bool drawing() const { return m_mode == Mode::Draw; }

    struct Font {
        double emSize = 0;
        int unit = 0;
        int style = 0; // bold 1, italic 2, underline 4, strike-out 8
        QString family;
    };
    struct Format {
        quint32 flags = 0;
        int align = 0;     // near, centre, far
        int lineAlign = 0; // the same, down the layout box
    };
    struct Pen {
        double width = 1;
        int unit = 0;
        QPen pen; // style, caps, joins and dashes; width and brush are set when drawing
        QBrush brush;
    };
    // A brush, and the background a hatch paints beneath its lines.
    struct Paint {
        QBrush brush;
        std::optional<QColor> back;
    };
    struct Object {
        enum class Kind { None, Brush, Pen, Path, Region, Image, Font, Format };
        Kind kind = Kind::None;
        Paint paint;
        Pen pen;
        QPainterPath path; // also a region's area, in world units
        QImage image;
        Font font;
        Format format;
    };

private:
    enum class Mode { Unknown, Ignore, Draw };
    struct State {
        QTransform world;
        QTransform container; // what the containers begun so far map onto
        int pageUnit = 2;     // pixels
        double pageScale = 1;
        std::optional<QPainterPath> clip; // picture pixels; none: no limit
        QList<QPainterPath> outerClips;   // those of the containers around: drawing stays inside
        bool antialias = false;
        bool smoothImages = true;
    };

    void record(quint16 type, quint16 flags, Bytes data);
    void object(quint16 flags, Bytes data);
    void objectPiece(quint16 flags, qint64 total, Bytes data);
    void defineObject(int id, int kind, Bytes data);

    QTransform toPicture() const;
    double unitToDevice(int unit) const;
    std::optional<Paint> paintFor(quint16 flags, quint32 value) const;
    const Object* objectAt(int id, Object::Kind kind) const;
    void fill(const QPainterPath& world, const Paint& paint);
    void stroke(const QPainterPath& world, int penId);
    void text(const QString& string, const Font& font, const Paint& paint, const QRectF& layout, const Format& format);
    void driverText(quint16 flags, Bytes data);
    void image(int id, const QRectF& source, const std::array<QPointF, 3>& corners);
    void combineClip(const QPainterPath& picture, int mode);
    QPainterPath withinReach(const QPainterPath& clip);
    QList<QPainterPath> clips() const;
    void beginContainer(quint32 index, const QTransform& fit);
    void saveState(quint32 index);
    void restoreState(quint32 index);

    MetafileCanvas& m_canvas;
    Mode m_mode = Mode::Unknown;
    double m_dpiX = 96;
    double m_dpiY = 96;
    State m_s;
    std::vector<std::pair<quint32, State>> m_saved;
    std::array<Object, 64> m_objects;
    // An object too large for one record arrives in pieces.
    QByteArray m_pending;
    qint64 m_pendingTotal = 0;
    int m_pendingId = -1;
    int m_pendingKind = 0;
};

// Readers for the shapes GDI+ records store, exposed for the tests.
namespace emfplus {
// count points from data: float pairs, 16-bit integer pairs (compressed), or relative steps of
// one or two bytes each (flags as the drawing records give them). Empty when data is too short.
QList<QPointF> points(Bytes data, qint64 count, quint16 flags);
// A serialized GDI+ path object; nullopt when malformed.
std::optional<QPainterPath> path(Bytes data);
// Cardinal spline through points with the given tension, as bezier segments.
QPainterPath curve(const QList<QPointF>& points, double tension, bool closed);
} // namespace emfplus

} // namespace metafile
