#pragma once

#include "metafile/EmfPlusObjects.h"
#include "metafile/EmfPlusRecords.h"
#include "metafile/MetafileBytes.h"

#include <QPainterPath>
#include <QTransform>

#include <array>
#include <optional>
#include <vector>

namespace metafile {

class MetafileCanvas;

// The GDI+ records (EMF+) that enhanced metafiles carry inside their comment records.
//
// A picture recorded with both kinds ("dual") draws the same thing twice, once in each. GDI+
// draws such a picture from its GDI+ records, and so does this player when told to (drawDual());
// otherwise it passes them over, as GDI does. A picture recorded with GDI+ records only is always
// drawn from them: shapes, paths, text, bitmaps, embedded EMFs (one level deep), transforms and
// clipping. Records it does not know are passed over, as are text by glyph index and embedded WMFs.
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
    // A dual picture is to be drawn from its GDI+ records rather than its GDI ones.
    void drawDual() { m_drawDual = true; }
    // Whether the last comment played ended by handing drawing to GDI (GetDC): the GDI records
    // up to the next GDI+ ones are then part of the picture.
    bool handsToGdi() const { return m_handsToGdi; }

    using Font = emfplus::Font;
    using Format = emfplus::Format;
    using Pen = emfplus::Pen;
    using Paint = emfplus::Paint;
    using Object = emfplus::Object;

private:
    enum class Mode { Unknown, Ignore, Draw };
    struct State {
        QTransform world;
        QTransform container; // what the containers begun so far map onto
        gdiplus::Unit pageUnit = gdiplus::Unit::Pixel;
        double pageScale = 1;
        std::optional<QPainterPath> clip; // picture pixels; none: no limit
        QList<QPainterPath> outerClips;   // those of the containers around: drawing stays inside
        bool antialias = false;
        bool smoothImages = true;
    };

    void record(const emfplus::Record& r);
    void objectPiece(quint16 flags, qint64 total, Bytes data);
    void defineObject(int id, gdiplus::ObjectType type, Bytes data);

    void apply(const emfplus::Header& r);
    void apply(const emfplus::ObjectRecord& r);
    void apply(const emfplus::Clear& r);
    void apply(const emfplus::FillRects& r);
    void apply(const emfplus::DrawRects& r);
    void apply(const emfplus::FillPolygon& r);
    void apply(const emfplus::DrawLines& r);
    void apply(const emfplus::FillEllipse& r);
    void apply(const emfplus::DrawEllipse& r);
    void apply(const emfplus::FillPie& r);
    void apply(const emfplus::DrawArc& r);
    void apply(const emfplus::FillShape& r);
    void apply(const emfplus::DrawPath& r);
    void apply(const emfplus::FillClosedCurve& r);
    void apply(const emfplus::DrawClosedCurve& r);
    void apply(const emfplus::DrawCurve& r);
    void apply(const emfplus::DrawBeziers& r);
    void apply(const emfplus::DrawImage& r);
    void apply(const emfplus::DrawImagePoints& r);
    void apply(const emfplus::DrawString& r);
    void apply(const emfplus::DrawDriverString& r);
    void apply(const emfplus::SetAntiAliasMode& r);
    void apply(const emfplus::SetInterpolationMode& r);
    void apply(const emfplus::Save& r);
    void apply(const emfplus::Restore& r);
    void apply(const emfplus::BeginContainer& r);
    void apply(const emfplus::BeginContainerNoParams& r);
    void apply(const emfplus::SetWorldTransform& r);
    void apply(const emfplus::ResetWorldTransform& r);
    void apply(const emfplus::ChangeWorldTransform& r);
    void apply(const emfplus::SetPageTransform& r);
    void apply(const emfplus::ResetClip& r);
    void apply(const emfplus::SetClipRect& r);
    void apply(const emfplus::SetClipShape& r);
    void apply(const emfplus::OffsetClip& r);

    QTransform toPicture() const;
    double unitToDevice(gdiplus::Unit unit) const;
    double emInWorld(const Font& font) const;
    std::optional<Paint> paintFor(const emfplus::BrushRef& brush) const;
    const Object* objectAt(int id, Object::Kind kind) const;
    void fill(const QPainterPath& world, const Paint& paint);
    void stroke(const QPainterPath& world, int penId);
    void text(const QString& string, const Font& font, const Paint& paint, const QRectF& layout, const Format& format);
    void image(int id, const QRectF& source, const std::array<QPointF, 3>& corners);
    void picture(const QByteArray& file, const QRectF& source, const QTransform& toPicture);
    void combineClip(const QPainterPath& picture, gdiplus::CombineMode mode);
    QPainterPath withinReach(const QPainterPath& clip);
    QList<QPainterPath> clips() const;
    void beginContainer(quint32 index, const QTransform& fit);
    void saveState(quint32 index);
    void restoreState(quint32 index);

    MetafileCanvas& m_canvas;
    Mode m_mode = Mode::Unknown;
    bool m_drawDual = false;
    bool m_handsToGdi = false;
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

} // namespace metafile
